#include "ui/basic/ScrollBarUI.h"

#include <chrono>

#include "BasicFixture.h"
#include "support/MessagePump.h"
#include "ui/core/VerticalLayoutUI.h"

using SkinUI::CScrollBarUI;
using SkinUI::CVerticalLayoutUI;

namespace {

class ScrollBarUITest : public basictest::BasicControlTest {
protected:
    // Five rows of 40 in a list 100 high: 100 pixels to scroll.
    void BuildList() {
        Build(R"(<VerticalLayout>
            <VerticalLayout name="list" vscrollbar="true" height="100">
              <Control height="40"/><Control height="40"/><Control height="40"/>
              <Control height="40"/><Control height="40"/>
            </VerticalLayout>
            <Control/>
          </VerticalLayout>)");
        m_list = Find<CVerticalLayoutUI>(L"list");
        ASSERT_NE(m_list, nullptr);
        m_bar = m_list->GetVScrollBar();
        ASSERT_NE(m_bar, nullptr);
    }
    int Offset() const { return m_list->GetScrollOffset().cy; }

    CVerticalLayoutUI* m_list = nullptr;
    CScrollBarUI* m_bar = nullptr;
};

}  // namespace

TEST_F(ScrollBarUITest, ExtentAndOffsetClampAndMoveTheThumb) {
    Build(R"(<HorizontalLayout><ScrollBar name="bar" width="16" height="100"/><Control/></HorizontalLayout>)");
    auto* bar = Find<CScrollBarUI>(L"bar");
    // Arrows of 16 at both ends leave a track of 68 from y 16.
    const struct {
        const char* step;
        int extent, offset, expectedExtent, expectedOffset;
    } cases[] = {
        {"negative range", -5, 0, 0, 0},
        {"offset without a range", 0, 30, 0, 0},
        {"offset past the range", 100, 150, 100, 100},
        {"negative offset", 100, -3, 100, 0},
        {"a small range, the offset past it", 10, 40, 10, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.step);
        bar->SetExtent(c.extent);
        bar->SetOffset(c.offset);
        EXPECT_EQ(bar->GetExtent(), c.expectedExtent);
        EXPECT_EQ(bar->GetOffset(), c.expectedOffset);
    }
    // Range 10 on a bar 100 long: the thumb is 68 * 100 / 110 long and sits at the end.
    EXPECT_EQ(bar->ThumbRect().bottom, 84);
    EXPECT_EQ(bar->ThumbRect().bottom - bar->ThumbRect().top, 61);
    bar->SetOffset(0);
    EXPECT_EQ(bar->ThumbRect().top, 16);
    // Without an owner the arrows move the bar itself, by its line size.
    Click(8, 95);
    EXPECT_EQ(bar->GetOffset(), 8);
}

TEST_F(ScrollBarUITest, ContainerBarFollowsTheContentAndScrollsItsOwner) {
    BuildList();
    EXPECT_EQ(m_bar->GetExtent(), 100);
    EXPECT_EQ(m_manager->ControlAtPoint(390, 50), m_bar);
    const int line = m_manager->DefaultFontHeight() + 8;
    // The lower arrow scrolls a line, the rail below the thumb a page.
    Click(392, 95);
    EXPECT_EQ(Offset(), line);
    EXPECT_EQ(m_bar->GetOffset(), line);
    Click(392, 80);
    EXPECT_EQ(Offset(), 100);
    EXPECT_EQ(m_list->GetChildAt(4)->GetBounds().bottom, 100);
    // Dragging the thumb back up past the top.
    const RECT thumb = m_bar->ThumbRect();
    const int middle = (thumb.top + thumb.bottom) / 2;
    Drag(POINT{392, middle}, POINT{392, middle - 200});
    EXPECT_EQ(Offset(), 0);
    EXPECT_EQ(m_bar->ThumbRect().top, 16);
    // The wheel over the bar and scrolling by the container both move the bar.
    Mouse(WM_MOUSEMOVE, 392, 50);
    Send(WM_MOUSEWHEEL, static_cast<WPARAM>(static_cast<DWORD>(-120) << 16));
    EXPECT_EQ(Offset(), line);
    m_list->ScrollToBottom();
    EXPECT_EQ(m_bar->GetOffset(), 100);
    // When everything fits, the bar goes and the rows get its width back.
    m_list->SetPresetHeight(250);
    m_manager->UpdateLayout();
    EXPECT_FALSE(m_bar->IsShown());
    EXPECT_EQ(Offset(), 0);
    EXPECT_EQ(m_list->GetChildAt(0)->GetBounds().right, 400);
    // Turning the bar off deletes it; the manager forgets it.
    m_list->ApplyAttribute(L"vscrollbar", L"false");
    EXPECT_EQ(m_list->GetVScrollBar(), nullptr);
    m_manager->UpdateLayout();
    Click(392, 50);
}

