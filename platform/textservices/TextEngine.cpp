#include "platform/textservices/TextEngine.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/TextLayout.h"
#include "platform/window/DisplayTypes.h"
#include "platform/window/Screen.h"

namespace platform::textservices {
namespace {

constexpr int kTwipsPerInch = 1440;
constexpr int kPixelsPerInch = 96;
constexpr LONG kDefaultTabTwips = 720;
constexpr int kDefaultFontPixels = 12;
constexpr DWORD kBooleanBits = TXTBIT_RICHTEXT | TXTBIT_MULTILINE | TXTBIT_READONLY | TXTBIT_SHOWACCELERATOR |
                               TXTBIT_USEPASSWORD | TXTBIT_HIDESELECTION | TXTBIT_SAVESELECTION | TXTBIT_AUTOWORDSEL |
                               TXTBIT_VERTICAL | TXTBIT_WORDWRAP | TXTBIT_ALLOWBEEP | TXTBIT_DISABLEDRAG;
constexpr DWORD kRectBits = TXTBIT_VIEWINSETCHANGE | TXTBIT_CLIENTRECTCHANGE | TXTBIT_EXTENTCHANGE;

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

void SetSourceColour(cairo_t* cr, COLORREF colour) {
    cairo_set_source_rgb(cr, (colour & 0xFF) / 255.0, ((colour >> 8) & 0xFF) / 255.0, ((colour >> 16) & 0xFF) / 255.0);
}

}  // namespace

CTextEngine::CTextEngine(ITextHost* host) : m_host(host) {
    m_host->TxGetPropertyBits(kBooleanBits, &m_bits);
    m_bits &= kBooleanBits;
    m_host->TxGetScrollBars(&m_scrollBars);
    m_host->TxGetBackStyle(&m_backStyle);
    m_host->TxGetPasswordChar(&m_passwordChar);
    ReadCharFormat();
    ReadParaFormat();
    ReadMaxLength();
    ReadClientRect();
    RebuildStyle();
}

CTextEngine::~CTextEngine() {
    if (m_font != nullptr) pango_font_description_free(m_font);
}

HRESULT CTextEngine::QueryInterface(REFIID iid, void** object) noexcept {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!(iid == IID_IUnknown) && !(iid == IID_ITextServices)) return E_NOINTERFACE;
    *object = static_cast<ITextServices*>(this);
    AddRef();
    return S_OK;
}

ULONG CTextEngine::AddRef() noexcept {
    return ++m_references;
}

ULONG CTextEngine::Release() noexcept {
    const ULONG left = --m_references;
    if (left == 0) delete this;
    return left;
}

// ---------------------------------------------------------------------------------------------
// Host properties

void CTextEngine::ReadCharFormat() {
    const CHARFORMAT2W* format = nullptr;
    if (SUCCEEDED(m_host->TxGetCharFormat(&format)) && format != nullptr) {
        m_charFormat = *format;
    } else {
        m_charFormat = CHARFORMAT2W{};
        m_charFormat.dwEffects = CFE_AUTOCOLOR;
    }
}

void CTextEngine::ReadParaFormat() {
    const PARAFORMAT2* format = nullptr;
    if (SUCCEEDED(m_host->TxGetParaFormat(&format)) && format != nullptr) {
        m_paraFormat = *format;
    } else {
        m_paraFormat = PARAFORMAT2{};
    }
}

void CTextEngine::ReadMaxLength() {
    DWORD length = 0;
    if (FAILED(m_host->TxGetMaxLength(&length))) length = 0;
    const auto signedLength = static_cast<LONG>(length);
    m_maxLength = signedLength > 0 ? signedLength : kDefaultMaxLength;
}

void CTextEngine::ReadClientRect() {
    RECT client{};
    if (FAILED(m_host->TxGetClientRect(&client))) client = RECT{};
    RECT inset{};
    if (FAILED(m_host->TxGetViewInset(&inset))) inset = RECT{};
    m_client = client;
    m_inset = inset;
}

RECT CTextEngine::ViewRect() const {
    RECT view{m_client.left + m_inset.left, m_client.top + m_inset.top, m_client.right - m_inset.right,
              m_client.bottom - m_inset.bottom};
    if (view.right < view.left) view.right = view.left;
    if (view.bottom < view.top) view.bottom = view.top;
    return view;
}

