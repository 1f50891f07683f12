#include "ui/controls/RichEditUI.h"

#include "../basic/BasicFixture.h"
#include "platform/com/DragDrop.h"
#include "platform/module/Module.h"
#include "platform/textservices/TextServices.h"
#include "platform/window/Caret.h"
#include "support/ReferenceImage.h"
#include "ui/basic/ScrollBarUI.h"
#include "ui/controls/TxtWinHost.h"

using SkinUI::CRichEditUI;

namespace {

// An object that is not text services: it answers only IUnknown.
struct NotTextServices final : IUnknown {
    HRESULT QueryInterface(REFIID iid, void** object) noexcept override {
        *object = iid == IID_IUnknown ? this : nullptr;
        return *object != nullptr ? S_OK : E_NOINTERFACE;
    }
    ULONG AddRef() noexcept override { return 2; }
    ULONG Release() noexcept override { return 1; }
} g_notTextServices;

HRESULT FailingCreate(IUnknown*, ITextHost*, IUnknown** unknown) {
    *unknown = nullptr;
    return E_OUTOFMEMORY;
}

HRESULT WrongObjectCreate(IUnknown*, ITextHost*, IUnknown** unknown) {
    *unknown = &g_notTextServices;
    return S_OK;
}

// A drop target that counts its references; it lives inside the text services below.
class CountedDropTarget final : public IDropTarget {
public:
    HRESULT QueryInterface(REFIID, void** object) noexcept override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() noexcept override { return ++references; }
    ULONG Release() noexcept override { return --references; }
    HRESULT DragEnter(IDataObject*, DWORD, POINTL, DWORD*) override { return S_OK; }
    HRESULT DragOver(DWORD, POINTL, DWORD*) override { return S_OK; }
    HRESULT DragLeave() override { return S_OK; }
    HRESULT Drop(IDataObject*, DWORD, POINTL, DWORD*) override { return S_OK; }

    ULONG references = 1;  // the text services' own
};

// Text services that do nothing but offer a drop target, as text services that take drops do.
class DropTextServices final : public ITextServices {
public:
    static inline DropTextServices* s_live = nullptr;
    static HRESULT Create(IUnknown*, ITextHost*, IUnknown** unknown) {
        *unknown = new DropTextServices();
        return S_OK;
    }
    DropTextServices() { s_live = this; }
    ~DropTextServices() { s_live = nullptr; }

    HRESULT QueryInterface(REFIID iid, void** object) noexcept override {
        *object = nullptr;
        if (!(iid == IID_IUnknown) && !(iid == IID_ITextServices)) return E_NOINTERFACE;
        AddRef();
        *object = static_cast<ITextServices*>(this);
        return S_OK;
    }
    ULONG AddRef() noexcept override { return ++m_references; }
    ULONG Release() noexcept override {
        const ULONG left = --m_references;
        if (left == 0) delete this;
        return left;
    }
    HRESULT TxSendMessage(UINT, WPARAM, LPARAM, LRESULT* result) override {
        if (result != nullptr) *result = 0;
        return S_OK;
    }
    HRESULT TxDraw(DWORD, LONG, void*, void*, HDC, HDC, const RECT*, const RECT*, RECT*, BOOL (*)(DWORD), DWORD,
                   LONG) override {
        return S_OK;
    }
    HRESULT OnTxSetCursor(DWORD, LONG, void*, void*, HDC, HDC, const RECT*, INT, INT) override { return S_OK; }
    HRESULT OnTxInPlaceActivate(const RECT*) override { return S_OK; }
    HRESULT OnTxInPlaceDeactivate() override { return S_OK; }
    HRESULT TxSetText(LPCWSTR) override { return S_OK; }
    HRESULT TxGetNaturalSize(DWORD, HDC, HDC, void*, DWORD, const SIZEL*, LONG*, LONG*) override { return E_NOTIMPL; }
    HRESULT TxGetDropTarget(IDropTarget** target) override {
        target_.AddRef();
        *target = &target_;
        return S_OK;
    }
    HRESULT OnTxPropertyBitsChange(DWORD, DWORD) override { return S_OK; }

