#include "ui/basic/LabelUI.h"

#include "BasicFixture.h"

using SkinUI::CLabelUI;

namespace {

class LabelUITest : public basictest::BasicControlTest {};

// Bounding box of the label's dark pixels.
RECT InkOf(const testsupport::Canvas& canvas, const RECT& area, DWORD argb) {
    RECT ink{area.right, area.bottom, area.left, area.top};
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            if (!testsupport::PixelNear(canvas.Pixel(x, y), argb, 90)) continue;
            ink.left = std::min<LONG>(ink.left, x);
            ink.top = std::min<LONG>(ink.top, y);
            ink.right = std::max<LONG>(ink.right, x + 1);
            ink.bottom = std::max<LONG>(ink.bottom, y + 1);
        }
    }
    return ink;
}

}  // namespace

TEST_F(LabelUITest, AlignmentPaddingAndColoursPlaceTheText) {
    Build(R"(<VerticalLayout>
        <Label name="left" height="40" text="Tarnvik" textcolor="#FFFF0000" bkcolor="#FFFFFFFF"/>
        <Label name="right" height="40" text="Tarnvik" align="right" textpadding="0,0,30,0" textcolor="#FFFF0000"
               bkcolor="#FFFFFFFF"/>
        <Label name="center" height="40" text="安装" align="center" valign="bottom" textcolor="#FFFF0000"
               bkcolor="#FFFFFFFF"/>
        <Label name="off" height="40" text="Tarnvik" textcolor="#FFFF0000" disabledtextcolor="#FF0000FF"
               bkcolor="#FFFFFFFF" enabled="false"/>
        <Control/>
      </VerticalLayout>)");
    auto canvas = Paint();
    const RECT left = InkOf(*canvas, RECT{0, 0, 400, 40}, 0xFFFF0000);
    EXPECT_LT(left.left, 5);
    const RECT right = InkOf(*canvas, RECT{0, 40, 400, 80}, 0xFFFF0000);
    EXPECT_GT(right.right, 360);
    EXPECT_LE(right.right, 370);
    const RECT center = InkOf(*canvas, RECT{0, 80, 400, 120}, 0xFFFF0000);
    EXPECT_NEAR((center.left + center.right) / 2, 200, 4);
    EXPECT_GT(center.top, 90) << "bottom aligned";
    EXPECT_EQ(basictest::PixelsNear(*canvas, RECT{0, 120, 400, 160}, 0xFFFF0000, 90), 0);
    EXPECT_GT(basictest::PixelsNear(*canvas, RECT{0, 120, 400, 160}, 0xFF0000FF, 90), 10);
}

TEST_F(LabelUITest, FieldsSetDirectlyTakeEffectOnTheNextPaint) {
    m_manager->AddFont(platform::kPinnedFontFace, 12, false, false, false);
    m_manager->AddFont(platform::kPinnedFontFace, 30, true, false, false);
    Build(R"(<VerticalLayout><Label name="tip" height="60" text="99%" font="0"/><Control/></VerticalLayout>)");
    auto* tip = Find<CLabelUI>(L"tip");
    const RECT area{0, 0, 400, 60};
    const RECT small = InkOf(*Paint(), area, 0xFF000000);
    tip->m_textColor = 0xFF00A000;
    tip->m_fontIndex = 1;
    tip->Repaint();
    auto canvas = Paint();
    EXPECT_EQ(basictest::PixelsNear(*canvas, area, 0xFF000000, 60), 0) << "the default colour is gone";
    const RECT big = InkOf(*canvas, area, 0xFF00A000);
    EXPECT_GT(big.bottom - big.top, (small.bottom - small.top) * 3 / 2);
}

TEST_F(LabelUITest, EllipsisAndMarkupAreDrawnWhenAsked) {
    Build(R"(<VerticalLayout>
        <Label name="cut" height="30" width="60" endellipsis="true" textcolor="#FF000000"
               text="a long install directory path"/>
        <Label name="marked" height="30" showhtml="true" text="plain {c #FFFF0000}red{/c}"/>
        <Label name="raw" height="30" text="plain {c #FFFF0000}red{/c}"/>
        <Control/>
      </VerticalLayout>)");
    auto canvas = Paint();
    EXPECT_LE(InkOf(*canvas, RECT{0, 0, 400, 30}, 0xFF000000).right, 60);
    EXPECT_GT(basictest::PixelsNear(*canvas, RECT{0, 30, 400, 60}, 0xFFFF0000, 90), 5);
    EXPECT_EQ(basictest::PixelsNear(*canvas, RECT{0, 60, 400, 90}, 0xFFFF0000, 90), 0) << "mark-up shown as written";
}
