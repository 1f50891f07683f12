#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/module/Module.h"
#include "platform/textservices/TextServices.h"
#include "platform/window/Clipboard.h"

namespace {

// A text host with a fixed client rectangle, formats and property bits the test sets, and a
// record of the callbacks; a test may hook a callback to call back into the text services,
// as real hosts do.
class FakeTextHost final : public ITextHost {
public:
    struct ScrollCall {
        std::string what;  // "range", "pos", "show", "enable"
        int bar = 0;
        int a = 0;
        int b = 0;
    };

    FakeTextHost() {
        m_dc = CreateCompatibleDC(nullptr);
        charFormat.cbSize = sizeof(charFormat);
        charFormat.dwMask = CFM_SIZE | CFM_COLOR | CFM_FACE | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE;
        charFormat.yHeight = 180;  // 12 pixels
        charFormat.crTextColor = 0x00000000;
        paraFormat.cbSize = sizeof(paraFormat);
        paraFormat.dwMask = PFM_ALIGNMENT | PFM_TABSTOPS;
        paraFormat.wAlignment = PFA_LEFT;
    }
    ~FakeTextHost() { DeleteDC(m_dc); }

    // Creates the text services through the built-in module, as a real host does.
    ITextServices* Create() {
        platform::EnsureTextServicesModule();
        HMODULE module = LoadLibraryW(platform::kTextServicesModule);
        EXPECT_NE(module, nullptr);
        auto create = reinterpret_cast<PCreateTextServices>(GetProcAddress(module, "CreateTextServices"));
        EXPECT_NE(create, nullptr);
        IUnknown* unknown = nullptr;
        EXPECT_EQ(create(nullptr, this, &unknown), S_OK);
        void* services = nullptr;
        EXPECT_EQ(unknown->QueryInterface(IID_ITextServices, &services), S_OK);
        unknown->Release();
        FreeLibrary(module);
        return static_cast<ITextServices*>(services);
    }

    // --- what the test sets ---
    RECT client{10, 20, 210, 120};
    DWORD bits = TXTBIT_MULTILINE | TXTBIT_WORDWRAP | TXTBIT_HIDESELECTION;
    DWORD scrollBars = 0;
    LONG maxLength = 100000;
    CHARFORMAT2W charFormat;
    PARAFORMAT2 paraFormat;
    HRESULT notifyAnswer = S_OK;

    // --- what the host saw ---
    std::vector<ScrollCall> scrollCalls;
    std::vector<DWORD> notifications;
    int caretShows = 0;
    int caretHides = 0;

    // Hooks that let a test call back into the text services from a callback.
    std::function<void(int x, int y)> onSetCaretPos;
    std::function<void(DWORD code)> onNotify;

    int LastScroll(const std::string& what, int bar, int* b = nullptr) const {
        for (auto it = scrollCalls.rbegin(); it != scrollCalls.rend(); ++it) {
            if (it->what == what && it->bar == bar) {
                if (b != nullptr) *b = it->b;
                return it->a;
            }
        }
        return -1;
    }
    int Count(DWORD code) const {
        return static_cast<int>(std::count(notifications.begin(), notifications.end(), code));
    }

    HRESULT QueryInterface(REFIID iid, void** object) noexcept override {
        *object = nullptr;
        if (!(iid == IID_IUnknown) && !(iid == IID_ITextHost)) return E_NOINTERFACE;
        *object = static_cast<ITextHost*>(this);
        return S_OK;
    }
    ULONG AddRef() noexcept override { return 1; }
    ULONG Release() noexcept override { return 1; }

