// Shared by the combo tests: a combo in the list tests' window (at the screen's origin), its
// drop-down found and driven as a real window, and the queue pumped without waiting.
#pragma once

#include <string>

#include "ListFixture.h"
#include "platform/window/WindowPos.h"
#include "ui/controls/ComboUI.h"
#include "ui/controls/ComboWnd.h"

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
