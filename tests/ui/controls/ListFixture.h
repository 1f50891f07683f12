// Shared by the list tests: the basic-control window on a manual clock, a notification log with
// both parameters, and helpers for layout and the wheel.
#pragma once

#include <functional>
#include <string>

#include "../basic/BasicFixture.h"
#include "platform/window/WindowPos.h"
#include "ui/controls/ListBodyUI.h"
#include "ui/controls/ListElementUI.h"
#include "ui/controls/ListHeaderUI.h"
#include "ui/controls/ListUI.h"

namespace listtest {

// Logs notifications as "type:sender:wParam:lParam", leaving out focus and timer ones.
class ListTest : public basictest::BasicControlTest {
protected:
    void SetUp() override {
        basictest::BasicControlTest::SetUp();
        UseManualClock();
    }

    void Notify(SkinUI::UINotifyMsg& msg) override {
        if (msg.type == L"timer" || msg.type == L"setfocus" || msg.type == L"killfocus") return;
        m_log.push_back(basictest::Narrow(msg.type.View()) + ":" +
                        (msg.sender != nullptr ? basictest::Narrow(msg.sender->GetName().View()) : "-") + ":" +
                        std::to_string(static_cast<long long>(msg.wParam)) + ":" +
                        std::to_string(static_cast<long long>(msg.lParam)));
        if (onNotify) onNotify(msg);
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
    // The window's client area changes size and the tree is laid out again.
    void Relayout(SIZE client) {
        Send(WM_SIZE, 0, MAKELPARAM(static_cast<WORD>(client.cx), static_cast<WORD>(client.cy)));
    }
    void Wheel(int x, int y, int notches) {
        Send(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(notches * WHEEL_DELTA))),
             MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
    }

    std::function<void(SkinUI::UINotifyMsg&)> onNotify;
};

}  // namespace listtest