    HDC TxGetDC() override { return m_dc; }
    INT TxReleaseDC(HDC) override { return TRUE; }
    BOOL TxShowScrollBar(INT bar, BOOL show) override {
        scrollCalls.push_back({"show", bar, show, 0});
        return TRUE;
    }
    BOOL TxEnableScrollBar(INT bars, INT arrows) override {
        scrollCalls.push_back({"enable", bars, arrows, 0});
        return TRUE;
    }
    BOOL TxSetScrollRange(INT bar, LONG minPosition, INT maxPosition, BOOL) override {
        scrollCalls.push_back({"range", bar, minPosition, maxPosition});
        return TRUE;
    }
    BOOL TxSetScrollPos(INT bar, INT position, BOOL) override {
        scrollCalls.push_back({"pos", bar, position, 0});
        return TRUE;
    }
    void TxInvalidateRect(const RECT*, BOOL) override {}
    void TxViewChange(BOOL) override {}
    BOOL TxCreateCaret(HBITMAP, INT, INT) override { return TRUE; }
    BOOL TxShowCaret(BOOL show) override {
        ++(show ? caretShows : caretHides);
        return TRUE;
    }
    BOOL TxSetCaretPos(INT x, INT y) override {
        if (onSetCaretPos) onSetCaretPos(x, y);
        return TRUE;
    }
    BOOL TxSetTimer(UINT, UINT) override { return TRUE; }
    void TxKillTimer(UINT) override {}
    void TxScrollWindowEx(INT, INT, const RECT*, const RECT*, HRGN, RECT*, UINT) override {}
    void TxSetCapture(BOOL) override {}
    void TxSetFocus() override {}
    void TxSetCursor(HCURSOR, BOOL) override {}
    BOOL TxScreenToClient(POINT*) override { return TRUE; }
    BOOL TxClientToScreen(POINT*) override { return TRUE; }
    HRESULT TxActivate(LONG*) override { return S_OK; }
    HRESULT TxDeactivate(LONG) override { return S_OK; }
    HRESULT TxGetClientRect(RECT* rect) override {
        *rect = client;
        return S_OK;
    }
    HRESULT TxGetViewInset(RECT* inset) override {
        *inset = RECT{};
        return S_OK;
    }
    HRESULT TxGetCharFormat(const CHARFORMAT2W** format) override {
        *format = &charFormat;
        return S_OK;
    }
    HRESULT TxGetParaFormat(const PARAFORMAT2** format) override {
        *format = &paraFormat;
        return S_OK;
    }
    COLORREF TxGetSysColor(int index) override { return GetSysColor(index); }
    HRESULT TxGetBackStyle(TXTBACKSTYLE* style) override {
        *style = TXTBACK_TRANSPARENT;
        return S_OK;
    }
    HRESULT TxGetMaxLength(DWORD* length) override {
        *length = static_cast<DWORD>(maxLength);
        return S_OK;
    }
    HRESULT TxGetScrollBars(DWORD* bars) override {
        *bars = scrollBars;
        return S_OK;
    }
    HRESULT TxGetPasswordChar(WCHAR* character) override {
        *character = 0;
        return S_OK;
    }
    HRESULT TxGetAcceleratorPos(LONG* position) override {
        *position = -1;
        return S_OK;
    }
    HRESULT TxGetExtent(SIZEL* extent) override {
        *extent = SIZEL{};
        return S_OK;
    }
    HRESULT OnTxCharFormatChange(const CHARFORMAT2W*) override { return S_OK; }
    HRESULT OnTxParaFormatChange(const PARAFORMAT2*) override { return S_OK; }
    HRESULT TxGetPropertyBits(DWORD mask, DWORD* out) override {
        *out = bits & mask;
        return S_OK;
    }
    HRESULT TxNotify(DWORD code, void*) override {
        notifications.push_back(code);
        if (onNotify) onNotify(code);
        return code == EN_MSGFILTER ? notifyAnswer : S_OK;
    }
    HIMC TxImmGetContext() override { return nullptr; }
    void TxImmReleaseContext(HIMC) override {}
    HRESULT TxGetSelectionBarWidth(LONG* width) override {
        *width = 0;
        return S_OK;
    }

private:
    HDC m_dc = nullptr;
};

class TextEngineTest : public ::testing::Test {
protected:
    void SetUp() override { Start(); }
    void TearDown() override {
        if (services != nullptr) services->Release();
    }
    void Start() {
        if (services != nullptr) services->Release();
        services = host.Create();
        services->OnTxInPlaceActivate(&host.client);
    }
    // Tells the text services that everything about the host may have changed.
    void HostChanged() { services->OnTxPropertyBitsChange(0xFFFFFFFF, host.bits); }

    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0, HRESULT* hr = nullptr) {
        LRESULT result = 0;
        const HRESULT answer = services->TxSendMessage(message, wParam, lParam, &result);
        if (hr != nullptr) *hr = answer;
        return result;
    }
    void SetText(const std::wstring& text) { ASSERT_EQ(services->TxSetText(text.c_str()), S_OK); }
    std::wstring Text(DWORD flags = GT_DEFAULT) {
        std::vector<wchar_t> buffer(static_cast<size_t>(Length(GTL_USECRLF)) + 1);
        GETTEXTEX request;
        request.cb = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        request.flags = flags;
        Send(EM_GETTEXTEX, reinterpret_cast<WPARAM>(&request), reinterpret_cast<LPARAM>(buffer.data()));
        return buffer.data();
    }
    LONG Length(DWORD flags = GTL_DEFAULT) {
        GETTEXTLENGTHEX request;
        request.flags = flags;
        return static_cast<LONG>(Send(EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&request)));
    }
    void Select(LONG start, LONG end) {
        CHARRANGE range{start, end};
        Send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    }
    CHARRANGE Selection() {
        CHARRANGE range;
        Send(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
        return range;
    }
    std::wstring SelectedText() {
        const CHARRANGE range = Selection();
        std::vector<wchar_t> buffer(static_cast<size_t>(range.cpMax - range.cpMin) + 1);
        Send(EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(buffer.data()));
        return buffer.data();
    }
    void Type(const std::wstring& text) {
        for (wchar_t c : text)
            Send(WM_CHAR, static_cast<WPARAM>(c));
    }
    void Key(UINT key) { Send(WM_KEYDOWN, key); }
    POINT Pos(LONG cp) {
        POINT point{};
        Send(EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&point), cp);
        return point;
    }
    LONG CharAt(POINT point) {
        POINTL at{point.x, point.y};
        return static_cast<LONG>(Send(EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&at)));
    }
    int ClientHeight() const { return host.client.bottom - host.client.top; }

    FakeTextHost host;
    ITextServices* services = nullptr;
};

