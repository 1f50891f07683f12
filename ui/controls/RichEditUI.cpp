#include "ui/controls/RichEditUI.h"

#include <cstdlib>
#include <cwctype>
#include <vector>

#include "platform/com/DragDrop.h"
#include "platform/gdi/Gdi.h"
#include "platform/window/Caret.h"
#include "platform/window/InputRouter.h"
#include "platform/window/MessageApi.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowPos.h"
#include "ui/basic/ScrollBarUI.h"
#include "ui/controls/TxtWinHost.h"
#include "ui/core/AttributeText.h"
#include "ui/core/PaintManager.h"
#include "ui/render/RenderClip.h"
#include "ui/render/RenderEngine.h"

namespace SkinUI {
namespace {

constexpr int kCaretLineTolerance = 3;

bool IsTrue(std::wstring_view value) {
    return ParseBool(value);
}

// A colour as the skin writes it; false leaves the old one.
bool ReadColor(std::wstring_view value, DWORD* argb) {
    return ParseColor(value, argb);
}

COLORREF ColorRefFromArgb(DWORD argb) {
    return ((argb >> 16) & 0xFF) | (argb & 0xFF00) | ((argb & 0xFF) << 16);
}

void SetStyleBits(DWORD& style, DWORD bits, bool on) {
    style = on ? (style | bits) : (style & ~bits);
}

POINT PointFromLParam(LPARAM lParam) {
    return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

bool Inside(const RECT& rect, POINT point) {
    return point.x >= rect.left && point.x < rect.right && point.y >= rect.top && point.y < rect.bottom;
}

}  // namespace

CRichEditUI::CRichEditUI() = default;

CRichEditUI::~CRichEditUI() {
    // The blink timer's procedure reaches the control through its id.
    if (m_manager != nullptr) KillTimer(m_manager->GetPaintWindow(), reinterpret_cast<UINT_PTR>(this));
    // The target belongs to the text services, which go with the host.
    WithdrawDropTarget();
    if (m_host != nullptr) {
        CTxtWinHost* host = m_host;
        m_host = nullptr;
        host->Release();
    }
    if (m_manager != nullptr) m_manager->RemoveMessageFilter(this);
}

const wchar_t* CRichEditUI::GetClassTag() const {
    return L"RichEditUI";
}

void* CRichEditUI::QueryFacet(std::wstring_view name) {
    if (name == L"RichEdit") return this;
    return CContainerUI::QueryFacet(name);
}

UINT CRichEditUI::GetBehaviourFlags() const {
    return IsUsable() ? (kBehaviourFocusStop | kBehaviourWantsSetCursor) : 0;
}

// ---------------------------------------------------------------------------------------------
// Host and initialisation

void CRichEditUI::OnInitialize() {
    CREATESTRUCTW create{};
    create.style = static_cast<LONG>(m_style);
    create.lpszName = m_text.Data();
    if (m_host == nullptr) CreateHost(create);
    if (m_host != nullptr) {
        m_host->SetTransparent(true);
        m_host->GetTextServices()->OnTxPropertyBitsChange(TXTBIT_BACKSTYLECHANGE, 0);
        const RECT empty{};
        m_host->ActivateInPlace(&empty);
    }
    if (m_manager != nullptr) m_manager->AddMessageFilter(this);
}

bool CRichEditUI::CreateHost(const CREATESTRUCTW& create) {
    // The built-in text services live in the platform library; this makes sure they are
    // linked into every program that uses the control.
    platform::EnsureTextServicesModule();
    auto* host = new CTxtWinHost();
    if (!host->Init(this, &create)) {
        delete host;
        return false;
    }
    m_host = host;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Text operations

HRESULT CRichEditUI::SendTextMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (m_host == nullptr) return S_FALSE;
    if (message == WM_KEYDOWN && wParam == VK_RETURN) {
        const bool control = GetKeyState(VK_CONTROL) < 0;
        if (!m_wantReturn || (control && !m_wantCtrlReturn)) {
            if (m_manager != nullptr) m_manager->RaiseNotify(this, L"return");
            return S_OK;
        }
    }
    return m_host->GetTextServices()->TxSendMessage(message, wParam, lParam, result);
}

LONG CRichEditUI::GetTextLength(DWORD flags) {
    GETTEXTLENGTHEX request;
    request.flags = flags;
    request.codepage = CP_UNICODE;
    LRESULT length = 0;
    SendTextMessage(EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&request), 0, &length);
    return static_cast<LONG>(length);
}

CUIString CRichEditUI::GetCaption() const {
    auto* self = const_cast<CRichEditUI*>(this);
    const LONG length = self->GetTextLength(GTL_DEFAULT);
    if (length <= 0) return CUIString();
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, 0);
    GETTEXTEX request;
    // Wide characters are wchar_t here, so the size counts those.
    request.cb = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    request.flags = GT_DEFAULT;
    request.codepage = CP_UNICODE;
    self->SendTextMessage(EM_GETTEXTEX, reinterpret_cast<WPARAM>(&request), reinterpret_cast<LPARAM>(buffer.data()),
                          nullptr);
    return CUIString(buffer.data());
}

