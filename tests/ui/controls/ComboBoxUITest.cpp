#include "ui/controls/ComboBoxUI.h"

#include <string>
#include <vector>

#include "ListFixture.h"
#include "support/PngBytes.h"
#include "support/StoredZip.h"

using basictest::PixelsNear;
using combotest::ComboSkin;
using combotest::Items;
using SkinUI::CComboBoxUI;

namespace {

// The strip's pictures in its order: normal, hot, pushed, focused, disabled. It is 52 pixels
// wide, so each picture is 10 wide and the last 2 columns (cyan) are never shown.
constexpr DWORD kNormal = 0xFFFF0000;
constexpr DWORD kHot = 0xFF00FF00;
constexpr DWORD kPushed = 0xFF0000FF;
constexpr DWORD kFocused = 0xFFFFFF00;
constexpr DWORD kDisabled = 0xFFFF00FF;
constexpr DWORD kUnused = 0xFF00FFFF;

std::vector<uint8_t> Strip() {
    const DWORD parts[] = {kNormal, kHot, kPushed, kFocused, kDisabled};
    std::vector<uint32_t> pixels;
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 52; ++x)
            pixels.push_back(x < 50 ? parts[x / 10] : kUnused);
    }
    return testsupport::PngBytes(52, 10, pixels);
}

class ComboBoxUITest : public combotest::ComboTest {
protected:
    void SetUp() override {
        combotest::ComboTest::SetUp();
        m_zip = SkinUI::CSkinZip::Open(testsupport::StoredZip({{"arrow.png", Strip()}}));
        ASSERT_TRUE(m_zip);
        m_manager->SetSkinArchive(m_zip.get());
    }
    CComboBoxUI* Box() { return Find<CComboBoxUI>(L"combo"); }
    // The colour in the middle of the arrow, which sits at 128..138 x 42..62 (the combo is at
    // 20..140 x 40..64 with a border of 2).
    DWORD ArrowColour() {
        m_manager->UpdateLayout();
        return Paint()->Pixel(133, 52);
    }
};

const char kArrow[] = "arrowimage=\"file='arrow.png' source='0,0,52,10'\" bordersize=\"2\" bordercolor=\"#FF000000\"";

}  // namespace

TEST_F(ComboBoxUITest, TheArrowShowsThePictureOfTheState) {
    Build(ComboSkin(Items(2), kArrow, "ComboBox"));
    // Inside the border, 10 pixels wide (52 / 5), the strip's unused columns never shown.
    auto canvas = Paint();
    EXPECT_EQ(PixelsNear(*canvas, RECT{128, 42, 138, 62}, kNormal, 8), 200);
    EXPECT_EQ(PixelsNear(*canvas, RECT{138, 40, 140, 64}, 0xFF000000, 8), 48) << "the border";
    EXPECT_EQ(PixelsNear(*canvas, RECT{126, 42, 128, 62}, kNormal, 8), 0);
    EXPECT_EQ(PixelsNear(*canvas, RECT{20, 40, 140, 64}, kUnused, 8), 0);

    // Hot over focused; pushed while the drop-down is open; focused alone; disabled over all.
    Mouse(WM_MOUSEMOVE, 30, 50);
    Box()->TakeFocus();
    EXPECT_TRUE(testsupport::PixelNear(ArrowColour(), kHot));
    Mouse(WM_LBUTTONDOWN, 30, 50, MK_LBUTTON);
    ASSERT_NE(DropDown(), nullptr);
    EXPECT_TRUE(testsupport::PixelNear(ArrowColour(), kPushed));
    SendToDropDown(WM_KEYDOWN, VK_RETURN);
    Pump();
    Mouse(WM_MOUSEMOVE, 300, 200);
    ASSERT_TRUE(Box()->HasFocus());
    EXPECT_TRUE(testsupport::PixelNear(ArrowColour(), kFocused));
    Box()->SetUsable(false);
    Mouse(WM_MOUSEMOVE, 30, 50);
    EXPECT_TRUE(testsupport::PixelNear(ArrowColour(), kDisabled));
}