int CTextEngine::ViewWidth() const {
    const RECT view = ViewRect();
    return view.right - view.left;
}

int CTextEngine::ViewHeight() const {
    const RECT view = ViewRect();
    return view.bottom - view.top;
}

void CTextEngine::RebuildStyle() {
    const int zoomNumerator = m_zoomNumerator > 0 ? m_zoomNumerator : 1;
    const int zoomDenominator = m_zoomDenominator > 0 ? m_zoomDenominator : 1;
    auto scale = [&](double pixels) { return pixels * zoomNumerator / zoomDenominator; };

    LOGFONTW logFont;
    int pixels = kDefaultFontPixels;
    if ((m_charFormat.dwMask & CFM_SIZE) != 0 && m_charFormat.yHeight > 0) {
        pixels =
            static_cast<int>(std::lround(m_charFormat.yHeight * static_cast<double>(kPixelsPerInch) / kTwipsPerInch));
    }
    logFont.lfHeight = -std::max(1, static_cast<int>(std::lround(scale(pixels))));
    const bool bold = (m_charFormat.dwMask & CFM_BOLD) != 0 && (m_charFormat.dwEffects & CFE_BOLD) != 0;
    logFont.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    logFont.lfItalic = (m_charFormat.dwMask & CFM_ITALIC) != 0 && (m_charFormat.dwEffects & CFE_ITALIC) != 0;
    logFont.lfCharSet = m_charFormat.bCharSet;
    if ((m_charFormat.dwMask & CFM_FACE) != 0) {
        for (int i = 0; i < LF_FACESIZE - 1 && i < kFaceNameLength && m_charFormat.szFaceName[i] != 0; ++i)
            logFont.lfFaceName[i] = m_charFormat.szFaceName[i];
    }
    const gdi::FontObject font(logFont);
    if (m_font != nullptr) pango_font_description_free(m_font);
    m_font = pango_font_description_copy(font.Description());

    LayoutStyle style;
    style.font = m_font;
    style.underline = (m_charFormat.dwMask & CFM_UNDERLINE) != 0 && (m_charFormat.dwEffects & CFE_UNDERLINE) != 0;
    style.strikeout = (m_charFormat.dwMask & CFM_STRIKEOUT) != 0 && (m_charFormat.dwEffects & CFE_STRIKEOUT) != 0;
    style.wrapWidth = WordWrap() ? ViewWidth() : 0;
    style.alignment = PANGO_ALIGN_LEFT;
    if ((m_paraFormat.dwMask & PFM_ALIGNMENT) != 0) {
        if (m_paraFormat.wAlignment == PFA_CENTER) style.alignment = PANGO_ALIGN_CENTER;
        if (m_paraFormat.wAlignment == PFA_RIGHT) style.alignment = PANGO_ALIGN_RIGHT;
    }
    style.alignWidth = ViewWidth();
    if ((m_paraFormat.dwMask & PFM_TABSTOPS) != 0) {
        const int count = std::clamp<int>(m_paraFormat.cTabCount, 0, MAX_TAB_STOPS);
        for (int i = 0; i < count; ++i) {
            const LONG twips = m_paraFormat.rgxTabs[i] & 0x00FFFFFF;  // the top byte holds the tab's kind
            const int stop =
                static_cast<int>(std::lround(scale(twips * static_cast<double>(kPixelsPerInch) / kTwipsPerInch)));
            if (stop > 0 && (style.tabStops.empty() || stop > style.tabStops.back())) style.tabStops.push_back(stop);
        }
    }
    style.tabInterval = std::max(
        1,
        static_cast<int>(std::lround(scale(kDefaultTabTwips * static_cast<double>(kPixelsPerInch) / kTwipsPerInch))));
    if (Bit(TXTBIT_USEPASSWORD)) style.mask = m_passwordChar != 0 ? m_passwordChar : L'*';
    m_layout.SetStyle(style);
    m_invalidAll = true;
}