void CRichEditUI::SetCaption(const CUIString& text) {
    m_text = text;
    if (m_host == nullptr) return;
    SetSelection(0, -1);
    ReplaceSel(m_text.Data(), false);
}

void CRichEditUI::ReplaceSel(const wchar_t* text, bool canUndo) {
    SendTextMessage(EM_REPLACESEL, canUndo ? TRUE : FALSE, reinterpret_cast<LPARAM>(text), nullptr);
}

CUIString CRichEditUI::GetSelectedText() {
    if (m_host == nullptr) return CUIString();
    CHARRANGE range;
    SendTextMessage(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range), nullptr);
    const LONG count = range.cpMax - range.cpMin;
    if (count < 0) return CUIString();
    std::vector<wchar_t> buffer(static_cast<size_t>(count) + 1, 0);
    SendTextMessage(EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(buffer.data()), nullptr);
    return CUIString(buffer.data());
}

bool CRichEditUI::Redo() {
    if (m_host == nullptr) return false;
    LRESULT result = 0;
    SendTextMessage(EM_REDO, 0, 0, &result);
    return result == 1;
}

bool CRichEditUI::Undo() {
    if (m_host == nullptr) return false;
    LRESULT result = 0;
    SendTextMessage(EM_UNDO, 0, 0, &result);
    return result == 1;
}

void CRichEditUI::Clear() {
    // Departs from the original behaviour: it cleared the selection first (WM_CLEAR), which
    // made the removal two undo steps; the whole text goes in one.
    SetSelection(0, GetTextLength(GTL_DEFAULT));
    ReplaceSel(L"", true);
}

void CRichEditUI::Copy() {
    SendTextMessage(WM_COPY, 0, 0, nullptr);
}

void CRichEditUI::Cut() {
    SendTextMessage(WM_CUT, 0, 0, nullptr);
}

void CRichEditUI::Paste() {
    SendTextMessage(WM_PASTE, 0, 0, nullptr);
}

LRESULT CRichEditUI::SetSelection(LONG start, LONG end) {
    CHARRANGE range{start, end};
    LRESULT result = 0;
    SendTextMessage(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range), &result);
    return result;
}

POINT CRichEditUI::PosFromChar(LONG index) {
    POINT point{};
    SendTextMessage(EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&point), index, nullptr);
    return point;
}

LONG CRichEditUI::CharFromPos(POINT point) {
    if (m_host == nullptr) return 0;
    POINTL at{point.x, point.y};
    LRESULT result = 0;
    SendTextMessage(EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&at), &result);
    return static_cast<LONG>(result);
}

void CRichEditUI::SetReadOnly(bool readOnly) {
    m_readOnly = readOnly;
    SetStyleBits(m_style, ES_READONLY, readOnly);
    if (m_host == nullptr) return;
    DWORD style = m_host->GetStyle();
    SetStyleBits(style, ES_READONLY, readOnly);
    m_host->SetStyle(style);
    m_host->GetTextServices()->OnTxPropertyBitsChange(TXTBIT_READONLY, readOnly ? TXTBIT_READONLY : 0);
}

