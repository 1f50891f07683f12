// An open combo as a person sees it: the face and the drop-down window together, compared
// with a reference picture.
#include <string>
#include <vector>

#include "ListFixture.h"
#include "platform/window/Paint.h"
#include "support/ReferenceImage.h"

namespace {

using ComboPixelTest = combotest::ComboTest;

const char kSkin[] = R"(<VerticalLayout bkcolor="#FFFFFFFF">
  <Combo name="combo" float="true" pos="20,40,160,64" bkcolor="#FFF4F4F4" bordercolor="#FF8A8A8A" bordersize="1"
         textpadding="6,0,6,0" itemtextpadding="6,0,0,0" defaulttext="Pick one">
    <ListLabelElement name="i0" text="Apple" height="22"/>
    <ListLabelElement name="i1" text="Banana" height="22"/>
    <ListLabelElement name="i2" text="Cherry" height="22"/>
    <ListLabelElement name="i3" text="Damson" height="22"/>
    <ListLabelElement name="i4" text="Elder" height="22" enabled="false"/>
  </Combo>
</VerticalLayout>)";

}  // namespace

TEST_F(ComboPixelTest, AnOpenComboShowsItsItemsUnderTheFace) {
    // The program's pinned font, so the picture does not follow the machine's default.
    m_manager->AddFont(L"WenQuanYi Micro Hei", 12, false, false, false, true);
    Build(kSkin);
    Combo()->SelectItem(1);
    Open();
    const HWND popup = DropDown()->GetHWND();
    const POINT hover = ScreenCentreOf(Item(3));
    m_display.MoveMouse(hover.x, hover.y);
    Pump();
    const RECT dropRect = DropDownRect();
    ASSERT_EQ(dropRect.bottom - dropRect.top, 5 * 22 + 4);

    // The screen from just around the face to just past the drop-down, both windows as shown.
    const RECT area{10, 30, 170, dropRect.bottom + 10};
    const auto shown = [&](int x, int y) {
        if (SkinUI::RectContains(dropRect, POINT{x, y}))
            return platform::ShownPixel(popup, x - dropRect.left, y - dropRect.top);
        return platform::ShownPixel(m_hwnd, x, y);
    };
    std::vector<uint32_t> pixels;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x)
            pixels.push_back(shown(x, y));
    }

    EXPECT_TRUE(
        testsupport::MatchesReferenceImage("ComboOpen.png", pixels, area.right - area.left, area.bottom - area.top));
    SendToDropDown(WM_KEYDOWN, VK_RETURN);
    Pump();
}
