#include "ui/controls/RichEditUI.h"

#include <functional>

#include "RichEditFixture.h"
#include "platform/window/Caret.h"
#include "ui/basic/ScrollBarUI.h"

using SkinUI::CRichEditUI;
using SkinUI::CTxtWinHost;

namespace {

// An object that is not text services: it answers only IUnknown.
class NotTextServices final : public IUnknown {
public:
    HRESULT QueryInterface(REFIID iid, void** object) noexcept override {
        *object = nullptr;
        if (!(iid == IID_IUnknown)) return E_NOINTERFACE;
        AddRef();
        *object = this;
        return S_OK;
    }
    ULONG AddRef() noexcept override { return ++m_references; }
    ULONG Release() noexcept override {
        const ULONG left = --m_references;
        if (left == 0) delete this;
        return left;
    }

private:
    ULONG m_references = 1;
};

HRESULT FailingCreate(IUnknown*, ITextHost*, IUnknown** unknown) {
    *unknown = nullptr;
    return E_OUTOFMEMORY;
}

HRESULT WrongObjectCreate(IUnknown*, ITextHost*, IUnknown** unknown) {
    *unknown = new NotTextServices();
    return S_OK;
}

int Nothing() {
    return 0;
}

class RichEditUITest : public richedittest::RichEditTest {
protected:
    DWORD Bits(CRichEditUI* edit) {
        DWORD bits = 0;
        edit->GetTextHost()->TxGetPropertyBits(0xFFFFFFFF, &bits);
        return bits;
    }
    DWORD ScrollBars(CRichEditUI* edit) {
        DWORD bars = 0;
        edit->GetTextHost()->TxGetScrollBars(&bars);
        return bars;
    }
    const PARAFORMAT2& Para(CRichEditUI* edit) {
        const PARAFORMAT2* format = nullptr;
        edit->GetTextHost()->TxGetParaFormat(&format);
        return *format;
    }
    DWORD MaxLength(CRichEditUI* edit) {
        DWORD length = 0;
        edit->GetTextHost()->TxGetMaxLength(&length);
        return length;
    }
};

}  // namespace

