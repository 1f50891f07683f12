#include "ui/controls/WebBrowserUI.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/window/Focus.h"
#include "ui/controls/ActiveXFixture.h"
#include "ui/controls/FakePlayers.h"
#include "ui/core/ContainerUI.h"

using axtest::Fire;
using axtest::Of;
using fakeax::CFakeBrowser;

namespace {

class CRecordingHandler final : public SkinUI::CWebBrowserEventHandler {
public:
    void BeforeNavigate2(IDispatch*, VARIANT* url, VARIANT*, VARIANT*, VARIANT*, VARIANT*, VARIANT_BOOL*) override {
        log.push_back("before " + axtest::Narrow(url->bstrVal));
    }
    void NavigateComplete2(IDispatch*, VARIANT* url) override {
        log.push_back("complete " + axtest::Narrow(url->bstrVal));
    }
    void CommandStateChange(LONG command, VARIANT_BOOL enable) override {
        log.push_back("command " + std::to_string(command) + (enable ? " on" : " off"));
    }
    HRESULT Download(IMoniker*, IBindCtx*, DWORD, LONG, BINDINFO*, LPCOLESTR, LPCOLESTR, UINT) override {
        log.push_back("download");
        return E_ABORT;
    }

    std::vector<std::string> log;
};

class WebBrowserUITest : public axtest::ActiveXTest {
protected:
    void SetUp() override {
        ActiveXTest::SetUp();
        fakeax::FakeOptions options;
        options.windowless = false;
        auto* factory = Register<CFakeBrowser>(CLSID_WebBrowser, options);
        factory->onCreate = [this](CFakeBrowser* browser) { m_browsers.push_back(browser); };
    }

    // A browser control made in code, so that it has its handler before its object exists.
    SkinUI::CWebBrowserUI* Add(const std::vector<std::pair<std::wstring, std::wstring>>& attributes) {
        auto* control = new SkinUI::CWebBrowserUI();
        control->SetEventHandler(&m_handler);
        for (const auto& [name, value] : attributes)
            control->ApplyAttribute(name, value);
        if (m_manager->GetRoot() == nullptr) Build("<VerticalLayout/>");
        EXPECT_TRUE(static_cast<SkinUI::CContainerUI*>(m_manager->GetRoot())->AppendChild(control));
        m_manager->UpdateLayout();
        return control;
    }

    std::vector<CFakeBrowser*> m_browsers;
    CRecordingHandler m_handler;
};

}  // namespace

