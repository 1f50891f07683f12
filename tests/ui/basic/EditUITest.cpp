#include "ui/basic/EditUI.h"

#include "BasicFixture.h"

using SkinUI::CEditUI;

namespace {

class EditUITest : public basictest::BasicControlTest {
protected:
    CEditUI* BuildEdit(std::string_view attributes = "") {
        Build(std::string(R"(<VerticalLayout><Edit name="edit" height="30" )") + std::string(attributes) +
              R"(/><Control/></VerticalLayout>)");
        CEditUI* edit = Find<CEditUI>(L"edit");
        if (edit != nullptr) edit->TakeFocus();
        m_log.clear();
        return edit;
    }
    // The x of the boundary before character `index`; moves the caret there.
    static int XOf(CEditUI* edit, int index) {
        edit->SetSelection(index, index);
        return edit->CaretX();
    }
    static std::wstring Text(CEditUI* edit) { return edit->GetCaption().ToWString(); }
    static std::wstring Selected(CEditUI* edit) { return edit->GetSelectedText().ToWString(); }
};

}  // namespace

TEST_F(EditUITest, TakesTypedLatinAndChineseTextUpToItsMaximum) {
    CEditUI* edit = BuildEdit(R"(maxchar="15")");
    Type(L"D:\\Games\\安装目录");
    EXPECT_EQ(Text(edit), L"D:\\Games\\安装目录");
    EXPECT_EQ(Count("textchanged:edit"), 13);
    // Control characters from the keyboard are not text; Backspace edits.
    Type(L"\x01\x1b\t");
    Key(VK_BACK);
    Type(L"录xyz");
    EXPECT_EQ(Text(edit), L"D:\\Games\\安装目录xy");
    // Replacing a selection may use the room it frees, but no more.
    edit->SetSelection(0, 2);
    EXPECT_FALSE(edit->ReplaceSelection(L"abc"));
    EXPECT_TRUE(edit->ReplaceSelection(L"ab"));
    EXPECT_EQ(Text(edit), L"ab\\Games\\安装目录xy");
}

TEST_F(EditUITest, SelectsWithShiftArrowsAndTheMouse) {
    CEditUI* edit = BuildEdit(R"(text="hello world")");
    Key(VK_HOME);
    for (int i = 0; i < 5; ++i)
        Key(VK_RIGHT, VK_SHIFT);
    Key(VK_LEFT, VK_SHIFT);
    EXPECT_EQ(Selected(edit), L"hell");
    const int x6 = XOf(edit, 6), x11 = XOf(edit, 11);
    Drag(POINT{x6 + 1, 15}, POINT{x11 - 1, 15});
    EXPECT_EQ(Selected(edit), L"world");
    Key('A', VK_CONTROL);
    EXPECT_EQ(Selected(edit), L"hello world");
}

TEST_F(EditUITest, CopiesCutsAndPastesThroughTheClipboard) {
    CEditUI* edit = BuildEdit(R"(text="安装 path")");
    edit->SetSelection(0, 2);
    Key('X', VK_CONTROL);
    EXPECT_EQ(Text(edit), L" path");
    Key(VK_END);
    Key('V', VK_CONTROL);
    Key('V', VK_CONTROL);
    EXPECT_EQ(Text(edit), L" path安装安装");
    // A password box keeps its text off the clipboard.
    edit->SetPasswordMode(true);
    edit->SelectAll();
    EXPECT_FALSE(edit->Copy());
    EXPECT_FALSE(edit->Cut());
    EXPECT_EQ(Text(edit), L" path安装安装");
    edit->SetPasswordMode(false);
    edit->SetSelection(1, 5);
    Key('V', VK_CONTROL);
    EXPECT_EQ(Text(edit), L" 安装安装安装") << "the clipboard still holds the cut, not the password";
    // A paste that would pass the maximum length is refused whole.
    edit->SetMaxChars(8);
    Key(VK_END);
    Key('V', VK_CONTROL);
    EXPECT_EQ(Text(edit), L" 安装安装安装");
}

TEST_F(EditUITest, PaintsTextSelectionAndCaret) {
    CEditUI* edit = BuildEdit(R"(text="WWWW" textcolor="#FF000000" selectedbkcolor="#FF0000FF" bkcolor="#FFFFFFFF")");
    const RECT box = edit->GetBounds();
    const int x2 = XOf(edit, 2);
    edit->SetSelection(0, 2);
    auto canvas = Paint();
    EXPECT_GT(basictest::PixelsNear(*canvas, box, 0xFF000000, 60), 20) << "text drawn";
    EXPECT_GT(basictest::PixelsNear(*canvas, RECT{box.left, box.top, x2, box.bottom}, 0xFF0000FF), 10);
    EXPECT_EQ(basictest::PixelsNear(*canvas, RECT{x2 + 1, box.top, box.right, box.bottom}, 0xFF0000FF), 0);
    Key(VK_END);
    const int x = edit->CaretX();
    EXPECT_GT(basictest::PixelsNear(*Paint(), RECT{x, box.top, x + 1, box.bottom}, 0xFF000000, 60), 8);
}
