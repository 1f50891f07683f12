#include "ui/controls/TxtWinHost.h"

#include "platform/gdi/Gdi.h"
#include "platform/module/Module.h"
#include "platform/window/Caret.h"
#include "platform/window/MessageApi.h"
#include "platform/window/Screen.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowPos.h"
#include "ui/basic/ScrollBarUI.h"
#include "ui/controls/RichEditUI.h"
#include "ui/core/PaintManager.h"

namespace SkinUI {
namespace {

constexpr DWORD kScrollBarStyles = WS_VSCROLL | WS_HSCROLL | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_DISABLENOSCROLL;
constexpr int kHimetricPerInch = 2540;
constexpr int kTwipsPerInch = 1440;
constexpr LONG kDefaultTabTwips = 720;

COLORREF ColorRefFromArgb(DWORD argb) {
    return ((argb >> 16) & 0xFF) | (argb & 0xFF00) | ((argb & 0xFF) << 16);
}

int PixelsPerInchY(HDC dc) {
    const int dpi = dc != nullptr ? GetDeviceCaps(dc, LOGPIXELSY) : 0;
    return dpi > 0 ? dpi : 96;
}

void CopyFace(WCHAR* to, const WCHAR* from) {
    int i = 0;
    for (; i < kFaceNameLength - 1 && i < LF_FACESIZE && from[i] != 0; ++i)
        to[i] = from[i];
    to[i] = 0;
}

}  // namespace

HRESULT InitDefaultCharFormat(CRichEditUI* control, CHARFORMAT2W& format) {
    format = CHARFORMAT2W{};
    LOGFONTW logFont;
    CUIPaintManager* manager = control->GetOwnerManager();
    HFONT font = manager != nullptr ? manager->FontHandleAt(control->GetFontIndex()) : nullptr;
    if (font != nullptr) GetObjectW(font, sizeof(logFont), &logFont);
    format.cbSize = sizeof(CHARFORMAT2W);
    format.crTextColor = ColorRefFromArgb(control->GetTextColor());
    const int dpi = PixelsPerInchY(manager != nullptr ? manager->MeasureDC() : nullptr);
    format.yHeight = logFont.lfHeight * -kTwipsPerInch / dpi;
    format.yOffset = 0;
    format.dwEffects = 0;
    format.dwMask = CFM_SIZE | CFM_COLOR | CFM_FACE | CFM_OFFSET | CFM_CHARSET | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE;
    if (logFont.lfWeight >= FW_BOLD) format.dwEffects |= CFE_BOLD;
    if (logFont.lfItalic) format.dwEffects |= CFE_ITALIC;
    if (logFont.lfUnderline) format.dwEffects |= CFE_UNDERLINE;
    format.bCharSet = logFont.lfCharSet;
    format.bPitchAndFamily = logFont.lfPitchAndFamily;
    CopyFace(format.szFaceName, logFont.lfFaceName);
    return S_OK;
}

CTxtWinHost::CTxtWinHost() = default;

CTxtWinHost::~CTxtWinHost() {
    if (m_services != nullptr) {
        m_services->OnTxInPlaceDeactivate();
        m_services->Release();
        m_services = nullptr;
    }
}

HWND CTxtWinHost::PaintWindow() const {
    CUIPaintManager* manager = m_control != nullptr ? m_control->GetOwnerManager() : nullptr;
    return manager != nullptr ? manager->GetPaintWindow() : nullptr;
}

bool CTxtWinHost::Init(CRichEditUI* control, const CREATESTRUCTW* create) {
    m_control = control;
    m_references = 1;
    if (FAILED(InitDefaultCharFormat(control, m_charFormat))) return false;

    m_paraFormat = PARAFORMAT2{};
    m_paraFormat.cbSize = sizeof(PARAFORMAT2);
    m_paraFormat.dwMask = PFM_STARTINDENT | PFM_RIGHTINDENT | PFM_OFFSET | PFM_ALIGNMENT | PFM_TABSTOPS |
                          PFM_NUMBERING | PFM_RTLPARA | PFM_PAGEBREAKBEFORE | PFM_OFFSETINDENT;
    m_paraFormat.wAlignment = PFA_LEFT;
    m_paraFormat.cTabCount = 0;
    m_paraFormat.rgxTabs[0] = kDefaultTabTwips;

    m_style = ES_MULTILINE;
    m_richText = control->IsRich();
    // Copied as it stands: 0 or less is the text services' own default limit.
    m_maxLength = control->GetMaxChar();
    if (create != nullptr) {
        m_style = static_cast<DWORD>(create->style);
        if ((m_style & (ES_AUTOHSCROLL | WS_HSCROLL)) == 0) m_wordWrap = true;
    }
    if ((m_style & ES_CENTER) != 0) {
        m_paraFormat.wAlignment = PFA_CENTER;
    } else if ((m_style & ES_RIGHT) != 0) {
        m_paraFormat.wAlignment = PFA_RIGHT;
    }
    m_inPlaceActive = true;

    HMODULE module = LoadLibraryW(platform::kTextServicesModule);
    if (module == nullptr) return false;
    const auto create_services = reinterpret_cast<PCreateTextServices>(GetProcAddress(module, "CreateTextServices"));
    if (create_services == nullptr) return false;
    IUnknown* unknown = nullptr;
    if (FAILED(create_services(nullptr, this, &unknown)) || unknown == nullptr) return false;
    void* services = nullptr;
    const HRESULT asked = unknown->QueryInterface(IID_ITextServices, &services);
    unknown->Release();
    if (FAILED(asked) || services == nullptr) return false;
    m_services = static_cast<ITextServices*>(services);

    HWND window = PaintWindow();
    if (window != nullptr && (m_style & ES_DISABLENOSCROLL) == 0) {
        // The text services' bars are the control's own; the dialog gets no native bars.
        // (Windows here have no native scroll bars, so their ranges need no reset.)
        const LONG windowStyle = GetWindowLongW(window, GWL_STYLE);
        SetWindowLongW(window, GWL_STYLE, windowStyle & ~static_cast<LONG>(WS_VSCROLL | WS_HSCROLL));
    }
    if (create != nullptr && create->lpszName != nullptr) {
        if (FAILED(m_services->TxSetText(create->lpszName))) return false;
    }
    return true;
}

void CTxtWinHost::SetFont(HFONT font) {
    if (font == nullptr) return;
    LOGFONTW logFont;
    if (GetObjectW(font, sizeof(logFont), &logFont) == 0) return;
    CUIPaintManager* manager = m_control != nullptr ? m_control->GetOwnerManager() : nullptr;
    const int dpi = PixelsPerInchY(manager != nullptr ? manager->MeasureDC() : nullptr);
    m_charFormat.yHeight = logFont.lfHeight * -kTwipsPerInch / dpi;
    // The new font's effects replace the old one's.
    m_charFormat.dwEffects &= ~(CFE_BOLD | CFE_ITALIC | CFE_UNDERLINE);
    if (logFont.lfWeight >= FW_BOLD) m_charFormat.dwEffects |= CFE_BOLD;
    if (logFont.lfItalic) m_charFormat.dwEffects |= CFE_ITALIC;
    if (logFont.lfUnderline) m_charFormat.dwEffects |= CFE_UNDERLINE;
    m_charFormat.bCharSet = logFont.lfCharSet;
    m_charFormat.bPitchAndFamily = logFont.lfPitchAndFamily;
    CopyFace(m_charFormat.szFaceName, logFont.lfFaceName);
    if (m_services != nullptr) m_services->OnTxPropertyBitsChange(TXTBIT_CHARFORMATCHANGE, TXTBIT_CHARFORMATCHANGE);
}

void CTxtWinHost::SetTextColorRef(COLORREF colour) {
    m_charFormat.crTextColor = colour;
}

void CTxtWinHost::SetClientRect(const RECT& rect) {
    m_clientRect = rect;
    HDC dc = TxGetDC();
    const int dpiX = dc != nullptr && GetDeviceCaps(dc, LOGPIXELSX) > 0 ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
    const int dpiY = PixelsPerInchY(dc);
    m_extent.cx = MulDiv(rect.right - rect.left, kHimetricPerInch, dpiX);
    m_extent.cy = MulDiv(rect.bottom - rect.top, kHimetricPerInch, dpiY);
    if (m_services != nullptr) m_services->OnTxPropertyBitsChange(TXTBIT_VIEWINSETCHANGE, TXTBIT_VIEWINSETCHANGE);
}

void CTxtWinHost::ActivateInPlace(const RECT* rect) {
    m_inPlaceActive = true;
    if (m_services == nullptr || FAILED(m_services->OnTxInPlaceActivate(rect))) m_inPlaceActive = false;
}

bool CTxtWinHost::DoSetCursor(const POINT* point) {
    if (point == nullptr || m_services == nullptr) return false;
    const RECT& rc = m_clientRect;
    if (point->x < rc.left || point->x >= rc.right || point->y < rc.top || point->y >= rc.bottom) return false;
    m_services->OnTxSetCursor(DVASPECT_CONTENT, -1, nullptr, nullptr, TxGetDC(), nullptr,
                              m_inPlaceActive ? nullptr : &m_clientRect, point->x, point->y);
    return true;
}

// ---------------------------------------------------------------------------------------------
// IUnknown

HRESULT CTxtWinHost::QueryInterface(REFIID iid, void** object) noexcept {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!(iid == IID_IUnknown) && !(iid == IID_ITextHost)) return E_NOINTERFACE;
    AddRef();
    *object = static_cast<ITextHost*>(this);
    return S_OK;
}

