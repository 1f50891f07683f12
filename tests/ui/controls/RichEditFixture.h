// Shared by the rich edit tests: the basic-control window, on a manual clock, with input
// injected through the headless display (so key states, capture, double clicks and typed
// text take the same road as on a real display) and a message loop that runs the paint
// manager's pre-translation as the program's own loop does.
#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "../basic/BasicFixture.h"
#include "platform/module/Module.h"
#include "platform/textservices/TextServices.h"
#include "platform/window/MessageQueue.h"
#include "ui/controls/RichEditUI.h"
#include "ui/controls/TxtWinHost.h"

namespace richedittest {

class ManualClock final : public platform::ITimerClock {
public:
    TimePoint Now() const override {
        std::lock_guard lock(m_mutex);
        return m_now;
    }
    void Advance(std::chrono::milliseconds by) {
        std::lock_guard lock(m_mutex);
        m_now += by;
    }

private:
    mutable std::mutex m_mutex;
    TimePoint m_now{std::chrono::hours(1)};
};

class RichEditTest : public basictest::BasicControlTest {
protected:
    void SetUp() override {
        platform::MessageQueue::ForCurrentThread()->SetClockForTesting(m_clock);
        platform::EnsureTextServicesModule();
        BasicControlTest::SetUp();
    }
    void TearDown() override {
        BasicControlTest::TearDown();
        Pump();
        platform::RegisterTextServicesModule();
        platform::MessageQueue::ForCurrentThread()->SetClockForTesting(platform::SteadyTimerClock());
    }

    void Notify(SkinUI::UINotifyMsg& msg) override {
        BasicControlTest::Notify(msg);
        if (msg.type == L"richeditnotify") {
            m_codes.push_back(static_cast<DWORD>(msg.wParam));
            if (msg.lParam != 0) m_headers.push_back(*reinterpret_cast<const NMHDR*>(msg.lParam));
        }
    }

    // A rich edit "re" of the given attributes above a button "next", in the 400 x 300 window.
    SkinUI::CRichEditUI* BuildEdit(const std::string& attributes, int height = 120) {
        Build(R"(<VerticalLayout><RichEdit name="re" height=")" + std::to_string(height) + "\" " + attributes +
              R"(/><Button name="next" height="30"/><Control/></VerticalLayout>)");
        Pump();
        m_log.clear();
        return Find<SkinUI::CRichEditUI>(L"re");
    }

    // Dispatches everything queued, with the program loop's pre-translation.
    void Pump() {
        MSG msg{};
        for (int i = 0; i < 100000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
            if (!SkinUI::CUIPaintManager::PreTranslate(&msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        if (m_manager != nullptr) m_manager->UpdateLayout();
    }
    void Advance(std::chrono::milliseconds by) {
        m_clock->Advance(by);
        Pump();
    }

    // Input through the display, dispatched at once.
    void Press(UINT key, UINT modifier = 0) {
        if (modifier != 0) m_display.KeyDown(modifier);
        m_display.KeyDown(key);
        m_display.KeyUp(key);
        if (modifier != 0) m_display.KeyUp(modifier);
        Pump();
    }
    void TypeText(const std::string& utf8) {
        m_display.TypeText(utf8);
        Pump();
    }
    void ClickAt(POINT point) {
        m_display.Click(point.x, point.y);
        Pump();
    }
    void DragFromTo(POINT from, POINT to) {
        m_display.MoveMouse(from.x, from.y);
        m_display.PressButton(platform::RawInput::Button::Left);
        m_display.MoveMouse(to.x, to.y);
        m_display.ReleaseButton(platform::RawInput::Button::Left);
        Pump();
    }
    void WheelAt(POINT point, int delta, UINT modifier = 0) {
        m_display.MoveMouse(point.x, point.y);
        if (modifier != 0) m_display.KeyDown(modifier);
        m_display.Wheel(delta);
        if (modifier != 0) m_display.KeyUp(modifier);
        Pump();
    }

    static LRESULT Ask(SkinUI::CRichEditUI* edit, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        LRESULT result = 0;
        edit->SendTextMessage(message, wParam, lParam, &result);
        return result;
    }
    static std::wstring Text(SkinUI::CRichEditUI* edit) { return edit->GetCaption().ToWString(); }
    static std::wstring Selected(SkinUI::CRichEditUI* edit) { return edit->GetSelectedText().ToWString(); }
    static CHARRANGE Selection(SkinUI::CRichEditUI* edit) {
        CHARRANGE range;
        Ask(edit, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
        return range;
    }
    static int NaturalHeight(SkinUI::CRichEditUI* edit) {
        const RECT client = edit->GetTextHost()->GetClientRect();
        LONG width = client.right - client.left, height = 0;
        const SIZEL extent{-1, -1};
        edit->GetTextHost()->GetTextServices()->TxGetNaturalSize(DVASPECT_CONTENT, nullptr, nullptr, nullptr,
                                                                 TXTNS_FITTOCONTENT, &extent, &width, &height);
        return static_cast<int>(height);
    }
    // The middle of the caret box before `cp`, in window co-ordinates.
    static POINT PointOf(SkinUI::CRichEditUI* edit, LONG cp) {
        POINT point = edit->PosFromChar(cp);
        point.y += 6;
        return point;
    }

    std::shared_ptr<ManualClock> m_clock = std::make_shared<ManualClock>();
    std::vector<DWORD> m_codes;
    std::vector<NMHDR> m_headers;
};

}  // namespace richedittest
