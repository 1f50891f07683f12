#include "ui/controls/ComboUI.h"

#include <string>

#include "ComboFixture.h"
#include "platform/window/Focus.h"
#include "ui/basic/ScrollBarUI.h"
#include "ui/controls/ComboWnd.h"
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

}  // namespace

TEST_F(ComboUITest, DropDownOpensUnderTheComboAsTallAsItsItemsUpToItsHeight) {
    // Three items of 20: 64 pixels with the border, as wide as the combo, right under it.
    Build(ComboSkin(Items(3)));
    TakeLog();
    Open();
    EXPECT_RECT(DropDownRect(), 20, 64, 140, 128);
    EXPECT_EQ(TakeLog(), "dropdown:combo:0:0");
    const HWND popup = DropDown()->GetHWND();
    EXPECT_TRUE(IsWindowVisible(popup));
    EXPECT_EQ(GetParent(popup), m_hwnd) << "owned by the combo's window";
    EXPECT_EQ(GetFocus(), popup);
    EXPECT_TRUE(Combo()->Trigger()) << "a second opening changes nothing";
    EXPECT_EQ(DropDown()->GetHWND(), popup);
    EXPECT_EQ(TakeLog(), "");
    // The items are laid out in the pop-up, inside its one-pixel border.
    EXPECT_RECT(Item(0)->GetBounds(), 1, 1, 119, 21);
    EXPECT_RECT(Item(2)->GetBounds(), 1, 41, 119, 61);
    SendToDropDown(WM_KEYDOWN, VK_RETURN);
    Pump();
    EXPECT_EQ(DropDown(), nullptr);

    // Twenty items: capped at the drop-box height, at the drop-box width, and scrolling.
    Build(ComboSkin(Items(20), "dropboxsize=\"200,150\" dropbox=\"bkcolor='#FF102030'\""));
    Open();
    EXPECT_RECT(DropDownRect(), 20, 64, 220, 214);
    SkinUI::CVerticalLayoutUI* layout = DropDown()->Layout();
    EXPECT_EQ(layout->GetBackColor(), 0xFF102030u) << "the drop-box attributes come last";
    EXPECT_EQ(layout->GetBorderColor(), 0xFFC6C7D2u);
    ASSERT_NE(layout->GetVScrollBar(), nullptr);
    EXPECT_TRUE(layout->GetVScrollBar()->IsShown());
    EXPECT_EQ(layout->GetScrollExtent().cy, 400 - 148);
    // The wheel scrolls 10 pixels a message, toward the user down and away from the user up.
    SendToDropDown(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), MAKELPARAM(30, 70));
    SendToDropDown(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-2 * WHEEL_DELTA)), MAKELPARAM(30, 70));
    EXPECT_EQ(layout->GetScrollOffset().cy, 20);
    SendToDropDown(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(WHEEL_DELTA)), MAKELPARAM(30, 70));
    EXPECT_EQ(layout->GetScrollOffset().cy, 10);
    EXPECT_EQ(Item(0)->GetBounds().top, 1 - 10);
    // A key moves the selection and brings the item into view before the pop-up closes.
    Combo()->SelectItem(15);
    Pump();
    Open();
    EXPECT_EQ(DropDown()->Layout()->GetScrollOffset().cy, 0) << "a new pop-up starts at the top";
    SendToDropDown(WM_KEYDOWN, VK_DOWN);
    EXPECT_EQ(Combo()->GetSelectedIndex(), 16);
    const RECT shown = DropDown()->Layout()->GetBounds();
    EXPECT_LE(Item(16)->GetBounds().bottom, shown.bottom);
    EXPECT_GE(Item(16)->GetBounds().top, shown.top);
    Pump();
    EXPECT_EQ(DropDown(), nullptr) << "a selection by key closes the pop-up";
}

