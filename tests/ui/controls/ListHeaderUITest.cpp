#include "ui/controls/ListHeaderUI.h"

#include "ListFixture.h"
#include "ui/controls/ListHeaderItemUI.h"

using SkinUI::CListHeaderItemUI;
using SkinUI::UICursor;

namespace {

class ListHeaderUITest : public listtest::ListTest {
protected:
    void SetUp() override {
        ListTest::SetUp();
        Build(R"(<VerticalLayout><List name="list">
            <ListHeaderItem name="c0" width="100" text="A"/>
            <ListHeaderItem name="c1" width="100" sepwidth="-4"/>
            <ListHeaderItem name="c2" width="100" dragable="false"/>
            <ListHeaderItem name="c3" width="100" sepwidth="0"/>
          </List></VerticalLayout>)");
    }
    CListHeaderItemUI* Item(const wchar_t* name) { return Find<CListHeaderItemUI>(name); }
    int Width(const wchar_t* name) { return Item(name)->GetBounds().right - Item(name)->GetBounds().left; }
    // The cursor shape the manager picks with the mouse at x on the header.
    UICursor CursorAt(int x) {
        m_display.MoveMouse(x, 5);
        Send(WM_SETCURSOR, reinterpret_cast<WPARAM>(m_hwnd), MAKELPARAM(1, WM_MOUSEMOVE));
        return m_manager->GetCursorShape();
    }
};

}  // namespace

TEST_F(ListHeaderUITest, TheGrabZoneDragsAndTheRestClicks) {
    const int right = Item(L"c0")->GetBounds().right;
    EXPECT_EQ(CursorAt(right - 8), UICursor::SizeWE);
    EXPECT_EQ(CursorAt(right - 9), UICursor::Arrow);
    // 8 pixels left of the edge starts a drag and raises nothing; a step to 16 is refused.
    Mouse(WM_LBUTTONDOWN, right - 8, 5);
    Mouse(WM_MOUSEMOVE, right - 40, 5);
    EXPECT_EQ(Width(L"c0"), 68);
    EXPECT_EQ(List()->GetListStyle()->columns[1].left, 68) << "the columns follow at once";
    Mouse(WM_MOUSEMOVE, right - 91, 5);
    EXPECT_EQ(Width(L"c0"), 17);
    Mouse(WM_MOUSEMOVE, right - 92, 5);
    EXPECT_EQ(Width(L"c0"), 17) << "16 is not wider than the minimum";
    Mouse(WM_LBUTTONUP, right - 92, 5);
    EXPECT_EQ(TakeLog(), "");
    Click(Item(L"c1")->GetBounds().right - 20, 5);
    EXPECT_EQ(TakeLog(), "headerclick:c1:0:0");

    // A separator at the left edge: dragging to the right narrows the column.
    const int left = Item(L"c1")->GetBounds().left;
    Drag(POINT{left + 7, 5}, POINT{left + 27, 5});
    EXPECT_EQ(Width(L"c1"), 80);
    EXPECT_EQ(TakeLog(), "");

    // Not dragable: the grab zone does nothing at all and keeps the arrow.
    const int fixedRight = Item(L"c2")->GetBounds().right;
    EXPECT_EQ(CursorAt(fixedRight - 2), UICursor::Arrow);
    Drag(POINT{fixedRight - 2, 5}, POINT{fixedRight + 30, 5});
    EXPECT_EQ(Width(L"c2"), 100);
    EXPECT_EQ(TakeLog(), "");

    // No separator: no sizing cursor, yet the 4 pixels before the edge still start a drag.
    const int lastRight = Item(L"c3")->GetBounds().right;
    EXPECT_EQ(Item(L"c3")->GetBehaviourFlags(), 0u);
    EXPECT_EQ(CursorAt(lastRight - 3), UICursor::Arrow);
    Mouse(WM_LBUTTONDOWN, lastRight - 3, 5);
    EXPECT_NE(Item(L"c3")->GetState() & CListHeaderItemUI::kStateDragging, 0u);
    Mouse(WM_LBUTTONUP, lastRight - 3, 5);
    EXPECT_EQ(TakeLog(), "");
}