void CRichEditUI::SetHideSelection(bool hide) {
    m_hideSelection = hide;
    SetStyleBits(m_style, ES_NOHIDESEL, !hide);
    if (m_host == nullptr) return;
    DWORD style = m_host->GetStyle();
    SetStyleBits(style, ES_NOHIDESEL, !hide);
    m_host->SetStyle(style);
    m_host->GetTextServices()->OnTxPropertyBitsChange(TXTBIT_HIDESELECTION, hide ? TXTBIT_HIDESELECTION : 0);
}

void CRichEditUI::SetDragDropEnabled(bool enabled) {
    m_dragDropEnabled = enabled;
    if (m_host == nullptr) return;
    if (!enabled) {
        WithdrawDropTarget();
        return;
    }
    if (m_dropTarget != nullptr) return;
    IDropTarget* target = nullptr;
    if (FAILED(m_host->GetTextServices()->TxGetDropTarget(&target)) || target == nullptr) return;
    HWND window = m_manager != nullptr ? m_manager->GetPaintWindow() : nullptr;
    if (FAILED(RegisterDragDrop(window, target))) {
        target->Release();
        return;
    }
    m_dropTarget = target;
}

void CRichEditUI::WithdrawDropTarget() {
    if (m_dropTarget == nullptr) return;
    IDropTarget* target = m_dropTarget;
    m_dropTarget = nullptr;
    if (m_manager != nullptr) RevokeDragDrop(m_manager->GetPaintWindow());
    target->Release();
}

void CRichEditUI::OnTxNotify(DWORD code, void* data) {
    switch (code) {
        case EN_CHANGE:
        case EN_MSGFILTER:
        case EN_SELCHANGE:
        case EN_DROPFILES:
        case EN_PROTECTED:
        case EN_STOPNOUNDO:
        case EN_SAVECLIPBOARD:
        case EN_OLEOPFAILED:
        case EN_OBJECTPOSITIONS:
        case EN_LINK:
        case EN_DRAGDROPDONE:
            break;
        default:
            return;
    }
    if (m_manager == nullptr) return;
    if (data != nullptr) {
        auto* header = static_cast<NMHDR*>(data);
        HWND window = m_manager->GetPaintWindow();
        header->hwndFrom = window;
        header->idFrom = static_cast<UINT_PTR>(GetWindowLongW(window, GWL_ID));
        header->code = code;
    }
    m_manager->RaiseNotify(this, L"richeditnotify", code, reinterpret_cast<LPARAM>(data));
}

// ---------------------------------------------------------------------------------------------
// Attributes