    CountedDropTarget target_;

private:
    ULONG m_references = 1;
};

// The control in the basic-control window on a manual clock, with input injected through the
// headless display (so key states, capture, double clicks and typed text take the same road as
// on a real display).
class RichEditUITest : public basictest::BasicControlTest {
protected:
    void SetUp() override {
        platform::EnsureTextServicesModule();
        BasicControlTest::SetUp();
        UseManualClock();
    }
    void TearDown() override {
        BasicControlTest::TearDown();
        platform::RegisterTextServicesModule();
    }

    // A rich edit "re" of the given attributes above a button "next", in the 400 x 300 window.
    SkinUI::CRichEditUI* BuildEdit(const std::string& attributes, int height = 120) {
        Build(R"(<VerticalLayout><RichEdit name="re" height=")" + std::to_string(height) + "\" " + attributes +
              R"(/><Button name="next" height="30"/><Control/></VerticalLayout>)");
        Pump();
        m_log.clear();
        return Find<SkinUI::CRichEditUI>(L"re");
    }

    void TypeText(const std::string& utf8) {
        m_display.TypeText(utf8);
        Pump();
    }
    void DragFromTo(POINT from, POINT to) {
        m_display.MoveMouse(from.x, from.y);
        m_display.PressButton(platform::RawInput::Button::Left);
        m_display.MoveMouse(to.x, to.y);
        m_display.ReleaseButton(platform::RawInput::Button::Left);
        Pump();
    }
    void WheelAt(POINT point, int delta, UINT modifier = 0) {
        m_display.MoveMouse(point.x, point.y);
        if (modifier != 0) m_display.KeyDown(modifier);
        m_display.Wheel(delta);
        if (modifier != 0) m_display.KeyUp(modifier);
        Pump();
    }

    static LRESULT Ask(SkinUI::CRichEditUI* edit, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        LRESULT result = 0;
        edit->SendTextMessage(message, wParam, lParam, &result);
        return result;
    }
    static std::wstring Text(SkinUI::CRichEditUI* edit) { return edit->GetCaption().ToWString(); }
    static std::wstring Selected(SkinUI::CRichEditUI* edit) { return edit->GetSelectedText().ToWString(); }
    // The middle of the caret box before `cp`, in window co-ordinates.
    static POINT PointOf(SkinUI::CRichEditUI* edit, LONG cp) {
        POINT point = edit->PosFromChar(cp);
        point.y += 6;
        return point;
    }
    DWORD Bits(CRichEditUI* edit) {
        DWORD bits = 0;
        edit->GetTextHost()->TxGetPropertyBits(0xFFFFFFFF, &bits);
        return bits;
    }
    DWORD MaxLength(CRichEditUI* edit) {
        DWORD length = 0;
        edit->GetTextHost()->TxGetMaxLength(&length);
        return length;
    }
    static int NaturalHeight(CRichEditUI* edit) {
        const RECT client = edit->GetTextHost()->GetClientRect();
        LONG width = client.right - client.left, height = 0;
        const SIZEL extent{-1, -1};
        edit->GetTextHost()->GetTextServices()->TxGetNaturalSize(DVASPECT_CONTENT, nullptr, nullptr, nullptr,
                                                                 TXTNS_FITTOCONTENT, &extent, &width, &height);
        return static_cast<int>(height);
    }
};

}  // namespace