TEST_F(ComboUITest, DropDownOpensAboveTheComboNearTheBottomOfTheWorkArea) {
    m_display.SetScreen(platform::ScreenGeometry{RECT{0, 0, 1920, 1080}, RECT{0, 0, 1920, 1040}});
    Build(ComboSkin(Items(3)));
    // The combo lies at 980..1004 on the screen: under it would reach 1068, past the work area
    // though not past the screen.
    SetWindowPos(m_hwnd, nullptr, 0, 940, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Open();
    EXPECT_RECT(DropDownRect(), 20, 980 - 64, 140, 980);
    EXPECT_RECT(Item(0)->GetBounds(), 1, 1, 119, 21);
    SendToDropDown(WM_KEYDOWN, VK_RETURN);
    Pump();

    // With room under it, it opens there.
    SetWindowPos(m_hwnd, nullptr, 0, 900, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Open();
    EXPECT_RECT(DropDownRect(), 20, 964, 140, 1028);
    SendToDropDown(WM_KEYDOWN, VK_RETURN);
    Pump();
}

TEST_F(ComboUITest, EscapeRestoresTheSelectionTheDropDownOpenedWith) {
    Build(ComboSkin(Items(4)));
    Combo()->SelectItem(1);
    TakeLog();
    Open();
    TakeLog();
    // A key selects the next item; Escape, before the pop-up closes, goes back and says so.
    SendToDropDown(WM_KEYDOWN, VK_DOWN);
    EXPECT_EQ(Combo()->GetSelectedIndex(), 2);
    SendToDropDown(WM_KEYDOWN, VK_ESCAPE);
    EXPECT_EQ(Combo()->GetSelectedIndex(), 1);
    EXPECT_EQ(TakeLog(), "itemselect:combo:2:1 itemselect:combo:1:2");
    EXPECT_TRUE(AsItem(Item(1))->IsSelected());
    EXPECT_FALSE(AsItem(Item(2))->IsSelected());
    Pump();
    EXPECT_EQ(DropDown(), nullptr);
    EXPECT_EQ(m_manager->GetFocusControl(), Combo()) << "the combo has the focus again";

    // Escape with nothing changed closes without a notification.
    Open();
    TakeLog();
    m_display.KeyDown(VK_ESCAPE);
    m_display.KeyUp(VK_ESCAPE);
    Pump();
    EXPECT_EQ(DropDown(), nullptr);
    EXPECT_EQ(TakeLog(), "");
    EXPECT_EQ(Combo()->GetSelectedIndex(), 1);
}

TEST_F(ComboUITest, ItemsAreLentToTheDropDownAndGivenBack) {
    Build(ComboSkin(Items(3)));
    Combo()->SelectItem(0);
    Mouse(WM_LBUTTONDOWN, 30, 50, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, 30, 50);
    Pump();
    ASSERT_NE(DropDown(), nullptr);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Item(i)->GetParentControl(), DropDown()->Layout());
        EXPECT_EQ(Item(i)->GetOwnerManager(), &DropDown()->PaintManager());
    }
    EXPECT_EQ(DropDown()->PaintManager().GetResourceParent(), m_manager.get());
    EXPECT_NE(Combo()->GetButtonState() & CComboUI::kStatePushed, 0u);

    // A click on an item through the display selects it and closes the pop-up.
    TakeLog();
    const POINT pt = ScreenCentreOf(Item(2));
    m_display.Click(pt.x, pt.y);
    Pump();
    EXPECT_EQ(DropDown(), nullptr);
    EXPECT_EQ(Combo()->GetSelectedIndex(), 2);
    EXPECT_EQ(TakeLog(), "itemselect:combo:2:0");
    EXPECT_EQ(Combo()->GetCaption(), L"item 2");
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Item(i)->GetParentControl(), Combo());
        EXPECT_EQ(Item(i)->GetOwnerManager(), m_manager.get());
        EXPECT_RECT(Item(i)->GetBounds(), 0, 0, 0, 0);
        EXPECT_EQ(AsItem(Item(i))->GetOwner(), static_cast<SkinUI::IListOwnerUI*>(Combo()));
    }
    EXPECT_EQ(Combo()->GetButtonState() & CComboUI::kStatePushed, 0u);
    EXPECT_EQ(m_manager->GetFocusControl(), Combo());
    EXPECT_EQ(m_manager->ControlAtPoint(22, 42), Combo()) << "hit tests never reach the items";

    // Losing the focus to the combo's own window closes it too, with the selection kept.
    Open();
    SetFocus(m_hwnd);
    Pump();
    EXPECT_EQ(DropDown(), nullptr);
    EXPECT_EQ(Combo()->GetSelectedIndex(), 2);
}

TEST_F(ComboUITest, TheFaceOpensOnAPressAndMovesTheSelectionByKey) {
    Build(ComboSkin(Items(4) + "<ListLabelElement name=\"off\" text=\"off\" height=\"20\" enabled=\"false\"/>",
                    "defaulttext=\"choose\""));
    TakeLog();
    Mouse(WM_MOUSEMOVE, 30, 50);
    EXPECT_NE(Combo()->GetButtonState() & CComboUI::kStateHot, 0u);
    Mouse(WM_LBUTTONDOWN, 30, 50, MK_LBUTTON);
    ASSERT_NE(DropDown(), nullptr);
    Mouse(WM_LBUTTONUP, 30, 50);
    EXPECT_EQ(TakeLog(), "dropdown:combo:0:0");
    SendToDropDown(WM_KEYDOWN, VK_RETURN);
    Pump();
    ASSERT_EQ(DropDown(), nullptr);
    ASSERT_EQ(m_manager->GetFocusControl(), Combo());

    // Keys on the closed combo walk the usable items; the wheel does nothing.
    const struct {
        WORD key;
        int selected;
    } steps[] = {{VK_DOWN, 0}, {VK_DOWN, 1}, {VK_NEXT, 2}, {VK_END, -1}, {VK_HOME, 0}, {VK_UP, 0}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.key);
        Key(step.key);
        EXPECT_EQ(Combo()->GetSelectedIndex(), step.selected);
    }
    Combo()->SelectItem(3);
    Key(VK_DOWN);
    EXPECT_EQ(Combo()->GetSelectedIndex(), -1) << "only a disabled item follows";
    Combo()->SelectItem(1);
    Wheel(30, 50, -1);
    Wheel(30, 50, 1);
    EXPECT_EQ(Combo()->GetSelectedIndex(), 1);
    Key(VK_F4);
    EXPECT_NE(DropDown(), nullptr);
    SendToDropDown(WM_KEYDOWN, VK_RETURN);
    Pump();
    EXPECT_EQ(DropDown(), nullptr);
}