void CRichEditUI::ApplyAttribute(std::wstring_view name, std::wstring_view value) {
    RECT rect{};
    int number = 0;
    DWORD colour = 0;
    if (name == L"vscrollbar" && IsTrue(value)) m_style |= WS_VSCROLL | ES_DISABLENOSCROLL;
    if (name == L"autovscroll") {
        if (IsTrue(value)) m_style |= ES_AUTOVSCROLL;
    } else if (name == L"hscrollbar") {
        if (IsTrue(value)) m_style |= WS_HSCROLL | ES_DISABLENOSCROLL;
    }
    if (name == L"autohscroll") {
        if (IsTrue(value)) m_style |= ES_AUTOHSCROLL;
    } else if (name == L"maxchar") {
        if (ParseInt(value, &number)) {
            m_maxChar = number;
            if (m_host != nullptr) {
                m_host->SetMaxLength(number <= 0 ? kDefaultMaxChar : number);
                m_host->GetTextServices()->OnTxPropertyBitsChange(TXTBIT_MAXLENGTHCHANGE, TXTBIT_MAXLENGTHCHANGE);
            }
        }
    } else if (name == L"wanttab") {
        m_wantTab = IsTrue(value);
    } else if (name == L"wantreturn") {
        m_wantReturn = IsTrue(value);
    } else if (name == L"wantctrlreturn") {
        m_wantCtrlReturn = IsTrue(value);
    } else if (name == L"rich") {
        m_rich = IsTrue(value);
        if (m_host != nullptr) {
            m_host->SetRichText(m_rich);
            m_host->GetTextServices()->OnTxPropertyBitsChange(TXTBIT_RICHTEXT, m_rich ? TXTBIT_RICHTEXT : 0);
        }
    } else if (name == L"multiline") {
        if (value == L"false") m_style &= ~ES_MULTILINE;
    } else if (name == L"readonly") {
        if (IsTrue(value)) {
            m_style |= ES_READONLY;
            m_readOnly = true;
        }
    } else if (name == L"owndrawcaret") {
        m_ownDrawCaret = IsTrue(value);
    } else if (name == L"hidecaret") {
        m_hideCaret = IsTrue(value);
    } else if (name == L"hideselection") {
        SetHideSelection(IsTrue(value));
    } else if (name == L"numberonly") {
        if (IsTrue(value)) m_style |= ES_NUMBER;
    } else if (name == L"password") {
        if (IsTrue(value)) m_style |= ES_PASSWORD;
    } else if (name == L"hinttext") {
        m_hintText = CUIString(value);
        Repaint();
    } else if (name == L"viewinset") {
        if (ParseRect(value, &rect)) m_viewInset = rect;
    } else if (name == L"hintcolor") {
        if (ReadColor(value, &colour)) m_hintColor = colour;
        Repaint();
    }

    if (name == L"hinttextpadding") {
        if (ParseRect(value, &rect)) m_hintPadding = rect;
        Repaint();
    } else if (name == L"align") {
        if (value.find(L"left") != std::wstring_view::npos) m_style &= ~(ES_CENTER | ES_RIGHT);
        if (value.find(L"center") != std::wstring_view::npos) {
            m_style |= ES_CENTER;
            m_style &= ~ES_RIGHT;
        }
        if (value.find(L"right") != std::wstring_view::npos) {
            m_style |= ES_RIGHT;
            m_style &= ~ES_CENTER;
        }
    } else if (name == L"font") {
        if (ParseInt(value, &number)) {
            m_fontIndex = number;
            if (m_host != nullptr && m_manager != nullptr) m_host->SetFont(m_manager->FontHandleAt(m_fontIndex));
        }
    } else if (name == L"textcolor") {
        size_t skip = 0;
        while (skip < value.size() && value[skip] <= L' ')
            ++skip;
        if (ReadColor(value.substr(skip), &colour)) {
            m_textColor = colour;
            if (m_host != nullptr) {
                m_host->SetTextColorRef(ColorRefFromArgb(colour));
                m_host->GetTextServices()->OnTxPropertyBitsChange(TXTBIT_CHARFORMATCHANGE, TXTBIT_CHARFORMATCHANGE);
            }
        }
    } else {
        CContainerUI::ApplyAttribute(name, value);
    }
}

// ---------------------------------------------------------------------------------------------
// Messages and events