TEST_F(RichEditUITest, AttributesBecomeStyleBitsPropertyBitsAndFormats) {
    CRichEditUI* edit = BuildEdit(R"(vscrollbar="true")");
    EXPECT_EQ(edit->GetStyle() & (WS_VSCROLL | ES_DISABLENOSCROLL), WS_VSCROLL | ES_DISABLENOSCROLL);
    EXPECT_NE(edit->GetVScrollBar(), nullptr);
    edit = BuildEdit(R"(vscrollbar="false" hscrollbar="yes")");
    EXPECT_EQ(edit->GetHScrollBar(), nullptr);
    EXPECT_NE(Bits(edit) & TXTBIT_WORDWRAP, 0u) << "lines wrap without a horizontal bar";
    edit = BuildEdit(R"(hscrollbar="true" multiline="false")");
    EXPECT_NE(edit->GetHScrollBar(), nullptr);
    EXPECT_EQ(Bits(edit) & (TXTBIT_WORDWRAP | TXTBIT_MULTILINE), 0u);
    edit = BuildEdit(R"(readonly="true" password="true" rich="true")");
    constexpr DWORD kBits = TXTBIT_READONLY | TXTBIT_USEPASSWORD | TXTBIT_RICHTEXT;
    EXPECT_EQ(Bits(edit) & kBits, kBits);

    // Red and blue swap places; a new font replaces the effects of the old one.
    const int bold = m_manager->AddFont(L"WenQuanYi Micro Hei", 16, true, true, false);
    const int italic = m_manager->AddFont(L"WenQuanYi Micro Hei", 20, false, false, true);
    const auto effects = [&] {
        return edit->GetTextHost()->GetCharFormat().dwEffects & (CFE_BOLD | CFE_UNDERLINE | CFE_ITALIC);
    };
    edit = BuildEdit(R"(textcolor="  #FF112233" font=")" + std::to_string(bold) + "\"");
    EXPECT_EQ(edit->GetTextHost()->GetCharFormat().crTextColor, 0x00332211u);
    EXPECT_EQ(effects(), CFE_BOLD | CFE_UNDERLINE);
    edit->ApplyAttribute(L"font", std::to_wstring(italic));
    EXPECT_EQ(effects(), CFE_ITALIC);
    EXPECT_EQ(edit->GetTextHost()->GetCharFormat().yHeight, 20 * 1440 / 96);

    edit = BuildEdit(R"(maxchar="0")");
    EXPECT_EQ(MaxLength(edit), 0u) << "copied as it stands at creation";
    edit->ApplyAttribute(L"maxchar", L"0");
    EXPECT_EQ(MaxLength(edit), 32767u) << "a live host gets the default";
}

TEST_F(RichEditUITest, WithoutTheTextServicesThereIsNoHostAndOnlyTheHintDraws) {
    const PCreateTextServices creators[] = {nullptr, &FailingCreate, &WrongObjectCreate};
    for (const PCreateTextServices create : creators) {
        SCOPED_TRACE(!create ? "no module" : create == &FailingCreate ? "creation fails" : "not text services");
        if (create == nullptr) {
            platform::UnregisterBuiltinModule(platform::kTextServicesModule);
        } else {
            platform::RegisterBuiltinModule(platform::kTextServicesModule,
                                            {{"CreateTextServices", platform::AsProc(create)}});
        }
        CRichEditUI* edit = BuildEdit(R"(text="lost" hinttext="请输入" hintcolor="#FFFF0000" bkcolor="#FFFFFFFF")");
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->GetTextHost(), nullptr);
        EXPECT_EQ(Text(edit), L"");
        EXPECT_FALSE(edit->Undo());
        EXPECT_EQ(edit->SendTextMessage(WM_CHAR, 'x', 0, nullptr), S_FALSE);
        EXPECT_GT(basictest::PixelsNear(*Paint(), edit->GetBounds(), 0xFFFF0000, 60), 5) << "the hint is drawn";
        edit->TakeFocus();
        TypeText("x");
        EXPECT_EQ(Text(edit), L"");
        platform::RegisterTextServicesModule();
    }
    EXPECT_NE(BuildEdit(R"(text="back")")->GetTextHost(), nullptr);
}

TEST_F(RichEditUITest, ReturnAndTabAreTextUnlessTheAttributesSayOtherwise) {
    const struct {
        const char* attributes;
        UINT key, modifier;
        const wchar_t* text;  // after the key in the middle of "ab"
        bool raised;          // "return" raised
    } cases[] = {
        {"", VK_RETURN, 0, L"a\rb", false},
        {"", VK_RETURN, VK_CONTROL, L"a\rb", false},
        {R"(wantreturn="false")", VK_RETURN, 0, L"ab", true},
        {R"(wantreturn="false")", VK_RETURN, VK_CONTROL, L"ab", true},
        {R"(wantctrlreturn="false")", VK_RETURN, 0, L"a\rb", false},
        {R"(wantctrlreturn="false")", VK_RETURN, VK_CONTROL, L"ab", true},
        {"", VK_TAB, 0, L"a\tb", false},
        {R"(wanttab="false")", VK_TAB, 0, L"ab", false},  // the focus moves on instead
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.attributes) + (c.key == VK_TAB   ? " Tab"
                                                  : c.modifier != 0 ? " Ctrl+Return"
                                                                    : " Return"));
        CRichEditUI* edit = BuildEdit(std::string(c.attributes) + R"( text="ab")");
        edit->TakeFocus();
        edit->SetSelection(1, 1);
        PressKey(c.key, c.modifier);
        EXPECT_EQ(Count("return:re"), c.raised ? 1 : 0);
        EXPECT_EQ(Text(edit), c.text);
        const bool movedOn = c.key == VK_TAB && std::wstring(c.text) == L"ab";
        EXPECT_EQ(m_manager->GetFocusControl(), movedOn ? Find<SkinUI::CControlUI>(L"next") : edit);
    }
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
    EXPECT_GT(Ask(edit, EM_GETFIRSTVISIBLELINE), 0) << "the text follows the bar";
    int numerator = -1, denominator = -1;
    Ask(edit, EM_GETZOOM, reinterpret_cast<WPARAM>(&numerator), reinterpret_cast<LPARAM>(&denominator));
    EXPECT_EQ(numerator, 0) << "a plain wheel turn never reaches the text";

    // The caret in view, so the text services have no reason of their own to scroll.
    const auto firstVisible = static_cast<WPARAM>(Ask(edit, EM_GETFIRSTVISIBLELINE));
    const auto topChar = static_cast<LONG>(Ask(edit, EM_LINEINDEX, firstVisible + 1));
    edit->SetSelection(topChar, topChar);
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

