#include "ui/basic/LabelUI.h"

#include "BasicFixture.h"

namespace {

class LabelUITest : public basictest::BasicControlTest {
protected:
    // Bounding box of the pixels near `argb` in `area` of a fresh paint.
    RECT InkOf(const RECT& area, DWORD argb) {
        auto canvas = Paint();
        RECT ink{area.right, area.bottom, area.left, area.top};
        for (int y = area.top; y < area.bottom; ++y) {
            for (int x = area.left; x < area.right; ++x) {
                if (!testsupport::PixelNear(canvas->Pixel(x, y), argb, 90)) continue;
                ink = RECT{std::min<LONG>(ink.left, x), std::min<LONG>(ink.top, y), std::max<LONG>(ink.right, x + 1),
                           std::max<LONG>(ink.bottom, y + 1)};
            }
        }
        return ink;
    }
};

constexpr DWORD kRed = 0xFFFF0000;

}  // namespace

TEST_F(LabelUITest, AlignmentPaddingAndColoursPlaceTheText) {
    Build(R"(<VerticalLayout>
        <Label height="40" text="Tarnvik" align="right" textpadding="0,0,30,0" textcolor="#FFFF0000"/>
        <Label height="40" text="安装" align="center" valign="bottom" textcolor="#FFFF0000"/>
        <Label height="40" text="Tarnvik" textcolor="#FFFF0000" disabledtextcolor="#FF0000FF" enabled="false"/>
        <Control/>
      </VerticalLayout>)");
    const RECT right = InkOf(RECT{0, 0, 400, 40}, kRed);
    EXPECT_GT(right.right, 360);
    EXPECT_LE(right.right, 370);
    const RECT center = InkOf(RECT{0, 40, 400, 80}, kRed);
    EXPECT_NEAR((center.left + center.right) / 2, 200, 4);
    EXPECT_GT(center.top, 50) << "bottom aligned";
    EXPECT_EQ(InkOf(RECT{0, 80, 400, 120}, kRed).right, 0) << "no red on the disabled label";
    EXPECT_GT(InkOf(RECT{0, 80, 400, 120}, 0xFF0000FF).right, 0);
}