ULONG CTxtWinHost::AddRef() noexcept {
    return ++m_references;
}

ULONG CTxtWinHost::Release() noexcept {
    const ULONG left = --m_references;
    if (left == 0) delete this;
    return left;
}

// ---------------------------------------------------------------------------------------------
// ITextHost

HDC CTxtWinHost::TxGetDC() {
    CUIPaintManager* manager = m_control != nullptr ? m_control->GetOwnerManager() : nullptr;
    return manager != nullptr ? manager->MeasureDC() : nullptr;
}

INT CTxtWinHost::TxReleaseDC(HDC /*hdc*/) {
    return TRUE;
}

BOOL CTxtWinHost::TxShowScrollBar(INT bar, BOOL show) {
    CScrollBarUI* vertical = m_control->GetVScrollBar();
    CScrollBarUI* horizontal = m_control->GetHScrollBar();
    const bool shown = show == TRUE;
    if ((bar == SB_VERT || bar == SB_BOTH) && vertical != nullptr) vertical->Show(shown);
    if ((bar == SB_HORZ || bar == SB_BOTH) && horizontal != nullptr) horizontal->Show(shown);
    return TRUE;
}

BOOL CTxtWinHost::TxEnableScrollBar(INT bars, INT arrows) {
    const bool enabled = arrows != static_cast<INT>(ESB_DISABLE_BOTH);
    if (bars == SB_VERT) {
        m_control->ConfigureScrollBars(true, m_control->GetHScrollBar() != nullptr);
        if (CScrollBarUI* bar = m_control->GetVScrollBar()) bar->Show(enabled);
    } else if (bars == SB_HORZ) {
        m_control->ConfigureScrollBars(m_control->GetVScrollBar() != nullptr, true);
        if (CScrollBarUI* bar = m_control->GetHScrollBar()) bar->Show(enabled);
    } else if (bars == SB_BOTH) {
        m_control->ConfigureScrollBars(true, true);
        if (CScrollBarUI* bar = m_control->GetVScrollBar()) bar->Show(enabled);
        if (CScrollBarUI* bar = m_control->GetHScrollBar()) bar->Show(enabled);
    }
    return TRUE;
}

