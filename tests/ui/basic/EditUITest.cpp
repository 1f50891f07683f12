#include "ui/basic/EditUI.h"

#include <chrono>

#include "BasicFixture.h"
#include "support/MessagePump.h"

using SkinUI::CEditUI;

namespace {

class EditUITest : public basictest::BasicControlTest {
protected:
    CEditUI* BuildEdit(std::string_view attributes = "") {
        Build(std::string(R"(<VerticalLayout><Edit name="edit" height="30" )") + std::string(attributes) +
              R"(/><Button name="next" height="30"/><Control/></VerticalLayout>)");
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

TEST_F(EditUITest, TakesTypedLatinAndChineseText) {
    CEditUI* edit = BuildEdit();
    Type(L"D:\\Games\\安装目录");
    EXPECT_EQ(Text(edit), L"D:\\Games\\安装目录");
    EXPECT_EQ(edit->GetCaretIndex(), 13);
    EXPECT_EQ(Count("textchanged:edit"), 13);
    // Control characters from the keyboard are not text; Backspace and Delete edit.
    m_log.clear();
    Type(L"\x01\x1b\t");
    Key(VK_BACK);
    Key(VK_HOME);
    Key(VK_DELETE);
    EXPECT_EQ(Text(edit), L":\\Games\\安装目");
    EXPECT_EQ(Count("textchanged:edit"), 2);
    // Typing replaces a selection; an unchanged SetCaption raises nothing.
    Key(VK_END, VK_SHIFT);
    Type(L"x");
    EXPECT_EQ(Text(edit), L"x");
    m_log.clear();
    edit->SetCaption(L"C:\\QuorvelTarnvik");
    edit->SetCaption(L"C:\\QuorvelTarnvik");
    Key(VK_RETURN);
    EXPECT_EQ(m_log, (std::vector<std::string>{"textchanged:edit", "return:edit"}));
    EXPECT_EQ(Text(edit), L"C:\\QuorvelTarnvik");
    EXPECT_EQ(edit->GetCaretIndex(), 17);
}

TEST_F(EditUITest, RefusesWhatBreaksItsLimitsAndModes) {
    {
        SCOPED_TRACE("maximum length");
        CEditUI* edit = BuildEdit(R"(maxchar="5")");
        Type(L"123456");
        EXPECT_EQ(Text(edit), L"12345");
        // Replacing a selection may use the room it frees, but no more.
        edit->SetSelection(1, 3);
        EXPECT_FALSE(edit->ReplaceSelection(L"abc"));
        EXPECT_TRUE(edit->ReplaceSelection(L"ab"));
        EXPECT_EQ(Text(edit), L"1ab45");
    }
    {
        SCOPED_TRACE("digits only");
        CEditUI* edit = BuildEdit(R"(numberonly="true")");
        Type(L"1a2-3");
        EXPECT_EQ(Text(edit), L"123");
    }
    {
        SCOPED_TRACE("read only");
        CEditUI* edit = BuildEdit(R"(readonly="true" text="keep")");
        Type(L"x");
        Key(VK_BACK);
        EXPECT_EQ(Text(edit), L"keep");
        EXPECT_EQ(m_log, std::vector<std::string>{});
    }
}

TEST_F(EditUITest, SelectsWithShiftArrowsAndTheMouse) {
    CEditUI* edit = BuildEdit(R"(text="hello world")");
    Key(VK_HOME);
    for (int i = 0; i < 5; ++i)
        Key(VK_RIGHT, VK_SHIFT);
    Key(VK_LEFT, VK_SHIFT);
    EXPECT_EQ(Selected(edit), L"hell");
    // An arrow without Shift collapses the selection to its edge.
    Key(VK_RIGHT);
    EXPECT_EQ(Selected(edit), L"");
    EXPECT_EQ(edit->GetCaretIndex(), 4);

    // Dragging across characters selects them; a click places the caret; Shift-click extends.
    const int x2 = XOf(edit, 2), x5 = XOf(edit, 5), x6 = XOf(edit, 6), x11 = XOf(edit, 11);
    Drag(POINT{x6 + 1, 15}, POINT{x11 - 1, 15});
    EXPECT_EQ(Selected(edit), L"world");
    Click(x2, 15);
    EXPECT_EQ(Selected(edit), L"");
    Mouse(WM_LBUTTONDOWN, x5, 15, MK_LBUTTON | MK_SHIFT);
    Mouse(WM_LBUTTONUP, x5, 15);
    EXPECT_EQ(Selected(edit), L"llo");
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

TEST_F(EditUITest, PaintsTextSelectionAndCaretInView) {
    CEditUI* edit = BuildEdit(R"(text="WWWW" textcolor="#FF000000" selectedbkcolor="#FF0000FF" bkcolor="#FFFFFFFF")");
    const RECT box = edit->GetBounds();
    EXPECT_EQ(basictest::PixelsNear(*Paint(), box, 0xFF0000FF), 0) << "no selection yet";
    const int x2 = XOf(edit, 2);
    edit->SetSelection(0, 2);
    {
        auto canvas = Paint();
        EXPECT_GT(basictest::PixelsNear(*canvas, box, 0xFF000000, 60), 20) << "text drawn";
        EXPECT_GT(basictest::PixelsNear(*canvas, RECT{box.left, box.top, x2, box.bottom}, 0xFF0000FF), 10);
        EXPECT_EQ(basictest::PixelsNear(*canvas, RECT{x2 + 1, box.top, box.right, box.bottom}, 0xFF0000FF), 0);
    }
    // The caret is a line at its position, kept in view when the text is wider than the box.
    Key(VK_END);
    const int x = edit->CaretX();
    EXPECT_GT(basictest::PixelsNear(*Paint(), RECT{x, box.top, x + 1, box.bottom}, 0xFF000000, 60), 8);
    Type(std::wstring(60, L'W'));
    EXPECT_LT(edit->CaretX(), box.right);
    EXPECT_GE(edit->CaretX(), box.left);
    Key(VK_HOME);
    EXPECT_EQ(edit->CaretX(), box.left + 2);
}

TEST_F(EditUITest, TakesInputFromTheDisplayLikeASession) {
    CEditUI* edit = BuildEdit();
    auto settle = [] { testsupport::PumpMessagesFor(std::chrono::milliseconds(10)); };
    m_display.Click(20, 15);
    settle();
    m_display.TypeText("D:\\安装");
    settle();
    EXPECT_EQ(Text(edit), L"D:\\安装");
    // Shift held on the keyboard, the arrows pressed after it.
    m_display.KeyDown(VK_SHIFT);
    for (int i = 0; i < 2; ++i) {
        m_display.KeyDown(VK_LEFT);
        m_display.KeyUp(VK_LEFT);
    }
    m_display.KeyUp(VK_SHIFT);
    settle();
    EXPECT_EQ(Selected(edit), L"安装");
    m_display.TypeText("x");
    settle();
    EXPECT_EQ(Text(edit), L"D:\\x");
}