LRESULT CRichEditUI::FilterMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    if (!IsShown() || !IsUsable()) return 0;
    const bool mouse = message >= WM_MOUSEFIRST && message <= WM_XBUTTONDBLCLK;
    if (mouse && !AcceptsMouse()) return 0;
    if (message == WM_MOUSEWHEEL && (LOWORD(wParam) & MK_CONTROL) == 0) return 0;
    if (m_manager == nullptr) return 0;

    bool answer = true;
    const bool hostCaptured = m_host != nullptr && m_host->IsCaptured();
    if (mouse || message == WM_SETCURSOR) {
        if (message >= WM_LBUTTONDOWN && message <= WM_RBUTTONUP) {
            const POINT point = PointFromLParam(lParam);
            if (!hostCaptured && m_manager->ControlAtPoint(point.x, point.y) != this) return 0;
            answer = false;
        }
        if (!hostCaptured) {
            POINT point = PointFromLParam(lParam);
            if (message == WM_MOUSEWHEEL) ScreenToClient(m_manager->GetPaintWindow(), &point);
            const RECT client = m_host != nullptr ? m_host->GetClientRect() : RECT{};
            if (!Inside(client, point) || m_manager->IsCaptured()) return 0;
        }
        if (message == WM_SETCURSOR) {
            answer = false;
        } else if (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDOWN) {
            TakeFocus();
        }
    } else if (message >= WM_KEYFIRST && message <= WM_KEYLAST) {
        if (!HasFocus()) return 0;
    } else if (message == WM_CONTEXTMENU) {
        POINT point = PointFromLParam(lParam);
        ScreenToClient(m_manager->GetPaintWindow(), &point);
        if (m_manager->ControlAtPoint(point.x, point.y) != this) return 0;
        answer = false;
    } else if (message == WM_HELP) {
        answer = false;
    } else {
        return 0;
    }
    LRESULT result = 0;
    if (SendTextMessage(message, wParam, lParam, &result) == S_OK) handled = answer;
    return result;
}

void CRichEditUI::HandleEvent(UIEventRecord& event) {
    if (!AcceptsMouse() && IsMouseEvent(event.type)) {
        if (m_parent != nullptr) {
            m_parent->HandleEvent(event);
        } else {
            CControlUI::HandleEvent(event);
        }
        return;
    }
    switch (event.type) {
        case UIEventType::SetCursor:
            if (IsUsable() && m_host != nullptr && m_host->DoSetCursor(&event.mouse)) return;
            break;
        case UIEventType::SetFocus:
        case UIEventType::KillFocus: {
            const bool focus = event.type == UIEventType::SetFocus;
            if (m_host != nullptr) {
                const RECT client = m_host->GetClientRect();
                m_host->ActivateInPlace(&client);
                m_host->GetTextServices()->TxSendMessage(focus ? WM_SETFOCUS : WM_KILLFOCUS, 0, 0, nullptr);
            }
            m_caretActive = focus;
            m_focused = focus;
            Repaint();
            return;
        }
        case UIEventType::Timer:
            if (m_host != nullptr) {
                m_host->GetTextServices()->TxSendMessage(WM_TIMER, event.wParam, event.lParam, nullptr);
            }
            break;
        default:
            break;
    }
    CContainerUI::HandleEvent(event);
}

// ---------------------------------------------------------------------------------------------
// Layout and painting

RECT CRichEditUI::InnerRect(bool* verticalShown) const {
    RECT inner{m_bounds.left + m_inset.left, m_bounds.top + m_inset.top, m_bounds.right - m_inset.right,
               m_bounds.bottom - m_inset.bottom};
    const bool vertical = m_vScrollBar != nullptr && m_vScrollBar->IsShown();
    if (vertical) inner.right -= m_vScrollBar->GetPresetWidth();
    if (m_hScrollBar != nullptr && m_hScrollBar->IsShown()) inner.bottom -= m_hScrollBar->GetPresetHeight();
    if (verticalShown != nullptr) *verticalShown = vertical;
    return inner;
}

RECT CRichEditUI::TextRect(const RECT& inner) const {
    return RECT{inner.left + m_viewInset.left, inner.top + m_viewInset.top, inner.right - m_viewInset.right,
                inner.bottom - m_viewInset.bottom};
}

int CRichEditUI::NaturalHeight(int width) {
    if (m_host == nullptr) return 0;
    const SIZEL extent{-1, -1};
    LONG naturalWidth = width;
    LONG naturalHeight = 0;
    m_host->GetTextServices()->TxGetNaturalSize(DVASPECT_CONTENT, m_host->TxGetDC(), nullptr, nullptr,
                                                TXTNS_FITTOCONTENT, &extent, &naturalWidth, &naturalHeight);
    return static_cast<int>(naturalHeight);
}