TEST_F(ComboUITest, TheSelectionFollowsTheItems) {
    Build(ComboSkin(Items(4)));
    CComboUI* combo = Combo();
    TakeLog();
    EXPECT_TRUE(combo->SelectItem(9)) << "past the end: the last item";
    EXPECT_EQ(combo->GetSelectedIndex(), 3);
    EXPECT_TRUE(combo->SelectItem(3));
    EXPECT_EQ(TakeLog(), "itemselect:combo:3:-1") << "the current index sends nothing";

    // An insertion in front moves the selection with its item, and every item is renumbered.
    auto* added = new SkinUI::CListLabelElementUI();
    added->SetName(L"new");
    ASSERT_TRUE(combo->InsertChildAt(added, 0));
    EXPECT_EQ(combo->GetSelectedIndex(), 4);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(AsItem(Item(i))->GetItemIndex(), i);
    }
    // A move keeps the selected item selected.
    ASSERT_TRUE(combo->MoveChildTo(Item(4), 1));
    EXPECT_EQ(combo->GetSelectedIndex(), 1);
    EXPECT_EQ(combo->GetCaption(), L"item 3");
    // Removing the selected item selects the one that takes its place; removing one before it
    // shifts it.
    ASSERT_TRUE(combo->RemoveChildAt(1));
    EXPECT_EQ(combo->GetSelectedIndex(), 1);
    EXPECT_EQ(combo->GetCaption(), L"item 0");
    EXPECT_EQ(Item(0)->GetName(), L"new");
    combo->SelectItem(2);
    ASSERT_TRUE(combo->RemoveChild(Item(0)));
    EXPECT_EQ(combo->GetSelectedIndex(), 1);
    EXPECT_EQ(combo->GetCaption(), L"item 1");
    // A hidden item cannot be selected, and the old selection is gone.
    Item(2)->Show(false);
    EXPECT_FALSE(combo->SelectItem(2));
    EXPECT_EQ(combo->GetSelectedIndex(), -1);
    combo->SelectItem(0);
    combo->RemoveAllChildren();
    EXPECT_EQ(combo->GetSelectedIndex(), -1);
    EXPECT_EQ(combo->GetCaption(), L"");

    // An item selected in the skin is the combo's selection.
    Build(ComboSkin(Items(2) + "<ListLabelElement name=\"pre\" text=\"pre\" selected=\"true\"/>"));
    EXPECT_EQ(Combo()->GetSelectedIndex(), 2);
}

TEST_F(ComboUITest, AnOpenDropDownNeverOutlivesWhatItShows) {
    // The combo dies with its pop-up open: the pop-up goes with it and never paints its items.
    Build(ComboSkin(Items(3)));
    Open();
    const HWND popup = DropDown()->GetHWND();
    Build("<VerticalLayout/>");
    EXPECT_FALSE(IsWindow(popup));
    Pump();

    // An item leaves the open combo: the pop-up stops showing it at once.
    Build(ComboSkin(Items(3)));
    Combo()->SelectItem(1);
    Pump();
    Open();
    SkinUI::CControlUI* last = Item(2);
    ASSERT_TRUE(Combo()->RemoveChildAt(0));
    EXPECT_EQ(DropDown()->Layout()->ChildCount(), 2);
    InvalidateRect(DropDown()->GetHWND(), nullptr, FALSE);
    UpdateWindow(DropDown()->GetHWND());
    // One added while it is open shows there too.
    auto* added = new SkinUI::CListLabelElementUI();
    ASSERT_TRUE(Combo()->AppendChild(added));
    EXPECT_EQ(DropDown()->Layout()->GetChildAt(2), added);
    EXPECT_EQ(added->GetOwnerManager(), &DropDown()->PaintManager());
    ASSERT_TRUE(Combo()->MoveChildTo(added, 0));
    EXPECT_EQ(DropDown()->Layout()->GetChildAt(0), added);
    EXPECT_EQ(DropDown()->Layout()->GetChildAt(2), last);
    Combo()->RemoveAllChildren();
    EXPECT_EQ(DropDown()->Layout()->ChildCount(), 0);
    UpdateWindow(DropDown()->GetHWND());
    Pump();

    // The pop-up's window goes without a close (its owner went first): the items come home.
    Build(ComboSkin(Items(3)));
    Open();
    DestroyWindow(DropDown()->GetHWND());
    EXPECT_EQ(DropDown(), nullptr);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Item(i)->GetOwnerManager(), m_manager.get());
        EXPECT_EQ(Item(i)->GetParentControl(), Combo());
    }
    Combo()->SelectItem(1);
    Build("<VerticalLayout/>");
}