BOOL CTxtWinHost::TxSetScrollRange(INT bar, LONG minPosition, INT maxPosition, BOOL /*redraw*/) {
    if (bar == SB_VERT) {
        CScrollBarUI* vertical = m_control->GetVScrollBar();
        if (vertical == nullptr) return TRUE;
        const long long range =
            static_cast<long long>(maxPosition) - minPosition - (m_clientRect.bottom - m_clientRect.top);
        if (range > 0) {
            vertical->Show(true);
            const int oldOffset = vertical->GetOffset();
            vertical->SetExtent(static_cast<int>(range));
            const int moved = oldOffset - vertical->GetOffset();
            // The children scroll with the text.
            if (moved != 0) {
                for (int i = 0; i < m_control->ChildCount(); ++i) {
                    CControlUI* child = m_control->GetChildAt(i);
                    RECT rect = child->GetBounds();
                    if (!child->IsShown() || rect.right == rect.left) continue;
                    rect.top += moved;
                    rect.bottom += moved;
                    child->SetBounds(rect);
                }
            }
        } else {
            vertical->Show(false);
        }
    } else if (bar == SB_HORZ) {
        CScrollBarUI* horizontal = m_control->GetHScrollBar();
        if (horizontal == nullptr) return TRUE;
        const long long range =
            static_cast<long long>(maxPosition) - minPosition - (m_clientRect.right - m_clientRect.left);
        if (range > 0) {
            horizontal->Show(true);
            horizontal->SetExtent(static_cast<int>(range));
        } else {
            horizontal->Show(false);
        }
    }
    return TRUE;
}

