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
    // The x of the boundary before character `index`.
    int XOf(CEditUI* edit, int index) {
        int start = 0;
        int end = 0;
        edit->GetSelection(&start, &end);
        const int caret = edit->GetCaretIndex();
        edit->SetSelection(index, index);
        const int x = edit->CaretX();
        edit->SetSelection(caret == end ? start : end, caret);
        return x;
    }
    std::wstring Text(CEditUI* edit) { return edit->GetCaption().ToWString(); }
    std::wstring Selected(CEditUI* edit) { return edit->GetSelectedText().ToWString(); }
};

}  // namespace

TEST_F(EditUITest, TakesTypedLatinAndChineseText) {
    CEditUI* edit = BuildEdit();
    Type(L"D:\\Games\\");
    Type(L"安装目录");
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
    // Typing replaces a selection; SetCaption raises "textchanged" once and puts the caret at the end.
    Chord(VK_SHIFT, VK_END);
    Type(L"x");
    EXPECT_EQ(Text(edit), L"x");
    m_log.clear();
    edit->SetCaption(L"C:\\QuorvelTarnvik");
    edit->SetCaption(L"C:\\QuorvelTarnvik");
    EXPECT_EQ(m_log, std::vector<std::string>{"textchanged:edit"});
    EXPECT_EQ(edit->GetCaretIndex(), 17);
    // Return is reported, and does not change the text.
    m_log.clear();
    Key(VK_RETURN);
    EXPECT_EQ(m_log, std::vector<std::string>{"return:edit"});
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
    {
        SCOPED_TRACE("disabled");
        CEditUI* edit = BuildEdit(R"(text="keep")");
        edit->SetUsable(false);
        Type(L"x");
        EXPECT_EQ(Text(edit), L"keep");
    }
}

TEST_F(EditUITest, SelectsWithShiftArrowsAndTheMouse) {
    CEditUI* edit = BuildEdit(R"(text="hello world")");
    {
        // Shift with the arrows grows and shrinks the selection from the anchor.
        Key(VK_HOME);
        for (int i = 0; i < 5; ++i)
            Chord(VK_SHIFT, VK_RIGHT);
        EXPECT_EQ(Selected(edit), L"hello");
        Chord(VK_SHIFT, VK_LEFT);
        EXPECT_EQ(Selected(edit), L"hell");
        // An arrow without Shift collapses the selection to its edge.
        Key(VK_RIGHT);
        EXPECT_EQ(Selected(edit), L"");
        EXPECT_EQ(edit->GetCaretIndex(), 4);
        Chord(VK_SHIFT, VK_END);
        EXPECT_EQ(Selected(edit), L"o world");
        Key(VK_BACK);
        EXPECT_EQ(Text(edit), L"hell");
    }
    {
        // Dragging across characters selects them; a click places the caret.
        edit->SetCaption(L"hello world");
        const int y = 15;
        Drag(POINT{XOf(edit, 6) + 1, y}, POINT{XOf(edit, 11) - 1, y});
        EXPECT_EQ(Selected(edit), L"world");
        Click(XOf(edit, 2), y);
        EXPECT_EQ(Selected(edit), L"");
        EXPECT_EQ(edit->GetCaretIndex(), 2);
        // Shift with a click extends from the caret.
        Mouse(WM_LBUTTONDOWN, XOf(edit, 5), y, MK_LBUTTON | MK_SHIFT);
        Mouse(WM_LBUTTONUP, XOf(edit, 5), y);
        EXPECT_EQ(Selected(edit), L"llo");
        Send(WM_KEYDOWN, VK_CONTROL);
        Key('A');
        Send(WM_KEYUP, VK_CONTROL);
        EXPECT_EQ(Selected(edit), L"hello world");
    }
}

TEST_F(EditUITest, CopiesCutsAndPastesThroughTheClipboard) {
    CEditUI* edit = BuildEdit(R"(text="安装 path")");
    edit->SetSelection(0, 2);
    ASSERT_TRUE(edit->Copy());
    Chord(VK_CONTROL, 'X');
    EXPECT_EQ(Text(edit), L" path");
    Key(VK_END);
    Chord(VK_CONTROL, 'V');
    Chord(VK_CONTROL, 'V');
    EXPECT_EQ(Text(edit), L" path安装安装");
    // A password box keeps its text off the clipboard.
    edit->SetPasswordMode(true);
    edit->SelectAll();
    EXPECT_FALSE(edit->Copy());
    EXPECT_FALSE(edit->Cut());
    EXPECT_EQ(Text(edit), L" path安装安装");
    // A paste that would pass the maximum length is refused whole.
    edit->SetPasswordMode(false);
    edit->SetMaxChars(9);
    Key(VK_END);
    Chord(VK_CONTROL, 'V');
    EXPECT_EQ(Text(edit), L" path安装安装");
}

TEST_F(EditUITest, PaintsTextSelectionAndCaret) {
    CEditUI* edit = BuildEdit(R"(text="WWWW" textcolor="#FF000000" selectedbkcolor="#FF0000FF" bkcolor="#FFFFFFFF")");
    const RECT box = edit->GetBounds();
    {
        auto canvas = Paint();
        EXPECT_GT(basictest::PixelsNear(*canvas, box, 0xFF000000, 60), 20) << "text drawn";
        EXPECT_EQ(basictest::PixelsNear(*canvas, box, 0xFF0000FF), 0) << "no selection yet";
    }
    {
        edit->SetSelection(0, 2);
        auto canvas = Paint();
        const RECT selection{XOf(edit, 0), box.top, XOf(edit, 2), box.bottom};
        EXPECT_GT(basictest::PixelsNear(*canvas, selection, 0xFF0000FF), 10);
        const RECT rest{XOf(edit, 2) + 1, box.top, box.right, box.bottom};
        EXPECT_EQ(basictest::PixelsNear(*canvas, rest, 0xFF0000FF), 0);
    }
    {
        // The caret is a line at its position; in password mode the text is masked.
        Key(VK_END);
        const int x = edit->CaretX();
        auto canvas = Paint();
        EXPECT_GT(basictest::PixelsNear(*canvas, RECT{x, box.top, x + 1, box.bottom}, 0xFF000000, 60), 8);
        edit->SetPasswordMode(true);
        EXPECT_NE(XOf(edit, 4), x) << "measured as '*' characters";
    }
}

TEST_F(EditUITest, KeepsTheCaretInViewWhenTheTextIsWide) {
    CEditUI* edit = BuildEdit();
    Type(std::wstring(60, L'W'));
    const RECT box = edit->GetBounds();
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
    m_display.KeyDown(VK_LEFT);
    m_display.KeyUp(VK_LEFT);
    m_display.KeyDown(VK_LEFT);
    m_display.KeyUp(VK_LEFT);
    m_display.KeyUp(VK_SHIFT);
    settle();
    EXPECT_EQ(Selected(edit), L"安装");
    m_display.TypeText("x");
    settle();
    EXPECT_EQ(Text(edit), L"D:\\x");
}