void CRichEditUI::SetBounds(const RECT& bounds) {
    CControlUI::SetBounds(bounds);
    bool verticalShown = false;
    const RECT inner = InnerRect(&verticalShown);
    const RECT text = TextRect(inner);
    if (m_host != nullptr) {
        m_host->SetClientRect(text);
        if (verticalShown && (!m_vScrollBar->IsShown() || m_vScrollForced)) {
            const int height = NaturalHeight(text.right - text.left + m_vScrollBar->GetPresetWidth());
            if (height > text.bottom - text.top) {
                m_vScrollBar->Show(true);
                m_vScrollBar->SetOffset(0);
                m_vScrollForced = true;
            } else if (m_vScrollForced) {
                m_vScrollBar->Show(false);
                m_vScrollForced = false;
            }
        }
    }
    if (m_vScrollBar != nullptr && m_vScrollBar->IsShown()) {
        m_vScrollBar->SetBounds(
            RECT{inner.right, inner.top, inner.right + m_vScrollBar->GetPresetWidth(), inner.bottom});
    }
    if (m_hScrollBar != nullptr && m_hScrollBar->IsShown()) {
        m_hScrollBar->SetBounds(
            RECT{inner.left, inner.bottom, inner.right, inner.bottom + m_hScrollBar->GetPresetHeight()});
    }
    for (int i = 0; i < m_items.Count(); ++i) {
        CControlUI* child = GetChildAt(i);
        if (!child->IsShown()) continue;
        if (child->IsFloating()) {
            PlaceFloatingChild(i);
        } else {
            child->SetBounds(inner);
        }
    }
}