void PutOnClipboard(const std::wstring& text) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    auto* chars = static_cast<wchar_t*>(GlobalLock(memory));
    std::copy(text.begin(), text.end(), chars);
    chars[text.size()] = 0;
    GlobalUnlock(memory);
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
}

std::wstring ClipboardText() {
    if (!OpenClipboard(nullptr)) return L"<busy>";
    std::wstring text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT))
        text = static_cast<const wchar_t*>(GlobalLock(static_cast<HGLOBAL>(data)));
    if (text.empty() && GetClipboardData(CF_UNICODETEXT) == nullptr) text = L"<none>";
    CloseClipboard();
    return text;
}

}  // namespace

TEST_F(TextEngineTest, PositionsAndHitTestsRoundTripOverWrappedMixedText) {
    host.client = RECT{10, 20, 130, 400};
    HostChanged();
    const std::wstring text = L"Hello wide world 中文字符测试混排\r😀 emoji\tand tab\r\rlast line with several words";
    SetText(text);
    const LONG length = Length();
    ASSERT_EQ(length, static_cast<LONG>(text.size()));
    POINT previous{};
    for (LONG cp = 0; cp <= length; ++cp) {
        SCOPED_TRACE(cp);
        const POINT point = Pos(cp);
        EXPECT_GE(point.x, host.client.left);
        EXPECT_LE(point.x, host.client.right);
        EXPECT_GE(point.y, previous.y) << "positions never go back up";
        EXPECT_EQ(CharAt(point), cp);
        previous = point;
    }
    // Points outside the text land on the nearest line's ends.
    EXPECT_EQ(CharAt(POINT{host.client.left - 50, host.client.top - 50}), 0);
    EXPECT_EQ(CharAt(POINT{host.client.right + 50, host.client.bottom + 500}), length);
}

TEST_F(TextEngineTest, LineQueriesFollowWrappingAndBreaks) {
    host.client = RECT{0, 0, 90, 300};
    HostChanged();
    const std::wstring first = L"one two three four five six seven eight nine ten";
    SetText(first + L"\rshort");
    const LONG count = static_cast<LONG>(Send(EM_GETLINECOUNT));
    ASSERT_GT(count, 3) << "the first paragraph wraps at 90 pixels";
    LONG previousStart = -1;
    for (LONG line = 0; line < count; ++line) {
        SCOPED_TRACE(line);
        const auto start = static_cast<LONG>(Send(EM_LINEINDEX, static_cast<WPARAM>(line)));
        EXPECT_GT(start, previousStart);
        EXPECT_EQ(Send(EM_EXLINEFROMCHAR, 0, start), line);
        EXPECT_EQ(Send(EM_LINEFROMCHAR, static_cast<WPARAM>(start)), line);
        if (line > 0) {
            EXPECT_EQ(Send(EM_EXLINEFROMCHAR, 0, start - 1), line - 1);
        }
        previousStart = start;
    }
    EXPECT_EQ(previousStart, static_cast<LONG>(first.size()) + 1) << "the last line starts after the break";
    EXPECT_EQ(Send(EM_LINELENGTH, static_cast<WPARAM>(previousStart)), 5);
    EXPECT_EQ(Send(EM_LINEINDEX, static_cast<WPARAM>(count)), -1);

    // A wider text area wraps nothing: one line per paragraph.
    host.client.right = 2000;
    services->OnTxPropertyBitsChange(TXTBIT_CLIENTRECTCHANGE, TXTBIT_CLIENTRECTCHANGE);
    EXPECT_EQ(Send(EM_GETLINECOUNT), 2);
}

