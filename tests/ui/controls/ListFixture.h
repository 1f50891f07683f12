// Shared by the list and combo tests: the basic-control window on a manual clock, a notification
// log with both parameters, helpers for layout and the wheel; a combo in that window (at the
// screen's origin), its drop-down found and driven as a real window.
#pragma once

#include <functional>
#include <string>

#include "../basic/BasicFixture.h"
#include "platform/window/WindowPos.h"
#include "ui/controls/ComboUI.h"
#include "ui/controls/ComboWnd.h"
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

namespace combotest {

// `count` label items "i0".. of 20 pixels each.
inline std::string Items(int count) {
    std::string items;
    for (int i = 0; i < count; ++i)
        items += "<ListLabelElement name=\"i" + std::to_string(i) + "\" text=\"item " + std::to_string(i) +
                 "\" height=\"20\"/>";
    return items;
}

// A combo at (20, 40)-(140, 64) of the window.
inline std::string ComboSkin(const std::string& items, const std::string& attributes = "",
                             const std::string& tag = "Combo") {
    return "<VerticalLayout bkcolor=\"#FFFFFFFF\"><" + tag + " name=\"combo\" float=\"true\" pos=\"20,40,140,64\" " +
           attributes + ">" + items + "</" + tag + "></VerticalLayout>";
}

class ComboTest : public listtest::ListTest {
protected:
    SkinUI::CComboUI* Combo() { return Find<SkinUI::CComboUI>(L"combo"); }
    SkinUI::CControlUI* Item(int index) { return Combo()->CContainerUI::GetChildAt(index); }
    SkinUI::CComboWnd* DropDown() { return Combo()->GetDropDown(); }
    void Open() {
        ASSERT_TRUE(Combo()->Trigger());
        ASSERT_NE(DropDown(), nullptr);
        Pump();
    }
    RECT DropDownRect() {
        RECT rect{};
        if (DropDown() != nullptr) GetWindowRect(DropDown()->GetHWND(), &rect);
        return rect;
    }
    LRESULT SendToDropDown(UINT message, WPARAM wParam, LPARAM lParam = 0) {
        return SendMessageW(DropDown()->GetHWND(), message, wParam, lParam);
    }
    // The screen point at the centre of an item shown in the drop-down.
    POINT ScreenCentreOf(SkinUI::CControlUI* item) {
        const RECT b = item->GetBounds();
        POINT pt{(b.left + b.right) / 2, (b.top + b.bottom) / 2};
        ClientToScreen(DropDown()->GetHWND(), &pt);
        return pt;
    }
};

}  // namespace combotest