TEST_F(RichEditUITest, AttributesBecomeStyleBitsPropertyBitsAndFormats) {
    m_manager->AddFont(L"WenQuanYi Micro Hei", 16, true, false, false);
    const struct {
        const char* attributes;
        std::function<void(CRichEditUI*)> check;
    } cases[] = {
        {R"(vscrollbar="true")",
         [&](CRichEditUI* edit) {
             EXPECT_EQ(edit->GetStyle() & (WS_VSCROLL | ES_DISABLENOSCROLL), WS_VSCROLL | ES_DISABLENOSCROLL);
             EXPECT_NE(edit->GetVScrollBar(), nullptr);
             EXPECT_EQ(ScrollBars(edit) & (WS_VSCROLL | ES_DISABLENOSCROLL), WS_VSCROLL | ES_DISABLENOSCROLL);
         }},
        {R"(vscrollbar="false" hscrollbar="yes")",
         [&](CRichEditUI* edit) {
             EXPECT_EQ(edit->GetStyle() & (WS_VSCROLL | WS_HSCROLL | ES_DISABLENOSCROLL), 0u);
             EXPECT_EQ(edit->GetVScrollBar(), nullptr);
             EXPECT_EQ(edit->GetHScrollBar(), nullptr);
             EXPECT_NE(Bits(edit) & TXTBIT_WORDWRAP, 0u) << "lines wrap without a horizontal bar";
         }},
        {R"(hscrollbar="true")",
         [&](CRichEditUI* edit) {
             EXPECT_NE(edit->GetHScrollBar(), nullptr);
             EXPECT_EQ(Bits(edit) & TXTBIT_WORDWRAP, 0u);
         }},
        {R"(autohscroll="true" autovscroll="true")",
         [&](CRichEditUI* edit) {
             EXPECT_EQ(ScrollBars(edit), ES_AUTOHSCROLL | ES_AUTOVSCROLL);
             EXPECT_EQ(Bits(edit) & TXTBIT_WORDWRAP, 0u);
         }},
        {R"(multiline="true")", [&](CRichEditUI* edit) { EXPECT_NE(Bits(edit) & TXTBIT_MULTILINE, 0u); }},
        {R"(multiline="false")", [&](CRichEditUI* edit) { EXPECT_EQ(Bits(edit) & TXTBIT_MULTILINE, 0u); }},
        {R"(readonly="true" password="true" rich="true")",
         [&](CRichEditUI* edit) {
             EXPECT_TRUE(edit->IsReadOnly());
             EXPECT_EQ(Bits(edit) & (TXTBIT_READONLY | TXTBIT_USEPASSWORD | TXTBIT_RICHTEXT),
                       TXTBIT_READONLY | TXTBIT_USEPASSWORD | TXTBIT_RICHTEXT);
         }},
        {R"(readonly="false" hideselection="false")",
         [&](CRichEditUI* edit) {
             EXPECT_FALSE(edit->IsReadOnly());
             EXPECT_NE(edit->GetStyle() & ES_NOHIDESEL, 0u);
             EXPECT_EQ(Bits(edit) & (TXTBIT_READONLY | TXTBIT_HIDESELECTION), 0u);
         }},
        {R"(align="center right")", [&](CRichEditUI* edit) { EXPECT_EQ(Para(edit).wAlignment, PFA_RIGHT); }},
        {R"(align="left center")", [&](CRichEditUI* edit) { EXPECT_EQ(Para(edit).wAlignment, PFA_CENTER); }},
        {R"(textcolor="  #FF112233" font="0")",
         [&](CRichEditUI* edit) {
             const CHARFORMAT2W& format = edit->GetTextHost()->GetCharFormat();
             EXPECT_EQ(format.crTextColor, 0x00332211u) << "red and blue swap, alpha goes";
             EXPECT_NE(format.dwEffects & CFE_BOLD, 0u);
             EXPECT_EQ(format.yHeight, 16 * 1440 / 96);
         }},
        {R"(maxchar="0")",
         [&](CRichEditUI* edit) {
             EXPECT_EQ(edit->GetMaxChar(), 0);
             EXPECT_EQ(MaxLength(edit), 0u) << "copied as it stands at creation";
             edit->ApplyAttribute(L"maxchar", L"0");
             EXPECT_EQ(MaxLength(edit), 32767u) << "a live host gets the default";
             edit->ApplyAttribute(L"maxchar", L"12");
             EXPECT_EQ(MaxLength(edit), 12u);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.attributes);
        CRichEditUI* edit = BuildEdit(c.attributes);
        ASSERT_NE(edit, nullptr);
        ASSERT_NE(edit->GetTextHost(), nullptr);
        c.check(edit);
    }
}

TEST_F(RichEditUITest, WithoutTheTextServicesThereIsNoHostAndOnlyTheHintDraws) {
    ASSERT_TRUE(platform::UnregisterBuiltinModule(platform::kTextServicesModule));
    CRichEditUI* edit = BuildEdit(R"(text="never shown" hinttext="请输入" hintcolor="#FFFF0000" bkcolor="#FFFFFFFF")");
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->GetTextHost(), nullptr);
    EXPECT_EQ(Text(edit), L"");
    EXPECT_EQ(edit->GetTextLength(), 0);
    EXPECT_EQ(Selected(edit), L"");
    EXPECT_FALSE(edit->Undo());
    EXPECT_FALSE(edit->Redo());
    EXPECT_EQ(edit->SendTextMessage(WM_CHAR, 'x', 0, nullptr), S_FALSE);
    edit->SetCaption(L"still nothing");
    EXPECT_EQ(Text(edit), L"");
    EXPECT_GE(m_manager->MessageFilters().IndexOf(static_cast<SkinUI::IMessageFilterUI*>(edit)), 0);
    auto canvas = Paint();
    EXPECT_GT(basictest::PixelsNear(*canvas, edit->GetBounds(), 0xFFFF0000, 60), 5) << "the hint is drawn";
}

TEST_F(RichEditUITest, EveryWayTheTextServicesCanFailLeavesNoHost) {
    const PCreateTextServices failing = &FailingCreate;
    const PCreateTextServices wrong = &WrongObjectCreate;
    const struct {
        const char* why;
        std::function<void()> install;
    } cases[] = {
        {"no module", [] { platform::UnregisterBuiltinModule(platform::kTextServicesModule); }},
        {"no entry",
         [] {
             platform::RegisterBuiltinModule(platform::kTextServicesModule, {{"Other", platform::AsProc(&Nothing)}});
         }},
        {"creation fails",
         [&] {
             platform::RegisterBuiltinModule(platform::kTextServicesModule,
                                             {{"CreateTextServices", platform::AsProc(failing)}});
         }},
        {"not text services",
         [&] {
             platform::RegisterBuiltinModule(platform::kTextServicesModule,
                                             {{"CreateTextServices", platform::AsProc(wrong)}});
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        c.install();
        CRichEditUI* edit = BuildEdit(R"(text="lost")");
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->GetTextHost(), nullptr);
        EXPECT_EQ(Text(edit), L"");
        edit->TakeFocus();
        TypeText("x");
        EXPECT_EQ(Text(edit), L"");
        platform::RegisterTextServicesModule();
    }
    EXPECT_NE(BuildEdit(R"(text="back")")->GetTextHost(), nullptr);
}

TEST_F(RichEditUITest, TheHintShowsOnlyWhileEmptyAndUnfocused) {
    CRichEditUI* edit = BuildEdit(R"(hinttext="请输入" hintcolor="#FFFF0000" bkcolor="#FFFFFFFF")");
    const RECT bounds = edit->GetBounds();
    EXPECT_GT(basictest::PixelsNear(*Paint(), bounds, 0xFFFF0000, 60), 5);
    edit->TakeFocus();
    EXPECT_EQ(basictest::PixelsNear(*Paint(), bounds, 0xFFFF0000, 60), 0);
    Find<SkinUI::CControlUI>(L"next")->TakeFocus();
    edit->SetCaption(L"x");
    EXPECT_EQ(basictest::PixelsNear(*Paint(), bounds, 0xFFFF0000, 60), 0);
}

TEST_F(RichEditUITest, ChangingTheFontReplacesItsEffects) {
    const int bold = m_manager->AddFont(L"WenQuanYi Micro Hei", 14, true, true, false);
    const int plain = m_manager->AddFont(L"WenQuanYi Micro Hei", 20, false, false, true);
    CRichEditUI* edit = BuildEdit("font=\"" + std::to_string(bold) + "\"");
    EXPECT_EQ(edit->GetTextHost()->GetCharFormat().dwEffects & (CFE_BOLD | CFE_UNDERLINE | CFE_ITALIC),
              CFE_BOLD | CFE_UNDERLINE);
    edit->ApplyAttribute(L"font", std::to_wstring(plain));
    EXPECT_EQ(edit->GetTextHost()->GetCharFormat().dwEffects & (CFE_BOLD | CFE_UNDERLINE | CFE_ITALIC), CFE_ITALIC);
    EXPECT_EQ(edit->GetTextHost()->GetCharFormat().yHeight, 20 * 1440 / 96);
}

TEST_F(RichEditUITest, ReturnIsRaisedOnlyWhereTheTextDoesNotWantIt) {
    const struct {
        const char* attributes;
        UINT modifier;
        bool raised;
    } cases[] = {
        {"", 0, false},
        {"", VK_CONTROL, false},
        {R"(wantreturn="false")", 0, true},
        {R"(wantreturn="false")", VK_CONTROL, true},
        {R"(wantctrlreturn="false")", 0, false},
        {R"(wantctrlreturn="false")", VK_CONTROL, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.attributes) + (c.modifier != 0 ? " with Ctrl" : ""));
        CRichEditUI* edit = BuildEdit(std::string(c.attributes) + R"( text="ab")");
        edit->TakeFocus();
        edit->SetSelection(1, 1);
        Press(VK_RETURN, c.modifier);
        EXPECT_EQ(Count("return:re"), c.raised ? 1 : 0);
        EXPECT_EQ(Text(edit), c.raised ? L"ab" : L"a\rb");
    }
}

TEST_F(RichEditUITest, TabInsertsOnlyWhenTheTextWantsIt) {
    CRichEditUI* edit = BuildEdit(R"(text="ab")");
    edit->TakeFocus();
    edit->SetSelection(1, 1);
    Press(VK_TAB);
    EXPECT_EQ(Text(edit), L"a\tb");
    EXPECT_EQ(m_manager->GetFocusControl(), edit);

    edit = BuildEdit(R"(text="ab" wanttab="false")");
    edit->TakeFocus();
    Press(VK_TAB);
    EXPECT_EQ(Text(edit), L"ab");
    EXPECT_EQ(m_manager->GetFocusControl(), Find<SkinUI::CControlUI>(L"next"));
}

TEST_F(RichEditUITest, ThePlainWheelScrollsTheBarAndCtrlWheelReachesTheText) {
    std::wstring tall;
    for (int i = 0; i < 40; ++i)
        tall += L"line " + std::to_wstring(i) + L"\n";
    CRichEditUI* edit = BuildEdit(R"(vscrollbar="true")");
    edit->SetCaption(tall);
    Pump();
    SkinUI::CScrollBarUI* bar = edit->GetVScrollBar();
    ASSERT_TRUE(bar->IsShown());
    const POINT inside{50, 50};
    WheelAt(inside, -WHEEL_DELTA);
    EXPECT_GT(bar->GetOffset(), 0);
    const auto first = static_cast<LONG>(Ask(edit, EM_GETFIRSTVISIBLELINE));
    EXPECT_GT(first, 0) << "the text follows the bar";
    int numerator = -1, denominator = -1;
    Ask(edit, EM_GETZOOM, reinterpret_cast<WPARAM>(&numerator), reinterpret_cast<LPARAM>(&denominator));
    EXPECT_EQ(numerator, 0) << "a plain wheel turn never reaches the text";

    const int offset = bar->GetOffset();
    WheelAt(inside, WHEEL_DELTA, VK_CONTROL);
    Ask(edit, EM_GETZOOM, reinterpret_cast<WPARAM>(&numerator), reinterpret_cast<LPARAM>(&denominator));
    EXPECT_EQ(numerator * 100 / denominator, 110) << "Ctrl+wheel zooms";
    EXPECT_LE(bar->GetOffset(), offset) << "and does not scroll down";

    // Without a bar of its own the plain wheel scrolls nothing.
    edit = BuildEdit("");
    edit->SetCaption(tall);
    edit->SetSelection(0, 0);
    Pump();
    const LRESULT before = Ask(edit, EM_GETFIRSTVISIBLELINE);
    WheelAt(inside, -WHEEL_DELTA);
    EXPECT_EQ(Ask(edit, EM_GETFIRSTVISIBLELINE), before);
}

TEST_F(RichEditUITest, TheVerticalBarShowsWhatTheContentExceedsAndScrollsTallText) {
    CRichEditUI* edit = BuildEdit(R"(vscrollbar="true" maxchar="200000")");
    SkinUI::CScrollBarUI* bar = edit->GetVScrollBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_FALSE(bar->IsShown());
    std::wstring text;
    for (int i = 0; i < 30; ++i)
        text += L"第" + std::to_wstring(i) + L"行\r";
    edit->SetCaption(text);
    Pump();
    ASSERT_TRUE(bar->IsShown());
    const RECT client = edit->GetTextHost()->GetClientRect();
    EXPECT_EQ(bar->GetExtent(), NaturalHeight(edit) - (client.bottom - client.top));
    EXPECT_LE(client.right, bar->GetBounds().left) << "the text makes room for the bar";

    edit->ScrollToBottom();
    EXPECT_EQ(bar->GetOffset(), bar->GetExtent());
    const LONG last = static_cast<LONG>(Ask(edit, EM_GETLINECOUNT)) - 1;
    const POINT lastLine = edit->PosFromChar(static_cast<LONG>(Ask(edit, EM_LINEINDEX, static_cast<WPARAM>(last))));
    EXPECT_LT(lastLine.y, client.bottom) << "the last line is in view at the bottom";

    edit->SetCaption(L"short");
    Pump();
    EXPECT_FALSE(bar->IsShown());

    // A text taller than a 16-bit offset still scrolls to where the bar says.
    text.clear();
    for (int i = 0; i < 6000; ++i)
        text += L"row\r";
    edit->SetCaption(text);
    Pump();
    ASSERT_GT(bar->GetExtent(), 70000);
    const double rowHeight = NaturalHeight(edit) / 6001.0;  // 6000 rows and the empty last one
    edit->ScrollTo(SIZE{0, 70000});
    EXPECT_EQ(bar->GetOffset(), 70000);
    const auto first = static_cast<LONG>(Ask(edit, EM_GETFIRSTVISIBLELINE));
    EXPECT_NEAR(first, 70000 / rowHeight, 1.0);
    const POINT top = edit->PosFromChar(static_cast<LONG>(Ask(edit, EM_LINEINDEX, static_cast<WPARAM>(first))));
    EXPECT_LE(top.y, client.top);
    EXPECT_GT(top.y, client.top - rowHeight - 1);
}

TEST_F(RichEditUITest, ClickInTheInsetAndKeysWithoutFocusDoNotReachTheText) {
    CRichEditUI* edit = BuildEdit(R"(inset="20,20,20,20" text="hello world")");
    edit->SetSelection(2, 2);
    ClickAt(POINT{5, 5});
    EXPECT_EQ(Selection(edit).cpMin, 2);
    const POINT world = PointOf(edit, 6);
    ClickAt(world);
    EXPECT_EQ(Selection(edit).cpMin, 6);
    EXPECT_EQ(m_manager->GetFocusControl(), edit);

    Find<SkinUI::CControlUI>(L"next")->TakeFocus();
    TypeText("zz");
    EXPECT_EQ(Text(edit), L"hello world");
}

TEST_F(RichEditUITest, ClearRemovesEverythingAsStepsThatUndo) {
    CRichEditUI* edit = BuildEdit(R"(text="hello world")");
    edit->SetSelection(0, 5);
    edit->Clear();
    EXPECT_EQ(Text(edit), L"");
    EXPECT_TRUE(edit->Undo());
    EXPECT_EQ(Text(edit), L" world");
    EXPECT_TRUE(edit->Undo());
    EXPECT_EQ(Text(edit), L"hello world");
    EXPECT_FALSE(edit->Undo()) << "the caption itself was not an undoable step";
    EXPECT_TRUE(edit->Redo());
    EXPECT_EQ(Text(edit), L" world");
}

TEST_F(RichEditUITest, RichEditNotifyCarriesTheCodeAndAFilledHeader) {
    SetWindowLongW(m_hwnd, GWL_ID, 77);
    CRichEditUI* edit = BuildEdit(R"(text="abc")");
    Ask(edit, EM_SETEVENTMASK, 0, ENM_CHANGE | ENM_SELCHANGE);
    edit->SetSelection(0, 2);
    edit->ReplaceSel(L"x", true);
    EXPECT_EQ(m_codes, (std::vector<DWORD>{EN_SELCHANGE, EN_CHANGE, EN_SELCHANGE}));
    ASSERT_EQ(m_headers.size(), 2u) << "a change carries no record";
    EXPECT_EQ(m_headers[0].hwndFrom, m_hwnd);
    EXPECT_EQ(m_headers[0].idFrom, 77u);
    EXPECT_EQ(m_headers[0].code, EN_SELCHANGE);
    EXPECT_EQ(Count("richeditnotify:re"), 3);
}

TEST_F(RichEditUITest, TheCaretIsFifteenPixelsTallAndBlinksOnTheClock) {
    CRichEditUI* edit = BuildEdit(R"(owndrawcaret="true" text="a    b" bkcolor="#FFFFFFFF")");
    edit->TakeFocus();
    edit->SetSelection(3, 3);
    Pump();
    ASSERT_TRUE(edit->IsCaretActive());
    const RECT caret = edit->GetCaretRect();
    EXPECT_EQ(caret.right - caret.left, 1);
    EXPECT_EQ(caret.bottom - caret.top, CRichEditUI::kCaretHeight);
    EXPECT_EQ(caret.left, edit->PosFromChar(3).x);
    EXPECT_GT(platform::CurrentCaret().hideCount, 0) << "an own-drawn caret keeps the system caret hidden";
    auto on = Paint();
    EXPECT_TRUE(testsupport::PixelNear(on->Pixel(caret.left, caret.bottom - 2), 0xFF000000, 40));
    Advance(std::chrono::milliseconds(CRichEditUI::kCaretBlinkMs));
    EXPECT_FALSE(edit->IsCaretPhaseOn());
    auto off = Paint();
    EXPECT_TRUE(testsupport::PixelNear(off->Pixel(caret.left, caret.bottom - 2), 0xFFFFFFFF, 40));
}

TEST_F(RichEditUITest, DestroyingTheControlWithTheCaretBlinkingIsClean) {
    CRichEditUI* edit = BuildEdit(R"(text="abc")");
    edit->TakeFocus();
    edit->SetSelection(1, 1);
    Pump();
    ASSERT_TRUE(edit->IsCaretActive()) << "the blink timer runs";
    auto* parent = dynamic_cast<SkinUI::CContainerUI*>(edit->GetParentControl());
    ASSERT_NE(parent, nullptr);
    ASSERT_TRUE(parent->RemoveChild(edit));
    EXPECT_EQ(m_manager->MessageFilters().Count(), 0);
    Advance(std::chrono::milliseconds(3 * CRichEditUI::kCaretBlinkMs));
    EXPECT_GT(platform::CurrentCaret().hideCount, 0) << "the caret went with the control";
}

TEST_F(RichEditUITest, HorizontalOperationsScrollTheTextAndReadOnlyHoldsAtRunTime) {
    CRichEditUI* edit = BuildEdit(
        R"(hscrollbar="true" text="a line far wider than the four hundred pixels of this window, so it scrolls sideways")");
    SkinUI::CScrollBarUI* bar = edit->GetHScrollBar();
    ASSERT_NE(bar, nullptr);
    ASSERT_TRUE(bar->IsShown());
    edit->ScrollLineRight();
    EXPECT_GT(bar->GetOffset(), 0);
    edit->ScrollToRightEnd();
    EXPECT_EQ(bar->GetOffset(), bar->GetExtent());
    const RECT client = edit->GetTextHost()->GetClientRect();
    EXPECT_LT(edit->PosFromChar(edit->GetTextLength()).x, client.right) << "the end of the line is in view";
    edit->ScrollPageLeft();
    EXPECT_LT(bar->GetOffset(), bar->GetExtent());
    edit->ScrollToLeftEnd();
    EXPECT_EQ(bar->GetOffset(), 0);
    EXPECT_EQ(edit->PosFromChar(0).x, client.left);

    edit->TakeFocus();
    edit->SetReadOnly(true);
    TypeText("x");
    Press(VK_BACK);
    EXPECT_EQ(Text(edit).substr(0, 6), L"a line");
    edit->SetReadOnly(false);
    edit->SetSelection(0, 0);
    TypeText("x");
    EXPECT_EQ(Text(edit).substr(0, 7), L"xa line");
}