TEST_F(TextEngineTest, LineBreaksAreNormalisedAndCountedAsTheCallerAsks) {
    SetText(L"a\r\nb\nc\rd");
    EXPECT_EQ(Text(), L"a\rb\rc\rd");
    EXPECT_EQ(Text(GT_USECRLF), L"a\r\nb\r\nc\r\nd");
    EXPECT_EQ(Length(), 7);
    EXPECT_EQ(Length(GTL_USECRLF), 10);
    EXPECT_EQ(Send(WM_GETTEXTLENGTH), 10);
    Select(1, 1);
    Send(EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"x\ny"));
    EXPECT_EQ(Text(), L"ax\ry\rb\rc\rd");
    EXPECT_EQ(Send(EM_GETLINECOUNT), 5);
    // A buffer too small gets what fits, terminated.
    wchar_t small[4] = {L'#', L'#', L'#', L'#'};
    GETTEXTEX request;
    request.cb = sizeof(small);
    EXPECT_EQ(Send(EM_GETTEXTEX, reinterpret_cast<WPARAM>(&request), reinterpret_cast<LPARAM>(small)), 3);
    EXPECT_EQ(std::wstring(small), L"ax\r");

    // A single-line text keeps what comes before the first break.
    host.bits &= ~TXTBIT_MULTILINE;
    HostChanged();
    SetText(L"first\r\nsecond");
    EXPECT_EQ(Text(), L"first");
    Send(EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L" more\nlost"));
    EXPECT_EQ(Text(), L" morefirst");
    HRESULT hr = S_OK;
    Send(WM_KEYDOWN, VK_RETURN, 0, &hr);
    EXPECT_EQ(hr, S_FALSE) << "Enter is not for a single-line text";
}

TEST_F(TextEngineTest, ACharacterOutsideTheBasicPlaneCountsAsOne) {
    services->TxSendMessage(WM_SETFOCUS, 0, 0, nullptr);
    Send(WM_CHAR, 0x1F600);  // as one character
    Send(WM_CHAR, 0xD83D);   // and as UTF-16 halves
    Send(WM_CHAR, 0xDE80);
    Type(L"中");
    EXPECT_EQ(Text(), L"😀🚀中");
    EXPECT_EQ(Length(), 3);
    Key(VK_LEFT);
    Key(VK_LEFT);
    EXPECT_EQ(Selection().cpMin, 1);
    Key(VK_BACK);
    EXPECT_EQ(Text(), L"🚀中");
    Select(0, 1);
    EXPECT_EQ(SelectedText(), L"🚀");
    GETTEXTLENGTHEX bytes{GTL_NUMBYTES, CP_UTF8};
    EXPECT_EQ(Send(EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&bytes)), 7) << "4 + 3 bytes in UTF-8";
}

TEST_F(TextEngineTest, UndoAndRedoReportWhetherTheyActed) {
    EXPECT_EQ(Send(EM_UNDO), 0);
    EXPECT_EQ(Send(EM_REDO), 0);
    Type(L"abc");
    EXPECT_EQ(Send(EM_UNDO), 1) << "typing merges into one step";
    EXPECT_EQ(Text(), L"");
    EXPECT_EQ(Send(EM_REDO), 1);
    EXPECT_EQ(Text(), L"abc");
    EXPECT_EQ(Send(EM_REDO), 0);

    // Undo gives back the replaced text, selected.
    Select(1, 2);
    Type(L"X");
    EXPECT_EQ(Text(), L"aXc");
    EXPECT_EQ(Send(EM_UNDO), 1);
    EXPECT_EQ(Text(), L"abc");
    EXPECT_EQ(Selection().cpMin, 1);
    EXPECT_EQ(Selection().cpMax, 2);

    // A change that cannot be undone leaves nothing older to undo at stale positions.
    Select(0, 0);
    Send(EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L">>"));
    EXPECT_EQ(Send(EM_CANUNDO), 0);
    EXPECT_EQ(Send(EM_UNDO), 0);
    EXPECT_EQ(Text(), L">>abc");
}