TEST_F(RichEditUITest, WithAVerticalBarTheViewAndTheBarFollowTheCaret) {
    Build(R"(<VerticalLayout><RichEdit name="re" height="80" vscrollbar="true"><Control name="child"/></RichEdit>)"
          R"(<Control/></VerticalLayout>)");
    Pump();
    auto* edit = Find<CRichEditUI>(L"re");
    SkinUI::CScrollBarUI* bar = edit->GetVScrollBar();
    ASSERT_NE(bar, nullptr);
    SkinUI::CControlUI* child = Find<SkinUI::CControlUI>(L"child");
    // The children scroll with the text.
    const auto childFollows = [&](LONG childTop, int offset) {
        return child->GetBounds().top - childTop == offset - bar->GetOffset();
    };
    const auto caretInView = [&] {
        CHARRANGE selection{};
        Ask(edit, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
        const POINT caret = edit->PosFromChar(selection.cpMax);
        const RECT client = edit->GetTextHost()->GetClientRect();
        return caret.y >= client.top && caret.y + 12 <= client.bottom;
    };
    // The bar says how far the text is scrolled, in the text's own pixels.
    const auto barMatchesText = [&] {
        return bar->GetOffset() == edit->GetTextHost()->GetClientRect().top - edit->PosFromChar(0).y;
    };
    edit->TakeFocus();
    {
        // Typing past the last visible line.
        for (int i = 0; i < 12; ++i) {
            TypeText("line " + std::to_string(i));
            PressKey(VK_RETURN);
        }
        ASSERT_TRUE(bar->IsShown());
        EXPECT_TRUE(caretInView());
        EXPECT_GT(bar->GetOffset(), 0);
        EXPECT_TRUE(barMatchesText());
    }
    {
        // Ctrl+Home and Ctrl+End.
        const LONG childTop = child->GetBounds().top;
        const int offset = bar->GetOffset();
        PressKey(VK_HOME, VK_CONTROL);
        EXPECT_TRUE(caretInView());
        EXPECT_EQ(bar->GetOffset(), 0);
        EXPECT_TRUE(childFollows(childTop, offset));
        PressKey(VK_END, VK_CONTROL);
        EXPECT_TRUE(caretInView());
        EXPECT_EQ(bar->GetOffset(), bar->GetExtent());
        EXPECT_TRUE(barMatchesText());
    }
    {
        // The arrow keys, one line at a time.
        for (int i = 0; i < 12; ++i) {
            PressKey(VK_UP);
            SCOPED_TRACE(i);
            EXPECT_TRUE(caretInView());
            EXPECT_TRUE(barMatchesText());
        }
        EXPECT_EQ(bar->GetOffset(), 0);
    }
    {
        // The bar still scrolls the text, away from the caret.
        const LONG childTop = child->GetBounds().top;
        const int offset = bar->GetOffset();
        edit->ScrollTo(SIZE{0, bar->GetExtent()});
        EXPECT_EQ(bar->GetOffset(), bar->GetExtent());
        EXPECT_TRUE(barMatchesText());
        EXPECT_TRUE(childFollows(childTop, offset));
    }
}

TEST_F(RichEditUITest, ClearWithASelectionIsOneUndoStep) {
    CRichEditUI* edit = BuildEdit(R"(text="first second third")");
    edit->SetSelection(6, 12);
    edit->Clear();
    EXPECT_EQ(Text(edit), L"");
    EXPECT_TRUE(edit->Undo());
    EXPECT_EQ(Text(edit), L"first second third");
    EXPECT_TRUE(edit->Redo());
    EXPECT_EQ(Text(edit), L"");
}

TEST_F(RichEditUITest, DestroyingTheControlWithTheCaretBlinkingIsClean) {
    CRichEditUI* edit = BuildEdit(R"(text="abc")");
    edit->TakeFocus();
    edit->SetSelection(1, 1);
    Pump();
    ASSERT_TRUE(edit->IsCaretActive());
    const bool phase = edit->IsCaretPhaseOn();
    Advance(CRichEditUI::kCaretBlinkMs);
    EXPECT_NE(edit->IsCaretPhaseOn(), phase) << "the blink timer runs";
    auto* parent = dynamic_cast<SkinUI::CContainerUI*>(edit->GetParentControl());
    ASSERT_NE(parent, nullptr);
    ASSERT_TRUE(parent->RemoveChild(edit));
    EXPECT_EQ(m_manager->MessageFilters().Count(), 0);
    Advance(3 * CRichEditUI::kCaretBlinkMs);
    EXPECT_GT(platform::CurrentCaret().hideCount, 0) << "the caret went with the control";
}

TEST_F(RichEditUITest, ADropTargetIsRegisteredOnceAndWithdrawnWithTheControl) {
    const PCreateTextServices create = &DropTextServices::Create;
    platform::RegisterBuiltinModule(platform::kTextServicesModule, {{"CreateTextServices", platform::AsProc(create)}});

    CRichEditUI* edit = BuildEdit("");
    ASSERT_NE(DropTextServices::s_live, nullptr);
    CountedDropTarget& target = DropTextServices::s_live->target_;
    edit->SetDragDropEnabled(true);
    edit->SetDragDropEnabled(true);
    EXPECT_EQ(platform::RegisteredDropTarget(m_hwnd), &target);
    edit->SetDragDropEnabled(false);
    EXPECT_EQ(platform::RegisteredDropTarget(m_hwnd), nullptr);
    EXPECT_EQ(target.references, 1u) << "every reference taken was given back";

    edit->SetDragDropEnabled(true);
    auto* parent = dynamic_cast<SkinUI::CContainerUI*>(edit->GetParentControl());
    ASSERT_TRUE(parent->RemoveChild(edit));
    EXPECT_EQ(DropTextServices::s_live, nullptr);
    EXPECT_EQ(platform::RegisteredDropTarget(m_hwnd), nullptr) << "no registration points into the freed services";
}

// Driven the way a user drives it: keys, typed text and the mouse through the display.
TEST_F(RichEditUITest, TypesChineseAndEmojiSelectsCopiesAndPastes) {
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

TEST_F(RichEditUITest, AMultiLineSelectionLooksLikeTheReference) {
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
