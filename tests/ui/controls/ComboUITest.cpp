#include "ui/controls/ComboUI.h"

#include <string>

#include "ListFixture.h"
#include "platform/window/Focus.h"
#include "ui/basic/ScrollBarUI.h"
#include "ui/controls/ListElementUI.h"
#include "ui/core/VerticalLayoutUI.h"

using combotest::ComboSkin;
using combotest::Items;
using SkinUI::CComboUI;
using SkinUI::CControlUI;
using SkinUI::IListItemUI;

namespace {

using ComboUITest = combotest::ComboTest;

IListItemUI* AsItem(CControlUI* control) {
    return static_cast<IListItemUI*>(control->QueryFacet(L"ListItem"));
}

WPARAM WheelDelta(int notches) {
    return MAKEWPARAM(0, static_cast<WORD>(notches * WHEEL_DELTA));
}

}  // namespace

TEST_F(ComboUITest, DropDownOpensUnderTheComboAsTallAsItsItemsUpToItsHeight) {
    // Three items of 20: 64 pixels with the border, as wide as the combo, right under it.
    Build(ComboSkin(Items(3)));
    TakeLog();
    Open();
    EXPECT_RECT(DropDownRect(), 20, 64, 140, 128);
    EXPECT_EQ(TakeLog(), "dropdown:combo:0:0");
    EXPECT_EQ(GetFocus(), DropDown()->GetHWND());
    SendToDropDown(WM_KEYDOWN, VK_RETURN);
    Pump();
    EXPECT_EQ(DropDown(), nullptr);

    // Twenty items: capped at the drop-box height, at the drop-box width, and scrolling.
    Build(ComboSkin(Items(20), "dropboxsize=\"200,150\" dropbox=\"bkcolor='#FF102030'\""));
    Open();
    EXPECT_RECT(DropDownRect(), 20, 64, 220, 214);
    SkinUI::CVerticalLayoutUI* layout = DropDown()->Layout();
    EXPECT_EQ(layout->GetBackColor(), 0xFF102030u) << "the drop-box attributes come last";
    EXPECT_TRUE(layout->GetVScrollBar()->IsShown());
    // 10 pixels a wheel message: down toward the user, up away from the user.
    SendToDropDown(WM_MOUSEWHEEL, WheelDelta(-1), MAKELPARAM(30, 70));
    SendToDropDown(WM_MOUSEWHEEL, WheelDelta(-2), MAKELPARAM(30, 70));
    SendToDropDown(WM_MOUSEWHEEL, WheelDelta(1), MAKELPARAM(30, 70));
    EXPECT_EQ(layout->GetScrollOffset().cy, 10);
    EXPECT_EQ(Item(0)->GetBounds().top, 1 - 10);
    // A key moves the selection and brings its item into view; the pop-up then closes.
    SendToDropDown(WM_KEYDOWN, VK_END);
    EXPECT_EQ(Combo()->GetSelectedIndex(), 19);
    EXPECT_EQ(Item(19)->GetBounds().bottom, layout->GetBounds().bottom);
    Pump();
    EXPECT_EQ(DropDown(), nullptr);

    // Near the bottom of the work area (not yet of the screen) it opens above the combo.
    m_display.SetScreen(platform::ScreenGeometry{RECT{0, 0, 1920, 1080}, RECT{0, 0, 1920, 1040}});
    Build(ComboSkin(Items(3)));
    SetWindowPos(m_hwnd, nullptr, 0, 940, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Open();
    EXPECT_RECT(DropDownRect(), 20, 980 - 64, 140, 980);
    SendToDropDown(WM_KEYDOWN, VK_RETURN);
    Pump();
}

TEST_F(ComboUITest, EscapeRestoresTheSelectionTheDropDownOpenedWith) {
    Build(ComboSkin(Items(4)));
    Combo()->SelectItem(1);
    Open();
    TakeLog();
    // A key selects the next item; Escape, before the pop-up closes, goes back and says so.
    SendToDropDown(WM_KEYDOWN, VK_DOWN);
    SendToDropDown(WM_KEYDOWN, VK_ESCAPE);
    EXPECT_EQ(Combo()->GetSelectedIndex(), 1);
    EXPECT_EQ(TakeLog(), "itemselect:combo:2:1 itemselect:combo:1:2");
    EXPECT_FALSE(AsItem(Item(2))->IsSelected());
    Pump();
    EXPECT_EQ(DropDown(), nullptr);
    EXPECT_EQ(m_manager->GetFocusControl(), Combo()) << "the combo has the focus again";
}

TEST_F(ComboUITest, ItemsAreLentToTheDropDownAndGivenBack) {
    Build(ComboSkin(Items(3)));
    Combo()->SelectItem(0);
    Mouse(WM_LBUTTONDOWN, 30, 50, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, 30, 50);
    Pump();
    ASSERT_NE(DropDown(), nullptr);
    EXPECT_EQ(Item(1)->GetOwnerManager(), &DropDown()->PaintManager());
    EXPECT_NE(Combo()->GetButtonState() & CComboUI::kStatePushed, 0u);

    // A click on an item through the display selects it and closes the pop-up.
    TakeLog();
    const POINT pt = ScreenCentreOf(Item(2));
    m_display.Click(pt.x, pt.y);
    Pump();
    EXPECT_EQ(DropDown(), nullptr);
    EXPECT_EQ(TakeLog(), "itemselect:combo:2:0");
    EXPECT_EQ(Combo()->GetCaption(), L"item 2");
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Item(i)->GetParentControl(), Combo());
        EXPECT_EQ(Item(i)->GetOwnerManager(), m_manager.get());
        EXPECT_RECT(Item(i)->GetBounds(), 0, 0, 0, 0);
    }
    EXPECT_EQ(Combo()->GetButtonState() & CComboUI::kStatePushed, 0u);
    EXPECT_EQ(m_manager->ControlAtPoint(22, 42), Combo()) << "hit tests never reach the items";
}

TEST_F(ComboUITest, AnOpenDropDownNeverOutlivesWhatItShows) {
    // The combo dies with its pop-up open: the pop-up goes with it and never paints its items.
    Build(ComboSkin(Items(3)));
    Open();
    const HWND popup = DropDown()->GetHWND();
    Build("<VerticalLayout/>");
    EXPECT_FALSE(IsWindow(popup));
    Pump();

    // Items leave and join the open combo: the pop-up shows what the combo holds.
    Build(ComboSkin(Items(3)));
    Open();
    CControlUI* last = Item(2);
    ASSERT_TRUE(Combo()->RemoveChildAt(0));
    UpdateWindow(DropDown()->GetHWND());
    auto* added = new SkinUI::CListLabelElementUI();
    ASSERT_TRUE(Combo()->AppendChild(added));
    ASSERT_TRUE(Combo()->MoveChildTo(added, 0));
    EXPECT_EQ(DropDown()->Layout()->GetChildAt(0), added);
    EXPECT_EQ(DropDown()->Layout()->GetChildAt(2), last);
    EXPECT_EQ(added->GetOwnerManager(), &DropDown()->PaintManager());
    Combo()->RemoveAllChildren();
    EXPECT_EQ(DropDown()->Layout()->ChildCount(), 0);
    UpdateWindow(DropDown()->GetHWND());
    Pump();

    // The pop-up's window goes without a close: the items come home.
    Build(ComboSkin(Items(3)));
    Open();
    DestroyWindow(DropDown()->GetHWND());
    EXPECT_EQ(DropDown(), nullptr);
    EXPECT_EQ(Item(0)->GetOwnerManager(), m_manager.get());
    Combo()->SelectItem(1);
}