TEST_F(TextEngineTest, MaximumLengthHoldsForEveryWayIn) {
    Send(EM_SETEVENTMASK, 0, ENM_CHANGE);
    host.maxLength = 5;
    services->OnTxPropertyBitsChange(TXTBIT_MAXLENGTHCHANGE, TXTBIT_MAXLENGTHCHANGE);
    Type(L"abcdefg");
    EXPECT_EQ(Text(), L"abcde");
    EXPECT_EQ(host.Count(EN_MAXTEXT), 2);
    Select(1, 3);
    Send(EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"WXYZ"));
    EXPECT_EQ(Text(), L"aWXde") << "a replacement may use the room it frees, no more";
    PutOnClipboard(L"0123456789");
    Select(5, 5);
    Send(WM_PASTE);
    EXPECT_EQ(Text(), L"aWXde");
    Select(0, 2);
    Send(WM_PASTE);
    EXPECT_EQ(Text(), L"01Xde");
    SetText(L"123456789");
    EXPECT_EQ(Text(), L"12345");

    // No limit from the host means the default one, not "nothing fits".
    host.maxLength = 0;
    services->OnTxPropertyBitsChange(TXTBIT_MAXLENGTHCHANGE, TXTBIT_MAXLENGTHCHANGE);
    Select(5, 5);
    Type(L"678");
    EXPECT_EQ(Text(), L"12345678");
}

TEST_F(TextEngineTest, ReadOnlyTextRefusesTheUserButNotTheProgram) {
    SetText(L"keep");
    host.bits |= TXTBIT_READONLY;
    services->OnTxPropertyBitsChange(TXTBIT_READONLY, TXTBIT_READONLY);
    PutOnClipboard(L"pasted");
    Select(0, 4);
    Type(L"x");
    Key(VK_BACK);
    Key(VK_DELETE);
    Key(VK_RETURN);
    Send(WM_CUT);
    Send(WM_PASTE);
    Send(WM_CLEAR);
    EXPECT_EQ(Text(), L"keep");
    EXPECT_EQ(ClipboardText(), L"pasted");
    Send(WM_COPY);
    EXPECT_EQ(ClipboardText(), L"keep");
    Key(VK_RIGHT);
    EXPECT_EQ(Selection().cpMin, 4) << "moving the caret still works";
    Send(EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L"!"));
    EXPECT_EQ(Text(), L"keep!");
}

TEST_F(TextEngineTest, PasswordTextStaysOffTheClipboard) {
    SetText(L"secret\rtwo");
    host.bits |= TXTBIT_USEPASSWORD;
    services->OnTxPropertyBitsChange(TXTBIT_USEPASSWORD, TXTBIT_USEPASSWORD);
    PutOnClipboard(L"before");
    Select(0, -1);
    Send(WM_COPY);
    Send(WM_CUT);
    Key(VK_DELETE);  // with Shift this would cut; plain Delete deletes
    EXPECT_EQ(ClipboardText(), L"before");
    EXPECT_EQ(Text(), L"");
    Send(WM_PASTE);
    EXPECT_EQ(Text(), L"before") << "pasting into a password is fine";
}