TEST_F(WebBrowserUITest, NavigatesToItsHomePageOnlyWhenAskedTo) {
    const struct {
        const char* why;
        std::vector<std::pair<std::wstring, std::wstring>> attributes;
        std::vector<std::wstring> navigations;
    } cases[] = {
        {"home page and autonavi", {{L"homepage", L"about:home"}, {L"autonavi", L"true"}}, {L"about:home"}},
        {"autonavi without a home page", {{L"autonavi", L"true"}}, {}},
        {"a home page alone", {{L"homepage", L"about:home"}}, {}},
        {"autonavi other than true", {{L"homepage", L"about:home"}, {L"autonavi", L"yes"}}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        m_browsers.clear();
        m_handler.log.clear();
        Build("<VerticalLayout/>");
        Add(c.attributes);
        ASSERT_EQ(m_browsers.size(), 1u);
        EXPECT_EQ(m_browsers[0]->navigations, c.navigations);
        // The sink is connected first, so the home page's own events arrive too.
        EXPECT_EQ(m_browsers[0]->point->SinkCount(), 1u);
        EXPECT_EQ(m_handler.log.size(), c.navigations.size());
    }
}

TEST_F(WebBrowserUITest, EveryCompletedNavigationGetsTheUIHandler) {
    SkinUI::CWebBrowserUI* control = Add({{L"homepage", L"about:home"}, {L"autonavi", L"true"}});
    ASSERT_EQ(m_browsers.size(), 1u);
    CFakeBrowser* browser = m_browsers[0];
    EXPECT_EQ(browser->window, control->GetHostWindow());
    ASSERT_EQ(browser->Complete(), S_OK);
    ASSERT_NE(browser->document, nullptr);
    EXPECT_EQ(browser->document->uiHandler, static_cast<IDocHostUIHandler*>(control));

    control->NavigateTo(L"about:next");
    control->NavigateTo(L"");
    ASSERT_EQ(browser->Complete(), S_OK);
    EXPECT_EQ(browser->document->uiHandler, static_cast<IDocHostUIHandler*>(control));
    EXPECT_EQ(m_handler.log, (std::vector<std::string>{"before about:home", "complete about:home", "before about:next",
                                                       "complete about:next"}));

    // The handler is also reachable through every part of the control, as one object.
    platform::ComPtr<IUnknown> identity, again;
    ASSERT_EQ(static_cast<IOleCommandTarget*>(control)->QueryInterface(IID_IUnknown, identity.ReceiveVoid()), S_OK);
    ASSERT_EQ(static_cast<IDocHostUIHandler*>(control)->QueryInterface(IID_IUnknown, again.ReceiveVoid()), S_OK);
    EXPECT_EQ(identity.Get(), again.Get());
}

TEST_F(WebBrowserUITest, TheEventSinkChecksWhatItIsGiven) {
    SkinUI::CWebBrowserUI* control = Add({});
    IDispatch* sink = control;
    VARIANT url = Of(VT_EMPTY);
    const VARIANT page = Of(VT_BYREF | VT_VARIANT, &url);
    VARIANT on = Of(VT_BOOL);
    on.boolVal = VARIANT_TRUE;
    const struct {
        const char* why;
        DISPID member;
        std::vector<VARIANT> args;  // last argument first
        HRESULT answer;
    } cases[] = {
        {"a command state change", DISPID_COMMANDSTATECHANGE, {on, Of(VT_I4, nullptr, 2)}, S_OK},
        {"an unknown event", 9999, {}, DISP_E_MEMBERNOTFOUND},
        {"document complete", DISPID_DOCUMENTCOMPLETE, {}, DISP_E_MEMBERNOTFOUND},
        {"status text", DISPID_STATUSTEXTCHANGE, {}, E_NOTIMPL},
        {"command state as text", DISPID_COMMANDSTATECHANGE, {Of(VT_BOOL), Of(VT_BSTR)}, DISP_E_TYPEMISMATCH},
        {"before navigate, one short",
         DISPID_BEFORENAVIGATE2,
         {page, page, page, page, page, Of(VT_DISPATCH)},
         DISP_E_BADPARAMCOUNT},
        {"navigate complete with a null url",
         DISPID_NAVIGATECOMPLETE2,
         {Of(VT_BYREF | VT_VARIANT), Of(VT_DISPATCH)},
         DISP_E_TYPEMISMATCH},
        {"navigate error, cancel by value",
         DISPID_NAVIGATEERROR,
         {Of(VT_BOOL), page, page, page, Of(VT_DISPATCH)},
         DISP_E_TYPEMISMATCH},
    };
    for (bool withHandler : {true, false}) {
        control->SetEventHandler(withHandler ? &m_handler : nullptr);
        m_handler.log.clear();
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.why) + (withHandler ? " (handler)" : " (no handler)"));
            // Arguments are checked where a handler would read them.
            const bool checked = withHandler || (c.answer != DISP_E_TYPEMISMATCH && c.answer != DISP_E_BADPARAMCOUNT);
            EXPECT_EQ(Fire(sink, c.member, c.args), checked ? c.answer : S_OK);
        }
        // What a handler would be handed is checked before it is read: only the first arrives.
        EXPECT_EQ(m_handler.log, withHandler ? std::vector<std::string>{"command 2 on"} : std::vector<std::string>{});
        EXPECT_EQ(Fire(sink, DISPID_COMMANDSTATECHANGE, {on, Of(VT_I4)}, IID_IDispatch), E_INVALIDARG);
    }
}