HRESULT CTextEngine::OnTxPropertyBitsChange(DWORD mask, DWORD bits) {
    const DWORD old = m_bits;
    m_bits = (m_bits & ~(mask & kBooleanBits)) | (bits & mask & kBooleanBits);
    const DWORD changed = old ^ m_bits;
    bool restyle = (changed & (TXTBIT_USEPASSWORD | TXTBIT_WORDWRAP | TXTBIT_MULTILINE)) != 0;
    if ((mask & TXTBIT_CHARFORMATCHANGE) != 0) {
        ReadCharFormat();
        restyle = true;
    }
    if ((mask & TXTBIT_PARAFORMATCHANGE) != 0) {
        ReadParaFormat();
        restyle = true;
    }
    if ((mask & TXTBIT_MAXLENGTHCHANGE) != 0) ReadMaxLength();
    if ((mask & kRectBits) != 0) {
        const RECT oldView = ViewRect();
        ReadClientRect();
        const RECT view = ViewRect();
        if (!SameRect(oldView, view)) {
            // Lines break at the view's width, and alignment is measured in it.
            const bool widthMatters = WordWrap() || m_layout.Style().alignment != PANGO_ALIGN_LEFT;
            if (widthMatters && oldView.right - oldView.left != view.right - view.left) restyle = true;
            m_invalidAll = true;
        }
    }
    if ((mask & TXTBIT_BACKSTYLECHANGE) != 0) {
        m_host->TxGetBackStyle(&m_backStyle);
        m_invalidAll = true;
    }
    if ((mask & TXTBIT_SCROLLBARCHANGE) != 0) {
        m_host->TxGetScrollBars(&m_scrollBars);
        m_toldVertical = ToldBar{};
        m_toldHorizontal = ToldBar{};
    }
    if ((changed & (TXTBIT_HIDESELECTION | TXTBIT_READONLY)) != 0) m_invalidAll = true;
    if (restyle) RebuildStyle();
    Update();
    return S_OK;
}

HRESULT CTextEngine::OnTxInPlaceActivate(const RECT* /*client*/) {
    m_inPlaceActive = true;
    const RECT oldView = ViewRect();
    ReadClientRect();
    if (!SameRect(oldView, ViewRect())) {
        if (WordWrap() || m_layout.Style().alignment != PANGO_ALIGN_LEFT) RebuildStyle();
        m_invalidAll = true;
    }
    Update();
    return S_OK;
}

HRESULT CTextEngine::OnTxInPlaceDeactivate() {
    m_inPlaceActive = false;
    if (m_mouseSelecting) {
        m_mouseSelecting = false;
        m_host->TxSetCapture(FALSE);
    }
    HideCaret();
    return S_OK;
}

HRESULT CTextEngine::TxGetDropTarget(IDropTarget** target) {
    if (target == nullptr) return E_INVALIDARG;
    // Nothing on this platform drags text between programs, so there is nothing to drop.
    *target = nullptr;
    return E_NOTIMPL;
}

HRESULT CTextEngine::TxSetText(LPCWSTR text) {
    SetText(text != nullptr ? std::wstring_view(text) : std::wstring_view());
    Update();
    return S_OK;
}

HRESULT CTextEngine::TxGetNaturalSize(DWORD /*drawAspect*/, HDC /*draw*/, HDC /*targetDc*/, void* /*targetDevice*/,
                                      DWORD mode, const SIZEL* /*extent*/, LONG* width, LONG* height) {
    if (width == nullptr || height == nullptr) return E_INVALIDARG;
    if ((mode & (TXTNS_FITTOCONTENT | TXTNS_ROUNDTOLINE)) == 0) return E_INVALIDARG;
    const int insetWidth = m_inset.left + m_inset.right;
    const int insetHeight = m_inset.top + m_inset.bottom;
    const int available = static_cast<int>(*width) - insetWidth;
    int contentHeight = 0;
    int contentWidth = 0;
    if (WordWrap()) {
        contentHeight = m_layout.HeightAtWidth(std::max(1, available));
        contentWidth = std::max(0, available);
    } else {
        contentHeight = m_layout.ContentHeight();
        contentWidth = m_layout.ContentWidth() + kCaretWidth;
    }
    *width = contentWidth + insetWidth;
    *height = contentHeight + insetHeight;
    return S_OK;
}

