#include "ui/basic/LabelUI.h"

#include "BasicFixture.h"

using SkinUI::CLabelUI;

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
        <Label height="40" text="Tarnvik" textcolor="#FFFF0000"/>
        <Label height="40" text="Tarnvik" align="right" textpadding="0,0,30,0" textcolor="#FFFF0000"/>
        <Label height="40" text="安装" align="center" valign="bottom" textcolor="#FFFF0000"/>
        <Label height="40" text="Tarnvik" textcolor="#FFFF0000" disabledtextcolor="#FF0000FF" enabled="false"/>
        <Control/>
      </VerticalLayout>)");
    EXPECT_LT(InkOf(RECT{0, 0, 400, 40}, kRed).left, 5);
    const RECT right = InkOf(RECT{0, 40, 400, 80}, kRed);
    EXPECT_GT(right.right, 360);
    EXPECT_LE(right.right, 370);
    const RECT center = InkOf(RECT{0, 80, 400, 120}, kRed);
    EXPECT_NEAR((center.left + center.right) / 2, 200, 4);
    EXPECT_GT(center.top, 90) << "bottom aligned";
    EXPECT_EQ(InkOf(RECT{0, 120, 400, 160}, kRed).right, 0) << "no red on the disabled label";
    EXPECT_GT(InkOf(RECT{0, 120, 400, 160}, 0xFF0000FF).right, 0);
}

TEST_F(LabelUITest, FieldsSetDirectlyTakeEffectOnTheNextPaint) {
    m_manager->AddFont(platform::kPinnedFontFace, 12, false, false, false);
    m_manager->AddFont(platform::kPinnedFontFace, 30, true, false, false);
    Build(R"(<VerticalLayout><Label name="tip" height="60" text="99%" font="0"/><Control/></VerticalLayout>)");
    auto* tip = Find<CLabelUI>(L"tip");
    const RECT area{0, 0, 400, 60};
    const RECT small = InkOf(area, 0xFF000000);
    tip->m_textColor = 0xFF00A000;
    tip->m_fontIndex = 1;
    tip->Repaint();
    EXPECT_EQ(InkOf(area, 0xFF000000).right, 0) << "the default colour is gone";
    const RECT big = InkOf(area, 0xFF00A000);
    EXPECT_GT(big.bottom - big.top, (small.bottom - small.top) * 3 / 2);
}

TEST_F(LabelUITest, EllipsisAndMarkupAreDrawnWhenAsked) {
    Build(R"(<VerticalLayout>
        <Label height="30" width="60" endellipsis="true" textcolor="#FF000000" text="a long install directory path"/>
        <Label height="30" showhtml="true" text="plain {c #FFFF0000}red{/c}"/>
        <Label height="30" text="plain {c #FFFF0000}red{/c}"/>
        <Control/>
      </VerticalLayout>)");
    EXPECT_LE(InkOf(RECT{0, 0, 400, 30}, 0xFF000000).right, 60);
    EXPECT_GT(InkOf(RECT{0, 30, 400, 60}, kRed).right, 0);
    EXPECT_EQ(InkOf(RECT{0, 60, 400, 90}, kRed).right, 0) << "mark-up shown as written";
}