bool CRichEditUI::Render(HDC hdc, const RECT& paintRect) {
    RECT area;
    if (!IntersectRects(&area, paintRect, m_bounds)) return false;
    CUIRenderClip clip;
    clip.ClipToRect(hdc, area);
    CControlUI::Render(hdc, paintRect);

    if (m_host != nullptr) {
        RECT client = m_host->GetClientRect();
        RECT update = paintRect;
        m_host->GetTextServices()->TxDraw(DVASPECT_CONTENT, 0, nullptr, nullptr, hdc, nullptr, &client, nullptr,
                                          &update, nullptr, 0, TXTVIEW_ACTIVE);
        if (m_vScrollForced && m_vScrollBar != nullptr) {
            const int height = NaturalHeight(client.right - client.left + m_vScrollBar->GetPresetWidth());
            if (height <= client.bottom - client.top) RequestRelayout();
        }
    }

    if (m_items.Count() > 0) {
        const RECT inner = InnerRect();
        RECT childArea;
        if (!IntersectRects(&childArea, inner, paintRect)) {
            for (int i = 0; i < m_items.Count(); ++i) {
                CControlUI* child = GetChildAt(i);
                if (!child->IsShown() || !child->IsFloating()) continue;
                RECT overlap;
                if (!IntersectRects(&overlap, paintRect, child->GetBounds())) continue;
                if (!IntersectRects(&overlap, m_bounds, child->GetBounds())) continue;
                child->Render(hdc, paintRect);
            }
        } else {
            CUIRenderClip childClip;
            childClip.ClipToRect(hdc, childArea);
            for (int i = 0; i < m_items.Count(); ++i) {
                CControlUI* child = GetChildAt(i);
                if (!child->IsShown()) continue;
                RECT overlap;
                if (!IntersectRects(&overlap, paintRect, child->GetBounds())) continue;
                if (child->IsFloating()) {
                    if (!IntersectRects(&overlap, m_bounds, child->GetBounds())) continue;
                    SelectClipRgn(hdc, clip.CurrentRegion());
                    child->Render(hdc, paintRect);
                    SelectClipRgn(hdc, childClip.CurrentRegion());
                } else {
                    if (!IntersectRects(&overlap, inner, child->GetBounds())) continue;
                    child->Render(hdc, paintRect);
                }
            }
        }
    }

    for (CScrollBarUI* bar : {m_vScrollBar, m_hScrollBar}) {
        RECT overlap;
        if (bar != nullptr && bar->IsShown() && IntersectRects(&overlap, paintRect, bar->GetBounds())) {
            bar->Render(hdc, paintRect);
        }
    }

    if (!m_hintText.IsEmpty() && GetTextLength(GTL_DEFAULT) == 0 &&
        (m_manager == nullptr || m_manager->GetFocusControl() != this)) {
        const RECT client = m_host != nullptr ? m_host->GetClientRect() : TextRect(InnerRect());
        RECT hint{client.left + m_hintPadding.left, client.top + m_hintPadding.top, client.right - m_hintPadding.right,
                  client.bottom - m_hintPadding.bottom};
        if (m_manager != nullptr) {
            CUIRenderEngine::DrawPlainText(hdc, m_manager, hint, m_hintText.View(), m_hintColor, m_fontIndex,
                                           DT_SINGLELINE);
        }
    }

    if (m_ownDrawCaret && m_caretActive && m_caretPhaseOn) InvertRect(hdc, &m_caretRect);
    m_paintRect = area;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Scrolling

SIZE CRichEditUI::GetScrollOffset() const {
    return SIZE{m_hScrollBar != nullptr ? m_hScrollBar->GetOffset() : 0,
                m_vScrollBar != nullptr ? m_vScrollBar->GetOffset() : 0};
}

SIZE CRichEditUI::GetScrollExtent() const {
    return SIZE{m_hScrollBar != nullptr ? m_hScrollBar->GetExtent() : 0,
                m_vScrollBar != nullptr ? m_vScrollBar->GetExtent() : 0};
}

void CRichEditUI::MoveChildren(int dx, int dy) {
    for (int i = 0; i < m_items.Count(); ++i) {
        CControlUI* child = GetChildAt(i);
        RECT rect = child->GetBounds();
        if (rect.right == rect.left) continue;
        rect.left += dx;
        rect.right += dx;
        rect.top += dy;
        rect.bottom += dy;
        child->SetBounds(rect);
    }
}

void CRichEditUI::ScrollTo(SIZE offset) {
    const SIZE before = GetScrollOffset();
    int dv = 0;
    int dh = 0;
    if (m_vScrollBar != nullptr && m_vScrollBar->IsShown()) {
        m_vScrollBar->SetOffset(offset.cy);
        dv = m_vScrollBar->GetOffset() - before.cy;
    }
    if (m_hScrollBar != nullptr && m_hScrollBar->IsShown()) {
        m_hScrollBar->SetOffset(offset.cx);
        dh = m_hScrollBar->GetOffset() - before.cx;
    }
    // The text services answer with where they went; the children move once, at the end.
    m_scrollingText = true;
    if (dv != 0 && m_host != nullptr && m_vScrollBar != nullptr) {
        const bool plain = !m_rich && m_vScrollBar->IsShown();
        const int wanted = m_vScrollBar->GetOffset();
        SendTextMessage(WM_VSCROLL, MakeScrollWParam(SB_THUMBPOSITION, m_vScrollBar->GetOffset()), 0, nullptr);
        if (plain && dv > 0 && m_vScrollBar->GetOffset() <= wanted) m_vScrollBar->SetOffset(wanted);
    }
    if (dh != 0 && m_hScrollBar != nullptr) {
        SendTextMessage(WM_HSCROLL, MakeScrollWParam(SB_THUMBPOSITION, m_hScrollBar->GetOffset()), 0, nullptr);
    }
    m_scrollingText = false;
    const SIZE after = GetScrollOffset();
    if (after.cx != before.cx || after.cy != before.cy) MoveChildren(before.cx - after.cx, before.cy - after.cy);
}

void CRichEditUI::FollowTextScroll(int verticalPosition) {
    if (m_vScrollBar == nullptr) return;
    const int old = m_vScrollBar->GetOffset();
    m_vScrollBar->SetOffset(verticalPosition);
    const int dv = m_vScrollBar->GetOffset() - old;
    if (dv != 0 && !m_scrollingText) MoveChildren(0, -dv);
}

void CRichEditUI::ScrollLineLeft() {
    SendTextMessage(WM_HSCROLL, SB_LINELEFT, 0, nullptr);
}

void CRichEditUI::ScrollLineRight() {
    SendTextMessage(WM_HSCROLL, SB_LINERIGHT, 0, nullptr);
}

void CRichEditUI::ScrollPageLeft() {
    SendTextMessage(WM_HSCROLL, SB_PAGELEFT, 0, nullptr);
}

void CRichEditUI::ScrollPageRight() {
    SendTextMessage(WM_HSCROLL, SB_PAGERIGHT, 0, nullptr);
}

void CRichEditUI::ScrollToLeftEnd() {
    SendTextMessage(WM_HSCROLL, SB_LEFT, 0, nullptr);
}

void CRichEditUI::ScrollToRightEnd() {
    SendTextMessage(WM_HSCROLL, SB_RIGHT, 0, nullptr);
}

// ---------------------------------------------------------------------------------------------
// Caret

void CRichEditUI::ShowSystemCaret(bool show) {
    HWND window = m_manager != nullptr ? m_manager->GetPaintWindow() : nullptr;
    if (!m_ownDrawCaret && show && !m_hideCaret) {
        ShowCaret(window);
    } else {
        HideCaret(window);
    }
}

void CRichEditUI::PlaceCaret(int x, int y) {
    SetCaretPos(x, y);
    const RECT old = m_caretRect;
    if (x < 0 || y < 0) {
        m_caretActive = false;
        return;
    }
    m_caretPoint = POINT{x, y};
    m_caretRect.left = m_caretRect.right = x;
    const LONG cp = CharFromPos(POINT{x, y});
    const POINT at = PosFromChar(cp);
    bool placed = false;
    if (std::abs(at.x - x) > kCaretLineTolerance) {
        // The caret ends a line, and the character under it starts the next one.
        m_caretRect.bottom = at.y;
    } else {
        LRESULT line = 0;
        LRESULT count = 0;
        SendTextMessage(EM_EXLINEFROMCHAR, 0, cp, &line);
        SendTextMessage(EM_GETLINECOUNT, 0, 0, &count);
        if (line + 1 < count) {
            LRESULT next = 0;
            SendTextMessage(EM_LINEINDEX, static_cast<WPARAM>(line + 1), 0, &next);
            m_caretRect.bottom = PosFromChar(static_cast<LONG>(next)).y;
        } else {
            const RECT text = TextRect(InnerRect());
            int natural = 0;
            if (m_host != nullptr) {
                m_host->SetClientRect(text);
                natural = NaturalHeight(text.right - text.left);
            }
            m_caretRect.bottom = m_bounds.top + m_inset.top + m_viewInset.top + natural;
            if (natural <= 0) {
                m_caretRect.top = m_caretRect.bottom;
                m_caretRect.bottom = m_caretRect.top + kCaretHeight;
                placed = true;
            }
        }
    }
    if (!placed) m_caretRect.top = m_caretRect.bottom - kCaretHeight;
    m_caretRect.right = x + 1;
    m_caretActive = true;
    m_caretPhaseOn = true;
    if (m_manager != nullptr) {
        m_manager->InvalidateArea(m_caretRect);
        m_manager->InvalidateArea(old);
        HWND window = m_manager->GetPaintWindow();
        KillTimer(window, reinterpret_cast<UINT_PTR>(this));
        SetTimer(window, reinterpret_cast<UINT_PTR>(this), kCaretBlinkMs, &CRichEditUI::CaretBlinkTimerProc);
    }
}

void CRichEditUI::CaretBlinkTimerProc(HWND /*hwnd*/, UINT /*message*/, UINT_PTR id, DWORD /*time*/) {
    auto* control = reinterpret_cast<CRichEditUI*>(id);
    control->m_caretPhaseOn = !control->m_caretPhaseOn;
    if (control->m_manager != nullptr) control->m_manager->InvalidateArea(control->m_caretRect);
}

}  // namespace SkinUI