HRESULT CTextEngine::OnTxSetCursor(DWORD /*drawAspect*/, LONG /*index*/, void* /*aspectInfo*/, void* /*targetDevice*/,
                                   HDC /*draw*/, HDC /*targetDc*/, const RECT* client, INT x, INT y) {
    const RECT area = client != nullptr ? *client : m_client;
    if (x < area.left || x >= area.right || y < area.top || y >= area.bottom) return S_FALSE;
    m_host->TxSetCursor(LoadCursorW(nullptr, IDC_IBEAM), TRUE);
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// Text and selection

int CTextEngine::Room(int replaced) const {
    return std::max(0, m_maxLength - (m_store.Length() - replaced));
}

std::wstring CTextEngine::Incoming(std::wstring_view text) const {
    std::wstring normalised = CTextStore::Normalise(text);
    if (!Bit(TXTBIT_MULTILINE)) {
        const size_t cut = normalised.find(kParagraphBreak);
        if (cut != std::wstring::npos) normalised.resize(cut);
    }
    return normalised;
}

void CTextEngine::InvalidateFrom(int paragraph) {
    const int top = m_layout.ParagraphTop(paragraph);
    m_invalidTop = m_invalidTop < 0 ? top : std::min(m_invalidTop, top);
}

void CTextEngine::ReplaceRange(int start, int end, const std::wstring& text, Undoable undoable, UndoRecord::Kind kind) {
    start = std::clamp(start, 0, m_store.Length());
    end = std::clamp(end, start, m_store.Length());
    if (start == end && text.empty()) return;
    std::wstring removed = undoable == Undoable::Yes ? m_store.Text(start, end) : std::wstring();
    PutText(start, end, text);
    if (undoable == Undoable::Yes) {
        m_undo.Record(UndoRecord{start, std::move(removed), text, kind});
    } else {
        // Positions in older records no longer match the text.
        m_undo.Clear();
    }
}

void CTextEngine::PutText(int start, int end, const std::wstring& text) {
    const CTextStore::Change change = m_store.Replace(start, end, text);
    m_layout.ApplyChange(change);
    m_anchor = m_active = start + static_cast<int>(text.size());
    m_desiredX = -1;
    m_textChanged = true;
    m_followCaret = true;
    InvalidateFrom(change.first);
}

bool CTextEngine::ReplaceSelection(std::wstring text, Undoable undoable, UndoRecord::Kind kind) {
    const int start = SelectionStart();
    const int end = SelectionEnd();
    const int room = Room(end - start);
    bool fitted = true;
    if (static_cast<int>(text.size()) > room) {
        text.resize(static_cast<size_t>(room));
        fitted = false;
        m_host->TxNotify(EN_MAXTEXT, nullptr);
    }
    if (!fitted && text.empty()) return false;
    ReplaceRange(start, end, text, undoable, kind);
    return true;
}

void CTextEngine::SetText(std::wstring_view text) {
    std::wstring incoming = Incoming(text);
    if (static_cast<int>(incoming.size()) > m_maxLength) incoming.resize(static_cast<size_t>(m_maxLength));
    const CTextStore::Change change = m_store.Replace(0, m_store.Length(), incoming);
    m_layout.ApplyChange(change);
    m_undo.Clear();
    m_anchor = m_active = 0;
    m_desiredX = -1;
    m_scrollX = m_scrollY = 0;
    m_textChanged = true;
    m_invalidAll = true;
}

void CTextEngine::Select(int anchor, int active) {
    const int length = m_store.Length();
    m_anchor = std::clamp(anchor, 0, length);
    m_active = std::clamp(active, 0, length);
    m_undo.StopMerging();
    m_followCaret = true;
    m_invalidAll = true;
}

void CTextEngine::MoveActive(int cp, Extend extend) {
    Select(extend == Extend::Yes ? m_anchor : cp, cp);
}

void CTextEngine::SelectRange(LONG cpMin, LONG cpMax) {
    const int length = m_store.Length();
    if (cpMin == 0 && cpMax == -1) {
        Select(0, length);
    } else if (cpMin < 0) {
        Select(m_active, m_active);
    } else {
        Select(cpMin, cpMax < 0 ? length : cpMax);
    }
    m_desiredX = -1;
}

bool CTextEngine::Undo() {
    UndoRecord record;
    if (!m_undo.TakeUndo(&record)) return false;
    PutText(record.start, record.start + static_cast<int>(record.inserted.size()), record.removed);
    // The restored text comes back selected.
    m_anchor = record.start;
    return true;
}

bool CTextEngine::Redo() {
    UndoRecord record;
    if (!m_undo.TakeRedo(&record)) return false;
    PutText(record.start, record.start + static_cast<int>(record.removed.size()), record.inserted);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Telling the host

void CTextEngine::Update() {
    if (!m_inPlaceActive || ViewWidth() <= 0 || ViewHeight() <= 0) {
        // Nothing is on screen: only the notifications are due.
        TellNotifications();
        return;
    }
    TellScrollBars();
    ClampScroll();
    FollowCaret();
    TellScrollPositions();
    TellInvalidation();
    TellCaret();
    TellNotifications();
}

void CTextEngine::ClampScroll() {
    const int maxY = std::max(0, m_layout.ContentHeight() - ViewHeight());
    const int maxX = WordWrap() ? 0 : std::max(0, m_layout.ContentWidth() + kCaretWidth - ViewWidth());
    const int y = std::clamp(m_scrollY, 0, maxY);
    const int x = std::clamp(m_scrollX, 0, maxX);
    if (x != m_scrollX || y != m_scrollY) m_invalidAll = true;
    m_scrollX = x;
    m_scrollY = y;
}

void CTextEngine::FollowCaret() {
    if (!m_followCaret) return;
    m_followCaret = false;
    int lineHeight = 0;
    const POINT caret = m_layout.CaretPoint(m_active, &lineHeight);
    const int viewWidth = ViewWidth();
    const int viewHeight = ViewHeight();
    int x = m_scrollX;
    int y = m_scrollY;
    if (caret.y < y) y = caret.y;
    if (caret.y + lineHeight > y + viewHeight) y = caret.y + lineHeight - viewHeight;
    if (!WordWrap()) {
        // Jump a quarter of the view, so typing at the edge does not scroll every character.
        if (caret.x < x) x = std::max(0, caret.x - viewWidth / 4);
        if (caret.x + kCaretWidth > x + viewWidth) x = caret.x + kCaretWidth - viewWidth + viewWidth / 4;
    }
    if (x != m_scrollX || y != m_scrollY) {
        m_scrollX = x;
        m_scrollY = y;
        m_invalidAll = true;
        ClampScroll();
    }
}

void CTextEngine::TellBar(int bar, int content, int view, ToldBar& told) {
    if (told.known && told.content == content && told.view == view) return;
    told.known = true;
    told.content = content;
    told.view = view;
    const bool needed = content > view;
    if ((m_scrollBars & ES_DISABLENOSCROLL) != 0) {
        m_host->TxEnableScrollBar(bar, needed ? ESB_ENABLE_BOTH : ESB_DISABLE_BOTH);
    } else {
        m_host->TxShowScrollBar(bar, needed ? TRUE : FALSE);
    }
    m_host->TxSetScrollRange(bar, 0, content, TRUE);
}

void CTextEngine::TellScrollBars() {
    if ((m_scrollBars & WS_VSCROLL) != 0) TellBar(SB_VERT, m_layout.ContentHeight(), ViewHeight(), m_toldVertical);
    if ((m_scrollBars & WS_HSCROLL) != 0 && !WordWrap()) {
        TellBar(SB_HORZ, m_layout.ContentWidth() + kCaretWidth, ViewWidth(), m_toldHorizontal);
    }
}

void CTextEngine::TellScrollPositions() {
    if ((m_scrollBars & WS_VSCROLL) != 0 && (!m_toldVertical.positionKnown || m_toldVertical.position != m_scrollY)) {
        m_toldVertical.positionKnown = true;
        m_toldVertical.position = m_scrollY;
        m_host->TxSetScrollPos(SB_VERT, m_scrollY, TRUE);
    }
    if ((m_scrollBars & WS_HSCROLL) != 0 && !WordWrap() &&
        (!m_toldHorizontal.positionKnown || m_toldHorizontal.position != m_scrollX)) {
        m_toldHorizontal.positionKnown = true;
        m_toldHorizontal.position = m_scrollX;
        m_host->TxSetScrollPos(SB_HORZ, m_scrollX, TRUE);
    }
}

void CTextEngine::TellInvalidation() {
    if (m_invalidAll) {
        m_invalidAll = false;
        m_invalidTop = -1;
        m_host->TxInvalidateRect(nullptr, FALSE);
        m_host->TxViewChange(TRUE);
        return;
    }
    if (m_invalidTop < 0) return;
    const RECT view = ViewRect();
    RECT area = view;
    area.top = std::max<LONG>(view.top, view.top + m_invalidTop - m_scrollY);
    m_invalidTop = -1;
    if (area.top < area.bottom) m_host->TxInvalidateRect(&area, FALSE);
}

void CTextEngine::HideCaret() {
    if (!m_caretShown) return;
    m_caretShown = false;
    m_host->TxShowCaret(FALSE);
}

void CTextEngine::TellCaret() {
    if (!m_focused || !SelectionEmpty()) {
        HideCaret();
        return;
    }
    int lineHeight = 0;
    const POINT caret = ToClient(m_layout.CaretPoint(m_active, &lineHeight));
    const RECT view = ViewRect();
    if (caret.y + lineHeight <= view.top || caret.y >= view.bottom || caret.x < view.left - kCaretWidth ||
        caret.x > view.right) {
        HideCaret();
        return;
    }
    if (!m_caretCreated || lineHeight != m_caretHeight) {
        // A new caret starts hidden, wherever the old one stood.
        m_caretCreated = true;
        m_caretShown = false;
        m_caretHeight = lineHeight;
        m_toldCaret = POINT{-1, -1};
        m_host->TxCreateCaret(nullptr, kCaretWidth, lineHeight);
    }
    if (caret.x != m_toldCaret.x || caret.y != m_toldCaret.y) {
        m_toldCaret = caret;
        m_host->TxSetCaretPos(caret.x, caret.y);
    }
    if (!m_caretShown && m_focused && SelectionEmpty()) {
        m_caretShown = true;
        m_host->TxShowCaret(TRUE);
    }
}

void CTextEngine::TellNotifications() {
    if (m_textChanged) {
        m_textChanged = false;
        if ((m_eventMask & ENM_CHANGE) != 0) m_host->TxNotify(EN_CHANGE, nullptr);
    }
    const CHARRANGE selection{SelectionStart(), SelectionEnd()};
    if (selection.cpMin != m_toldSelection.cpMin || selection.cpMax != m_toldSelection.cpMax) {
        m_toldSelection = selection;
        if ((m_eventMask & ENM_SELCHANGE) != 0) {
            SELCHANGE change;
            change.nmhdr.code = EN_SELCHANGE;
            change.chrg = selection;
            const int length = selection.cpMax - selection.cpMin;
            change.seltyp = length == 0 ? SEL_EMPTY : length == 1 ? SEL_TEXT : (SEL_TEXT | SEL_MULTICHAR);
            m_host->TxNotify(EN_SELCHANGE, &change);
        }
    }
    if ((m_eventMask & ENM_REQUESTRESIZE) != 0 && m_inPlaceActive) {
        const SIZE natural{WordWrap() ? ViewWidth() : m_layout.ContentWidth() + kCaretWidth, m_layout.ContentHeight()};
        if (natural.cx != m_toldNaturalSize.cx || natural.cy != m_toldNaturalSize.cy) {
            m_toldNaturalSize = natural;
            REQRESIZE request;
            request.nmhdr.code = EN_REQUESTRESIZE;
            request.rc =
                RECT{0, 0, natural.cx + m_inset.left + m_inset.right, natural.cy + m_inset.top + m_inset.bottom};
            m_host->TxNotify(EN_REQUESTRESIZE, &request);
        }
    }
}

POINT CTextEngine::ToDocument(POINT client) const {
    const RECT view = ViewRect();
    return POINT{client.x - view.left + m_scrollX, client.y - view.top + m_scrollY};
}

POINT CTextEngine::ToClient(POINT document) const {
    const RECT view = ViewRect();
    return POINT{document.x - m_scrollX + view.left, document.y - m_scrollY + view.top};
}

// ---------------------------------------------------------------------------------------------
// Drawing

HRESULT CTextEngine::TxDraw(DWORD /*drawAspect*/, LONG /*index*/, void* /*aspectInfo*/, void* /*targetDevice*/,
                            HDC draw, HDC /*targetDc*/, const RECT* bounds, const RECT* /*metafileBounds*/,
                            RECT* update, BOOL (* /*continueDrawing*/)(DWORD), DWORD /*continueParam*/,
                            LONG /*viewId*/) {
    const auto dc = gdi::LookupDc(draw);
    if (!dc) return E_INVALIDARG;
    // The text is placed by the host's client rectangle; `bounds` only moves it.
    const RECT client = bounds != nullptr ? *bounds : m_client;
    const RECT view{client.left + m_inset.left, client.top + m_inset.top, client.right - m_inset.right,
                    client.bottom - m_inset.bottom};
    RECT clip = view;
    if (update != nullptr) {
        clip.left = std::max(clip.left, update->left);
        clip.top = std::max(clip.top, update->top);
        clip.right = std::min(clip.right, update->right);
        clip.bottom = std::min(clip.bottom, update->bottom);
    }
    if (clip.left >= clip.right || clip.top >= clip.bottom) return S_OK;
    gdi::DcPainter painter(*dc, &clip);
    if (!painter) return S_OK;
    cairo_t* cr = painter.Cr();

    if (m_backStyle == TXTBACK_OPAQUE) {
        SetSourceColour(cr, m_host->TxGetSysColor(COLOR_WINDOW));
        cairo_rectangle(cr, clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top);
        cairo_fill(cr);
    }
    const bool autoColour = (m_charFormat.dwMask & CFM_COLOR) == 0 || (m_charFormat.dwEffects & CFE_AUTOCOLOR) != 0;
    const COLORREF textColour = autoColour ? m_host->TxGetSysColor(COLOR_WINDOWTEXT) : m_charFormat.crTextColor;
    const bool showSelection = !SelectionEmpty() && (m_focused || !Bit(TXTBIT_HIDESELECTION));
    const COLORREF highlight = m_host->TxGetSysColor(COLOR_HIGHLIGHT);
    const COLORREF highlightText = m_host->TxGetSysColor(COLOR_HIGHLIGHTTEXT);

    const int originX = view.left - m_scrollX;
    const int originY = view.top - m_scrollY;
    const int top = clip.top - originY;
    const int bottom = clip.bottom - originY;
    std::vector<RECT> selected;
    for (int p = m_layout.ParagraphAtY(top); p < m_store.ParagraphCount(); ++p) {
        const int paragraphTop = m_layout.ParagraphTop(p);
        if (paragraphTop >= bottom) break;
        const double x = originX;
        const double y = originY + paragraphTop;
        selected.clear();
        if (showSelection) {
            const int start = m_store.ParagraphStart(p);
            const int end = start + m_store.ParagraphLength(p) + 1;  // the break counts
            if (SelectionStart() < end && SelectionEnd() > start) {
                m_layout.SelectionRects(p, SelectionStart() - start, SelectionEnd() - start, &selected);
            }
        }
        SetSourceColour(cr, highlight);
        for (const RECT& r : selected)
            cairo_rectangle(cr, originX + r.left, originY + r.top, r.right - r.left, r.bottom - r.top);
        cairo_fill(cr);
        SetSourceColour(cr, textColour);
        m_layout.DrawParagraph(cr, p, x, y);
        if (!selected.empty()) {
            cairo_save(cr);
            for (const RECT& r : selected)
                cairo_rectangle(cr, originX + r.left, originY + r.top, r.right - r.left, r.bottom - r.top);
            cairo_clip(cr);
            SetSourceColour(cr, highlightText);
            m_layout.DrawParagraph(cr, p, x, y);
            cairo_restore(cr);
        }
    }
    return S_OK;
}

}  // namespace platform::textservices
