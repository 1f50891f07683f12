// Shared by the list tests: the basic-control window and skin helpers, a notification log
// with both parameters, a manual clock for the control timers, and small row classes.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "../basic/BasicFixture.h"
#include "platform/window/MessageQueue.h"
#include "platform/window/WindowPos.h"
#include "support/ManualClock.h"
#include "support/RectCheck.h"
#include "ui/controls/ListBodyUI.h"
#include "ui/controls/ListElementUI.h"
#include "ui/controls/ListHeaderUI.h"
#include "ui/controls/ListUI.h"

namespace listtest {

using ManualClock = testsupport::ManualClock;

// A label row that can be expanded.
class CExpandableRowUI : public SkinUI::CListLabelElementUI {
public:
    bool IsExpanded() const override { return m_expanded; }
    bool Expand(bool expand = true) override {
        m_expanded = expand;
        return true;
    }

private:
    bool m_expanded = false;
};

inline void RegisterListTestControls() {
    SkinUI::CUIControlFactory::Instance().Register(L"ExpandableRow",
                                                   []() -> SkinUI::CControlUI* { return new CExpandableRowUI(); });
}

// Logs notifications as "type:sender:wParam:lParam", leaving out focus and timer ones.
class ListTest : public basictest::BasicControlTest {
protected:
    void SetUp() override {
        basictest::BasicControlTest::SetUp();
        RegisterListTestControls();
        platform::MessageQueue::ForCurrentThread()->SetClockForTesting(m_clock);
    }
    void TearDown() override {
        basictest::BasicControlTest::TearDown();
        platform::MessageQueue::ForCurrentThread()->SetClockForTesting(platform::SteadyTimerClock());
    }

    void Notify(SkinUI::UINotifyMsg& msg) override {
        if (msg.type == L"timer" || msg.type == L"setfocus" || msg.type == L"killfocus") return;
        m_log.push_back(basictest::Narrow(msg.type.View()) + ":" +
                        (msg.sender != nullptr ? basictest::Narrow(msg.sender->GetName().View()) : "-") + ":" +
                        std::to_string(static_cast<long long>(msg.wParam)) + ":" +
                        std::to_string(static_cast<long long>(msg.lParam)));
        if (onNotify) onNotify(msg);
    }

    // Builds a skin whose problems are expected; returns what the builder reported.
    std::wstring BuildExpectingProblems(std::string_view xml) {
        SkinUI::CUIDialogBuilder builder;
        SkinUI::CControlUI* root = builder.BuildFromText(xml, m_manager.get());
        EXPECT_NE(root, nullptr);
        if (root != nullptr) m_manager->AttachRoot(root);
        Relayout(SIZE{400, 300});
        return builder.LastError();
    }
    SkinUI::CListUI* List(std::wstring_view name = L"list") { return Find<SkinUI::CListUI>(name); }
    SkinUI::CControlUI* Row(int index, std::wstring_view list = L"list") { return List(list)->GetChildAt(index); }
    std::string TakeLog() {
        std::string all;
        for (const std::string& entry : m_log)
            all += (all.empty() ? "" : " ") + entry;
        m_log.clear();
        return all;
    }
    // The clock moves on by `ms` and whatever came due is dispatched.
    void Advance(int ms) {
        m_clock->Advance(std::chrono::milliseconds(ms));
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    // The window's client area changes size and the tree is laid out again.
    void Relayout(SIZE client) {
        Send(WM_SIZE, 0, MAKELPARAM(static_cast<WORD>(client.cx), static_cast<WORD>(client.cy)));
    }
    void Wheel(int x, int y, int notches) {
        POINT pt{x, y};
        ClientToScreen(m_hwnd, &pt);
        Send(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(notches * WHEEL_DELTA))),
             MAKELPARAM(static_cast<WORD>(pt.x), static_cast<WORD>(pt.y)));
    }

    std::shared_ptr<ManualClock> m_clock = std::make_shared<ManualClock>();
    std::function<void(SkinUI::UINotifyMsg&)> onNotify;
};

}  // namespace listtest