TEST_F(TextEngineTest, ScrollRangesAreTheContentAndPositionsStayInside) {
    host.scrollBars = WS_VSCROLL | ES_DISABLENOSCROLL;
    services->OnTxPropertyBitsChange(TXTBIT_SCROLLBARCHANGE, TXTBIT_SCROLLBARCHANGE);
    std::wstring tall;
    for (int i = 0; i < 30; ++i)
        tall += L"line " + std::to_wstring(i) + L"\r";
    SetText(tall);
    LONG width = host.client.right - host.client.left, content = 0;
    const SIZEL extent{-1, -1};
    services->TxGetNaturalSize(DVASPECT_CONTENT, nullptr, nullptr, nullptr, TXTNS_FITTOCONTENT, &extent, &width,
                               &content);
    int maxPosition = 0;
    EXPECT_EQ(host.LastScroll("range", SB_VERT, &maxPosition), 0);
    EXPECT_EQ(maxPosition, content);
    EXPECT_GT(content, ClientHeight());
    EXPECT_EQ(host.LastScroll("enable", SB_VERT), static_cast<int>(ESB_ENABLE_BOTH));

    const struct {
        const char* why;
        WPARAM wParam;
        int expected;
    } cases[] = {
        {"bottom", SB_BOTTOM, content - ClientHeight()},
        {"top", SB_TOP, 0},
        {"thumb past the end", MakeScrollWParam(SB_THUMBPOSITION, 1'000'000), content - ClientHeight()},
        {"thumb inside", MakeScrollWParam(SB_THUMBTRACK, 37), 37},
        {"a page up from 37", SB_PAGEUP, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        Send(WM_VSCROLL, c.wParam);
        EXPECT_EQ(host.LastScroll("pos", SB_VERT), c.expected);
        const LONG first = static_cast<LONG>(Send(EM_GETFIRSTVISIBLELINE));
        EXPECT_EQ(Send(EM_EXLINEFROMCHAR, 0, CharAt(POINT{host.client.left, host.client.top})), first);
    }

    // Content that fits disables the bar and scrolls back.
    Send(WM_VSCROLL, SB_BOTTOM);
    SetText(L"short");
    EXPECT_EQ(host.LastScroll("enable", SB_VERT), static_cast<int>(ESB_DISABLE_BOTH));
    EXPECT_EQ(host.LastScroll("pos", SB_VERT), 0);

    // Without "disabled instead of hidden" the bar is shown and hidden.
    host.scrollBars = WS_VSCROLL;
    services->OnTxPropertyBitsChange(TXTBIT_SCROLLBARCHANGE, TXTBIT_SCROLLBARCHANGE);
    SetText(tall);
    EXPECT_EQ(host.LastScroll("show", SB_VERT), TRUE);

    // Lines that do not wrap scroll sideways over the widest line.
    host.bits &= ~TXTBIT_WORDWRAP;
    host.scrollBars = WS_HSCROLL;
    HostChanged();
    SetText(L"a line much wider than the two hundred pixels of the text area, by far");
    EXPECT_EQ(host.LastScroll("show", SB_HORZ), TRUE);
    host.LastScroll("range", SB_HORZ, &maxPosition);
    EXPECT_GT(maxPosition, host.client.right - host.client.left);
    Send(WM_HSCROLL, SB_RIGHT);
    EXPECT_EQ(host.LastScroll("pos", SB_HORZ), maxPosition - (host.client.right - host.client.left));
}

TEST_F(TextEngineTest, CallbacksSeeTheFinishedStateAndMayCallBackIn) {
    Send(EM_SETEVENTMASK, 0, ENM_CHANGE | ENM_SELCHANGE);
    std::vector<std::wstring> textsAtChange;
    host.onNotify = [&](DWORD code) {
        if (code == EN_CHANGE) textsAtChange.push_back(Text());
    };
    int caretChecks = 0;
    host.onSetCaretPos = [&](int x, int y) {
        const CHARRANGE selection = Selection();
        const POINT point = Pos(selection.cpMax);
        EXPECT_EQ(point.x, x);
        EXPECT_EQ(point.y, y);
        ++caretChecks;
    };
    services->TxSendMessage(WM_SETFOCUS, 0, 0, nullptr);
    Type(L"ab");
    Key(VK_RETURN);
    Type(L"c");
    EXPECT_EQ(textsAtChange, (std::vector<std::wstring>{L"a", L"ab", L"ab\r", L"ab\rc"}));
    EXPECT_EQ(caretChecks, 5);
    ASSERT_FALSE(host.notifications.empty());
    EXPECT_EQ(host.Count(EN_SELCHANGE), 4);
    EXPECT_EQ(host.caretShows - host.caretHides, 1) << "the caret ends up shown once";
}

TEST_F(TextEngineTest, NotificationsFollowTheEventMaskAndKeysMayBeFiltered) {
    Type(L"abc");
    Select(1, 3);
    EXPECT_TRUE(host.notifications.empty()) << "nothing is asked for by default";

    // A host may drop key messages it filters.
    Send(EM_SETEVENTMASK, 0, ENM_KEYEVENTS);
    host.notifyAnswer = S_FALSE;
    Type(L"z");
    EXPECT_EQ(Text(), L"abc");
    EXPECT_EQ(host.Count(EN_MSGFILTER), 1);
    host.notifyAnswer = S_OK;
    Type(L"z");
    EXPECT_EQ(Text(), L"az") << "the selection was \"bc\"";
}