BOOL CTxtWinHost::TxSetScrollPos(INT bar, INT position, BOOL /*redraw*/) {
    if (bar == SB_VERT) {
        // Departs from the original behaviour: it put the view back to the bar, so the text
        // never scrolled to the caret; the bar (and the children) follow the text instead.
        if (m_control->GetVScrollBar() != nullptr) m_control->FollowTextScroll(position);
    } else if (bar == SB_HORZ) {
        if (CScrollBarUI* horizontal = m_control->GetHScrollBar()) horizontal->SetOffset(position);
    }
    return TRUE;
}

void CTxtWinHost::TxInvalidateRect(const RECT* rect, BOOL /*mode*/) {
    CUIPaintManager* manager = m_control->GetOwnerManager();
    if (manager != nullptr) manager->InvalidateArea(rect != nullptr ? *rect : m_clientRect);
}

void CTxtWinHost::TxViewChange(BOOL /*update*/) {
    if (m_control->HasVisibleWidth()) m_control->Repaint();
}

BOOL CTxtWinHost::TxCreateCaret(HBITMAP bitmap, INT width, INT height) {
    return CreateCaret(PaintWindow(), bitmap, width, height);
}

BOOL CTxtWinHost::TxShowCaret(BOOL show) {
    m_control->ShowSystemCaret(show != FALSE);
    return TRUE;
}

BOOL CTxtWinHost::TxSetCaretPos(INT x, INT y) {
    m_control->PlaceCaret(x, y);
    return TRUE;
}

BOOL CTxtWinHost::TxSetTimer(UINT id, UINT timeout) {
    SetTimer(PaintWindow(), id, timeout, nullptr);
    return TRUE;
}

void CTxtWinHost::TxKillTimer(UINT id) {
    KillTimer(PaintWindow(), id);
}

void CTxtWinHost::TxScrollWindowEx(INT /*dx*/, INT /*dy*/, const RECT* /*scroll*/, const RECT* /*clip*/,
                                   HRGN /*updateRegion*/, RECT* /*update*/, UINT /*flags*/) {}

void CTxtWinHost::TxSetCapture(BOOL capture) {
    CUIPaintManager* manager = m_control->GetOwnerManager();
    if (manager != nullptr) {
        if (capture) {
            manager->CaptureMouse();
        } else {
            manager->ReleaseMouse();
        }
    }
    m_captured = capture != FALSE;
}

void CTxtWinHost::TxSetFocus() {
    m_control->TakeFocus();
}

void CTxtWinHost::TxSetCursor(HCURSOR cursor, BOOL /*text*/) {
    HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    if (cursor == arrow || cursor == LoadCursorW(nullptr, IDC_IBEAM)) {
        SetCursor(cursor);
    } else {
        SetCursor(arrow);
    }
}

BOOL CTxtWinHost::TxScreenToClient(POINT* point) {
    return ScreenToClient(PaintWindow(), point);
}

BOOL CTxtWinHost::TxClientToScreen(POINT* point) {
    return ClientToScreen(PaintWindow(), point);
}

HRESULT CTxtWinHost::TxActivate(LONG* /*oldState*/) {
    return S_OK;
}