TEST_F(WebBrowserUITest, ScriptErrorsAreAnsweredSoNoDialogShows) {
    SkinUI::CWebBrowserUI* control = Add({});
    IOleCommandTarget* target = control;
    auto* document = new fakeax::CFakeDocument();
    VARIANT in = Of(VT_DISPATCH, static_cast<IHTMLDocument2*>(document));
    VARIANT number = Of(VT_I4);
    VARIANT out;
    // A document with the error's details, one whose last detail cannot be read, no document, and
    // something else than one: every one is answered as shown.
    for (VARIANT* given : {&in, &in, static_cast<VARIANT*>(nullptr), &number}) {
        VariantInit(&out);
        EXPECT_EQ(target->Exec(&CGID_DocHostCommandHandler, OLECMDID_SHOWSCRIPTERROR, 0, given, &out), S_OK);
        EXPECT_EQ(out.vt, VT_BOOL);
        EXPECT_EQ(out.boolVal, VARIANT_TRUE);
        document->window->event->properties.resize(4);
    }
    EXPECT_EQ(target->Exec(&CGID_DocHostCommandHandler, OLECMDID_SHOWSCRIPTERROR, 0, &in, nullptr), E_INVALIDARG);
    EXPECT_EQ(target->Exec(nullptr, OLECMDID_SHOWSCRIPTERROR, 0, &in, &out), OLECMDERR_E_UNKNOWNGROUP);
    EXPECT_EQ(target->Exec(&IID_IUnknown, OLECMDID_SHOWSCRIPTERROR, 0, &in, &out), OLECMDERR_E_UNKNOWNGROUP);
    EXPECT_EQ(target->Exec(&CGID_DocHostCommandHandler, OLECMDID_SHOWSCRIPTERROR + 1, 0, &in, &out),
              OLECMDERR_E_NOTSUPPORTED);
    document->Release();

    // The only service is the download manager, whose downloads go to the handler.
    IServiceProvider* services = control;
    IDownloadManager* downloads = nullptr;
    ASSERT_EQ(services->QueryService(SID_SDownloadManager, IID_IDownloadManager, reinterpret_cast<void**>(&downloads)),
              S_OK);
    EXPECT_EQ(downloads->Download(nullptr, nullptr, 0, 0, nullptr, nullptr, nullptr, 0), E_ABORT);
    EXPECT_EQ(m_handler.log, std::vector<std::string>{"download"});
    downloads->Release();
    void* other = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(services->QueryService(IID_IOleCommandTarget, IID_IOleCommandTarget, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
}

TEST_F(WebBrowserUITest, KeysGoToTheBrowserOnlyWhileTheFocusIsInItsWindow) {
    SkinUI::CWebBrowserUI* control = Add({});
    ASSERT_EQ(m_browsers.size(), 1u);
    CFakeBrowser* browser = m_browsers[0];
    const HWND host = control->GetHostWindow();
    ASSERT_NE(host, nullptr);
    // The browser's own window inside the host window.
    const HWND page = CreateWindowExW(0, L"ActiveXTestWindow", L"", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, host, nullptr,
                                      nullptr, nullptr);
    ASSERT_NE(page, nullptr);
    const struct {
        const char* why;
        HWND focus;
        UINT message;
        bool translated;
    } cases[] = {
        {"focus in the browser's window", page, WM_KEYDOWN, true},
        {"focus on the host window itself", host, WM_CHAR, true},
        {"focus in the skinned window", m_hwnd, WM_KEYDOWN, false},
        {"not a key", page, WM_MOUSEMOVE, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        SetFocus(c.focus);
        browser->translated.clear();
        MSG key{c.focus, c.message, 'C', 0, 0, {}};
        // The window's loop reaches the browser through the paint manager's translators.
        EXPECT_EQ(SkinUI::CUIPaintManager::PreTranslate(&key), c.translated);
        EXPECT_EQ(browser->translated.size(), c.translated ? 1u : 0u);
    }
    SetFocus(page);
    MSG key{page, WM_KEYDOWN, 'C', 0, 0, {}};
    browser->options.acceleratorAnswer = S_FALSE;
    EXPECT_FALSE(SkinUI::CUIPaintManager::PreTranslate(&key)) << "the browser did not take it";

    DestroyWindow(page);
    control->ReleaseControl();
    EXPECT_EQ(m_manager->Translators().Count(), 0);
    EXPECT_EQ(control->PreTranslate(&key), E_NOTIMPL);
    EXPECT_EQ(m_alive, 0);
}

TEST_F(WebBrowserUITest, ReCreationLeavesNothingOfTheBrowserBefore) {
    SkinUI::CWebBrowserUI* control = Add({{L"homepage", L"about:home"}, {L"autonavi", L"true"}});
    ASSERT_EQ(m_browsers.size(), 1u);
    m_browsers[0]->AddRef();
    ASSERT_TRUE(control->DoCreateControl());
    ASSERT_EQ(m_browsers.size(), 2u);
    EXPECT_EQ(m_browsers[0]->point->SinkCount(), 0u);
    EXPECT_EQ(m_browsers[1]->point->SinkCount(), 1u);
    EXPECT_EQ(m_manager->Translators().Count(), 1);
    m_browsers[0]->Release();
    EXPECT_EQ(m_alive, 1);
    m_manager->AttachRoot(new SkinUI::CControlUI());
    EXPECT_EQ(m_alive, 0);
}
