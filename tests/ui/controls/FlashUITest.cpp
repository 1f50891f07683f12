#include "ui/controls/FlashUI.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/controls/ActiveXFixture.h"
#include "ui/controls/FakePlayers.h"

using axtest::Of;
using fakeax::CFakeFlash;

namespace {

class CRecordingHandler final : public SkinUI::IFlashEventHandler {
public:
    ULONG Release() override { return static_cast<ULONG>(++releases); }
    ULONG AddRef() override { return 1; }
    HRESULT OnReadyStateChange(LONG state) override { return Note("ready " + std::to_string(state)); }
    HRESULT OnProgress(LONG percent) override { return Note("progress " + std::to_string(percent)); }
    HRESULT FSCommand(LPCWSTR command, LPCWSTR arguments) override {
        return Note("fscommand " + axtest::Narrow(command) + " " + axtest::Narrow(arguments));
    }
    HRESULT FlashCall(LPCWSTR request) override { return Note("call " + axtest::Narrow(request)); }

    std::vector<std::string> log;
    int releases = 0;
    // Tells the handler's answer apart from the control's own.
    static constexpr HRESULT kAnswer = 0x00000007;

private:
    HRESULT Note(std::string entry) {
        log.push_back(std::move(entry));
        return kAnswer;
    }
};

using FlashUITest = axtest::ActiveXTest;

}  // namespace

TEST_F(FlashUITest, StaysEmptyWithoutAPlayer) {
    Build("<VerticalLayout><Flash name=\"flash\" homepage=\"about:x\" autonavi=\"true\"/></VerticalLayout>");
    auto* flash = Find<SkinUI::CFlashUI>(L"flash");
    ASSERT_NE(flash, nullptr);
    void* object = nullptr;
    EXPECT_EQ(flash->GetControl(IID_IUnknown, &object), E_PENDING);
    EXPECT_EQ(Count("showactivex:flash"), 0);
    EXPECT_EQ(flash->GetHostWindow(), nullptr);
    MSG key{};
    key.hwnd = m_hwnd;
    key.message = WM_KEYDOWN;
    EXPECT_EQ(flash->PreTranslate(&key), E_NOTIMPL);
    EXPECT_EQ(flash->RegisterEventSink(true), S_FALSE);
}

TEST_F(FlashUITest, EventsReachTheHandlerOnlyWhenWellFormed) {
    Register<CFakeFlash>(CLSID_ShockwaveFlash, fakeax::FakeOptions{});
    Build("<VerticalLayout><Flash name=\"flash\"/></VerticalLayout>");
    auto* flash = Find<SkinUI::CFlashUI>(L"flash");
    ASSERT_NE(flash, nullptr);
    IDispatch* sink = flash;
    BSTR command = SysAllocString(L"quit");
    BSTR arguments = SysAllocString(L"now");
    LONG percent = 40;

    constexpr HRESULT kHeard = CRecordingHandler::kAnswer;
    constexpr DISPID kReady = DISPID_FLASH_READYSTATECHANGE, kProgress = DISPID_FLASH_PROGRESS;
    constexpr DISPID kCommand = DISPID_FLASH_FSCOMMAND, kCall = DISPID_FLASH_FLASHCALL;
    const VARIANT text = Of(VT_BSTR, command), more = Of(VT_BSTR, arguments);
    const struct {
        const char* why;
        DISPID member;
        std::vector<VARIANT> args;  // last argument first, as they are passed
        HRESULT withHandler;
        const char* heard;
    } cases[] = {
        {"ready state", kReady, {Of(VT_I4, nullptr, 4)}, kHeard, "ready 4"},
        {"ready state without its argument", kReady, {}, DISP_E_BADPARAMCOUNT, ""},
        {"ready state as text", kReady, {text}, DISP_E_TYPEMISMATCH, ""},
        {"progress by reference", kProgress, {Of(VT_BYREF | VT_I4, &percent)}, kHeard, "progress 40"},
        {"progress through a null reference", kProgress, {Of(VT_BYREF | VT_I4)}, DISP_E_TYPEMISMATCH, ""},
        {"fscommand", kCommand, {more, text}, kHeard, "fscommand quit now"},
        {"fscommand with one argument", kCommand, {text}, DISP_E_BADPARAMCOUNT, ""},
        {"fscommand with a number", kCommand, {more, Of(VT_I4)}, DISP_E_TYPEMISMATCH, ""},
        {"flash call", kCall, {text}, kHeard, "call quit"},
        {"flash call with two arguments", kCall, {text, more}, E_INVALIDARG, ""},
        {"an event nobody knows", 4242, {}, S_OK, ""},
    };
    CRecordingHandler handler;
    for (bool withHandler : {true, false}) {
        flash->SetEventHandler(withHandler ? &handler : nullptr);
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.why) + (withHandler ? " (handler)" : " (no handler)"));
            handler.log.clear();
            const bool malformed = FAILED(c.withHandler);
            EXPECT_EQ(axtest::Fire(sink, c.member, c.args), withHandler || malformed ? c.withHandler : S_OK);
            const bool heard = withHandler && c.heard[0] != '\0';
            EXPECT_EQ(handler.log, heard ? std::vector<std::string>{c.heard} : std::vector<std::string>{});
        }
        EXPECT_EQ(sink->Invoke(kProgress, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr),
                  DISP_E_BADPARAMCOUNT)
            << "no argument block";
    }
    EXPECT_EQ(handler.releases, 1);  // given back when replaced
    SysFreeString(command);
    SysFreeString(arguments);
}

TEST_F(FlashUITest, SinkFollowsThePlayerItIsConnectedTo) {
    std::vector<CFakeFlash*> players;
    auto* factory = Register<CFakeFlash>(CLSID_ShockwaveFlash, fakeax::FakeOptions{});
    factory->onCreate = [&](CFakeFlash* player) { players.push_back(player); };
    Build("<VerticalLayout><Flash name=\"flash\"/></VerticalLayout>");
    auto* flash = Find<SkinUI::CFlashUI>(L"flash");
    ASSERT_EQ(players.size(), 1u);
    CRecordingHandler handler;
    flash->SetEventHandler(&handler);
    EXPECT_EQ(players[0]->point->SinkCount(), 1u);
    VARIANT state = Of(VT_I4, nullptr, 3);
    DISPPARAMS params{&state, nullptr, 1, 0};
    EXPECT_EQ(players[0]->point->Fire(DISPID_FLASH_READYSTATECHANGE, &params), S_OK);
    EXPECT_EQ(handler.log, std::vector<std::string>{"ready 3"});

    // A new player replaces the old one entirely.
    players[0]->AddRef();
    ASSERT_TRUE(flash->DoCreateControl());
    ASSERT_EQ(players.size(), 2u);
    EXPECT_EQ(players[0]->point->SinkCount(), 0u);
    EXPECT_EQ(players[1]->point->SinkCount(), 1u);
    players[0]->Release();
    EXPECT_EQ(m_alive, 1);

    m_manager->AttachRoot(new SkinUI::CControlUI());
    EXPECT_EQ(m_alive, 0);
    EXPECT_EQ(handler.releases, 1);
}
