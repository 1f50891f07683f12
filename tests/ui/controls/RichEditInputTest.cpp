// The rich edit driven the way a user drives it: keys, typed text and the mouse through the
// display, into a window whose loop pre-translates as the program's does.
#include <cstdint>
#include <vector>

#include "RichEditFixture.h"
#include "support/ReferenceImage.h"

using SkinUI::CRichEditUI;

namespace {

class RichEditInputTest : public richedittest::RichEditTest {};

}  // namespace

TEST_F(RichEditInputTest, TypesChineseAndEmojiSelectsCopiesAndPastes) {
    CRichEditUI* edit = BuildEdit(R"(bkcolor="#FFFFFFFF")");
    ClickAt(POINT{40, 40});
    ASSERT_EQ(m_manager->GetFocusControl(), edit);
    TypeText("安装 Tarnvik 😀");
    EXPECT_EQ(Text(edit), L"安装 Tarnvik 😀");
    EXPECT_EQ(edit->GetTextLength(), 12) << "the emoji is one character";

    // Shift+arrows select, Ctrl+C and Ctrl+V copy and paste.
    PressKey(VK_LEFT, VK_SHIFT);
    PressKey(VK_LEFT, VK_SHIFT);
    EXPECT_EQ(Selected(edit), L" 😀");
    PressKey('C', VK_CONTROL);
    PressKey(VK_END);
    PressKey('V', VK_CONTROL);
    EXPECT_EQ(Text(edit), L"安装 Tarnvik 😀 😀");

    // The mouse selects by dragging; Ctrl+X cuts; Enter starts a paragraph.
    DragFromTo(PointOf(edit, 0), PointOf(edit, 2));
    EXPECT_EQ(Selected(edit), L"安装");
    PressKey('X', VK_CONTROL);
    EXPECT_EQ(Text(edit), L" Tarnvik 😀 😀");
    PressKey(VK_END, VK_CONTROL);
    PressKey(VK_RETURN);
    PressKey('V', VK_CONTROL);
    EXPECT_EQ(Text(edit), L" Tarnvik 😀 😀\r安装");

    // Shift+Up reaches back into the first paragraph; Ctrl+Z undoes the paste.
    PressKey(VK_UP, VK_SHIFT);
    EXPECT_EQ(Selected(edit).back(), L'装');
    EXPECT_GT(Selected(edit).size(), 3u);
    PressKey(VK_RIGHT);
    PressKey('Z', VK_CONTROL);
    EXPECT_EQ(Text(edit), L" Tarnvik 😀 😀\r");
    PressKey('Y', VK_CONTROL);
    EXPECT_EQ(Text(edit), L" Tarnvik 😀 😀\r安装");
}

TEST_F(RichEditInputTest, AMultiLineSelectionLooksLikeTheReference) {
    Build(R"(<VerticalLayout bkcolor="#FFF0F0F0" inset="20,20,20,20">)"
          R"(<RichEdit name="re" height="150" inset="6,6,6,6" bkcolor="#FFFFFFFF" bordersize="1")"
          R"( bordercolor="#FF808080" textcolor="#FF203040"/><Control/></VerticalLayout>)");
    auto* edit = Find<CRichEditUI>(L"re");
    ASSERT_NE(edit, nullptr);
    edit->SetCaption(
        L"Tarnvik 客户端安装程序会把游戏下载到所选目录，然后自动完成安装。\r"
        L"Second paragraph: the selection starts above and ends here.\r"
        L"第三段");
    edit->TakeFocus();
    edit->SetSelection(20, 45);
    Pump();
    auto canvas = Paint();
    std::vector<uint32_t> pixels;
    for (int y = 0; y < canvas->Height(); ++y) {
        for (int x = 0; x < canvas->Width(); ++x)
            pixels.push_back(canvas->Pixel(x, y));
    }
    // Strict enough that two characters more or less in the selection fail.
    EXPECT_TRUE(testsupport::MatchesReferenceImage("RichEditSelection.png", pixels, canvas->Width(), canvas->Height(),
                                                   testsupport::ImageTolerance{32, 0.0005}));
}