HRESULT CTxtWinHost::TxDeactivate(LONG /*newState*/) {
    return S_OK;
}

HRESULT CTxtWinHost::TxGetClientRect(RECT* client) {
    if (client == nullptr) return E_INVALIDARG;
    *client = m_clientRect;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetViewInset(RECT* inset) {
    if (inset == nullptr) return E_INVALIDARG;
    // The control takes its view inset off before it sets the client rectangle.
    *inset = RECT{};
    return S_OK;
}

HRESULT CTxtWinHost::TxGetCharFormat(const CHARFORMAT2W** format) {
    if (format == nullptr) return E_INVALIDARG;
    *format = &m_charFormat;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetParaFormat(const PARAFORMAT2** format) {
    if (format == nullptr) return E_INVALIDARG;
    *format = &m_paraFormat;
    return S_OK;
}

COLORREF CTxtWinHost::TxGetSysColor(int index) {
    return GetSysColor(index);
}

HRESULT CTxtWinHost::TxGetBackStyle(TXTBACKSTYLE* style) {
    if (style == nullptr) return E_INVALIDARG;
    *style = m_transparent ? TXTBACK_TRANSPARENT : TXTBACK_OPAQUE;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetMaxLength(DWORD* length) {
    if (length == nullptr) return E_INVALIDARG;
    *length = static_cast<DWORD>(m_maxLength);
    return S_OK;
}

HRESULT CTxtWinHost::TxGetScrollBars(DWORD* scrollBars) {
    if (scrollBars == nullptr) return E_INVALIDARG;
    *scrollBars = m_style & kScrollBarStyles;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetPasswordChar(WCHAR* character) {
    if (character == nullptr) return E_INVALIDARG;
    *character = m_passwordChar;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetAcceleratorPos(LONG* position) {
    if (position == nullptr) return E_INVALIDARG;
    *position = m_acceleratorPos;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetExtent(SIZEL* extent) {
    if (extent == nullptr) return E_INVALIDARG;
    *extent = m_extent;
    return S_OK;
}

HRESULT CTxtWinHost::OnTxCharFormatChange(const CHARFORMAT2W* /*format*/) {
    return S_OK;
}

HRESULT CTxtWinHost::OnTxParaFormatChange(const PARAFORMAT2* /*format*/) {
    return S_OK;
}

HRESULT CTxtWinHost::TxGetPropertyBits(DWORD mask, DWORD* bits) {
    if (bits == nullptr) return E_INVALIDARG;
    DWORD answer = 0;
    if (m_richText) answer |= TXTBIT_RICHTEXT;
    if ((m_style & ES_MULTILINE) != 0) answer |= TXTBIT_MULTILINE;
    if ((m_style & ES_READONLY) != 0) answer |= TXTBIT_READONLY;
    if ((m_style & ES_PASSWORD) != 0) answer |= TXTBIT_USEPASSWORD;
    if ((m_style & ES_NOHIDESEL) == 0) answer |= TXTBIT_HIDESELECTION;
    if (m_autoWordSelect) answer |= TXTBIT_AUTOWORDSEL;
    if (m_wordWrap) answer |= TXTBIT_WORDWRAP;
    if (m_allowBeep) answer |= TXTBIT_ALLOWBEEP;
    *bits = answer & mask;
    return S_OK;
}

HRESULT CTxtWinHost::TxNotify(DWORD code, void* data) {
    if (code == EN_REQUESTRESIZE) {
        const auto* request = static_cast<const REQRESIZE*>(data);
        if (request != nullptr) {
            SetClientRect(RECT{m_clientRect.left, m_clientRect.top, m_clientRect.left + request->rc.right,
                               m_clientRect.top + request->rc.bottom});
        }
        return S_OK;
    }
    m_control->OnTxNotify(code, data);
    return S_OK;
}

HIMC CTxtWinHost::TxImmGetContext() {
    return nullptr;
}

void CTxtWinHost::TxImmReleaseContext(HIMC /*context*/) {}

HRESULT CTxtWinHost::TxGetSelectionBarWidth(LONG* width) {
    if (width == nullptr) return E_INVALIDARG;
    *width = m_selectionBarWidth;
    return S_OK;
}

}  // namespace SkinUI