TEST_F(ScrollBarUITest, StyleAppliesToTheBarAndThePaintShowsIt) {
    UseImages({{"thumb", 0xFF00FF00}, {"arrow", 0xFFFF0000}});
    Build(R"(<VerticalLayout>
        <VerticalLayout name="list" height="100" vscrollbar="true"
            vscrollbarstyle="width=&quot;10&quot; thumbnormalimage=&quot;thumb.png&quot; button1normalimage=&quot;arrow.png&quot; showbutton2=&quot;false&quot;">
          <Control height="300"/>
        </VerticalLayout>
        <Control/>
      </VerticalLayout>)");
    EXPECT_EQ(Find<CVerticalLayoutUI>(L"list")->GetVScrollBar()->Button2Rect().bottom, 0);
    auto canvas = Paint();
    EXPECT_TRUE(testsupport::PixelNear(canvas->Pixel(395, 5), 0xFFFF0000));
    EXPECT_TRUE(testsupport::PixelNear(canvas->Pixel(395, 15), 0xFF00FF00));
    EXPECT_FALSE(testsupport::PixelNear(canvas->Pixel(395, 95), 0xFF00FF00));
    EXPECT_FALSE(testsupport::PixelNear(canvas->Pixel(385, 15), 0xFF00FF00));
}

TEST_F(ScrollBarUITest, HoldingAnArrowRepeatsUntilReleased) {
    BuildList();
    const int line = m_manager->DefaultFontHeight() + 8;
    m_display.MoveMouse(392, 95);
    m_display.PressButton(platform::RawInput::Button::Left);
    EXPECT_TRUE(testsupport::PumpMessagesUntil([&] { return Offset() >= 2 * line; }, std::chrono::seconds(3)));
    m_display.ReleaseButton(platform::RawInput::Button::Left);
    testsupport::PumpMessagesFor(std::chrono::milliseconds(20));
    const int released = Offset();
    testsupport::PumpMessagesFor(std::chrono::milliseconds(3 * CScrollBarUI::kRepeatIntervalMs));
    EXPECT_EQ(Offset(), released) << "no steps after the release";
}

TEST_F(ScrollBarUITest, HorizontalBarLiesAlongTheBottomAndScrollsSideways) {
    Build(R"(<VerticalLayout>
        <HorizontalLayout name="row" hscrollbar="true" height="60">
          <Control name="c0" width="200"/><Control width="200"/><Control width="200"/>
        </HorizontalLayout>
        <Control/>
      </VerticalLayout>)");
    auto* row = Find<SkinUI::CContainerUI>(L"row");
    CScrollBarUI* bar = row->GetHScrollBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->GetExtent(), 200);
    EXPECT_EQ(bar->GetBounds().top, 44);
    EXPECT_EQ(m_manager->ControlByName(L"c0")->GetBounds().bottom, 44) << "the rows stop above the bar";
    Click(395, 52);
    EXPECT_EQ(row->GetScrollOffset().cx, m_manager->DefaultFontHeight() + 8);
    EXPECT_EQ(m_manager->ControlByName(L"c0")->GetBounds().left, -row->GetScrollOffset().cx);
}
