#include "ui/core/PaintManager.h"

#include <algorithm>
#include <cwchar>

#include "platform/gdi/Gdi.h"
#include "platform/gdi/GdiText.h"
#include "platform/sync/Clock.h"
#include "platform/window/Focus.h"
#include "platform/window/InputRouter.h"
#include "platform/window/MessageApi.h"
#include "platform/window/Paint.h"
#include "platform/window/Screen.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowPos.h"
#include "ui/core/AttributeText.h"
#include "ui/render/ColorHsl.h"

namespace SkinUI {

namespace {

// Hit-test code of WM_SETCURSOR for the client area.
constexpr WORD kHitClient = 1;
constexpr int kMaxLayoutPasses = 1000;
// Larger fonts are refused: no skin needs them, and a hostile size must not cost seconds.
constexpr int kMaxFontSize = 1024;

// Every bound manager of this thread, for PreTranslate: a thread's loop only ever sees the
// messages of its own windows.
std::vector<CUIPaintManager*>& Managers() {
    thread_local std::vector<CUIPaintManager*> managers;
    return managers;
}

bool CollectAll(CControlUI* control, void* data) {
    static_cast<std::vector<CControlUI*>*>(data)->push_back(control);
    return false;
}

bool AnyControl(CControlUI* /*control*/, void* /*data*/) {
    return true;
}

bool NeedsLayoutProc(CControlUI* control, void* /*data*/) {
    return control->NeedsLayout();
}

bool NameMatches(CControlUI* control, void* data) {
    return control->GetName().View() == *static_cast<const std::wstring_view*>(data);
}

std::unique_ptr<UIFontRecord> MakeFont(HDC dc, std::wstring_view face, int size, bool bold, bool underline,
                                       bool italic) {
    const std::wstring faceName(face);
    HFONT font = CreateFontW(-size, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic ? 1 : 0, underline ? 1 : 0, 0,
                             DEFAULT_CHARSET, 0, 0, 0, 0, faceName.c_str());
    if (font == nullptr) return nullptr;
    auto record = std::make_unique<UIFontRecord>();
    record->handle = font;
    record->face = CUIString(face);
    record->size = size;
    record->bold = bold;
    record->underline = underline;
    record->italic = italic;
    HGDIOBJ old = SelectObject(dc, font);
    const BOOL measured = GetTextMetricsW(dc, &record->tm);
    SelectObject(dc, old);
    if (!measured) {
        DeleteObject(font);
        return nullptr;
    }
    return record;
}

POINT PointFromLParam(LPARAM lParam) {
    return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

LPCWSTR CursorResource(UICursor cursor) {
    switch (cursor) {
        case UICursor::IBeam:
            return IDC_IBEAM;
        case UICursor::Hand:
            return IDC_HAND;
        case UICursor::SizeWE:
            return IDC_SIZEWE;
        case UICursor::SizeNS:
            return IDC_SIZENS;
        case UICursor::Arrow:
            break;
    }
    return IDC_ARROW;
}

}  // namespace

struct CUIPaintManager::DispatchScope {
    explicit DispatchScope(CUIPaintManager* manager) : m(manager) { ++m->m_dispatchDepth; }
    ~DispatchScope() {
        if (--m->m_dispatchDepth == 0) m->FlushDelayedDeletes();
    }
    DispatchScope(const DispatchScope&) = delete;
    DispatchScope& operator=(const DispatchScope&) = delete;
    CUIPaintManager* m;
};

CUIPaintManager::CUIPaintManager() = default;

CUIPaintManager::~CUIPaintManager() {
    CControlUI* root = m_root;
    m_root = nullptr;
    delete root;
    FlushDelayedDeletes();
    for (const ControlTimer& timer : m_timers) {
        if (timer.running && m_hwnd != nullptr) KillTimer(m_hwnd, timer.windowId);
    }
    m_timers.clear();
    for (int i = 0; i < m_defaultAttributes.Count(); ++i)
        delete static_cast<CUIString*>(m_defaultAttributes.ValueAt(i));
    for (const auto& font : m_fonts)
        DeleteObject(font->handle);
    if (m_hasOwnDefaultFont && m_defaultFont != nullptr) DeleteObject(m_defaultFont->handle);
    if (m_builtinFont != nullptr) DeleteObject(m_builtinFont->handle);
    if (m_measureDc != nullptr) DeleteDC(m_measureDc);
    auto& managers = Managers();
    managers.erase(std::remove(managers.begin(), managers.end(), this), managers.end());
}

void CUIPaintManager::Bind(HWND hwnd) {
    m_hwnd = hwnd;
    auto& managers = Managers();
    const auto listed = std::find(managers.begin(), managers.end(), this);
    if (hwnd == nullptr && listed != managers.end()) managers.erase(listed);
    if (hwnd != nullptr && listed == managers.end()) managers.push_back(this);
    m_trackingMouse = false;
    RECT client{};
    if (hwnd != nullptr && GetClientRect(hwnd, &client)) {
        SetClientSize(SIZE{client.right - client.left, client.bottom - client.top});
    }
}

bool CUIPaintManager::AttachRoot(CControlUI* root) {
    if (root == nullptr) return false;
    if (root != m_root && m_root != nullptr) {
        CControlUI* old = m_root;
        m_root = nullptr;
        // A handler may swap the tree while a control of the old one is still on the stack.
        if (IsDispatching()) {
            ForgetSubtree(old);
            QueueDelayedDelete(old);
        } else {
            delete old;
        }
    }
    m_root = root;
    m_root->AttachManager(this, nullptr, true);
    m_root->MarkNeedsLayout();
    m_layoutPending = true;
    if (m_hwnd != nullptr) InvalidateRect(m_hwnd, nullptr, FALSE);
    return true;
}

void CUIPaintManager::SetClientSize(SIZE size) {
    m_clientSize = size;
    if (m_root != nullptr) m_root->MarkNeedsLayout();
    m_layoutPending = true;
}

bool CUIPaintManager::HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    DispatchScope scope(this);

    result = 0;
    // By index: a filter may remove itself or others while it runs.
    for (int i = 0; i < m_messageFilters.Count(); ++i) {
        auto* filter = static_cast<IMessageFilterUI*>(m_messageFilters.ItemAt(i));
        bool handled = false;
        const LRESULT filtered = filter->FilterMessage(message, wParam, lParam, handled);
        if (handled) {
            result = filtered;
            return true;
        }
    }

    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint{};
            HDC dc = m_hwnd != nullptr ? BeginPaint(m_hwnd, &paint) : nullptr;
            if (dc == nullptr) {
                UpdateLayout();
                if (m_hwnd != nullptr) ValidateRect(m_hwnd, nullptr);
                return true;
            }
            if (paint.rcPaint.right > paint.rcPaint.left && paint.rcPaint.bottom > paint.rcPaint.top) {
                PaintInto(dc, paint.rcPaint);
            } else {
                UpdateLayout();
            }
            EndPaint(m_hwnd, &paint);
            return true;
        }
        case WM_ERASEBKGND:
            // Painting covers everything from an off-screen bitmap: erasing first would flicker.
            result = 1;
            return true;
        case WM_SIZE:
            SetClientSize(SIZE{LOWORD(static_cast<DWORD_PTR>(lParam)), HIWORD(static_cast<DWORD_PTR>(lParam))});
            if (m_hwnd != nullptr) InvalidateRect(m_hwnd, nullptr, FALSE);
            if (m_focus != nullptr) DispatchEvent(m_focus, UIEventType::WindowSize, wParam, lParam);
            return false;
        case WM_TIMER:
            return HandleTimer(wParam);
        case WM_KEYDOWN:
            if (wParam == VK_SHIFT) m_shiftDown = true;
            if (m_focus != nullptr) DispatchEvent(m_focus, UIEventType::KeyDown, wParam, lParam);
            return false;
        case WM_KEYUP:
            if (wParam == VK_SHIFT) m_shiftDown = false;
            if (m_focus != nullptr) DispatchEvent(m_focus, UIEventType::KeyUp, wParam, lParam);
            return false;
        case WM_CHAR:
            if (m_focus != nullptr) DispatchEvent(m_focus, UIEventType::Char, wParam, lParam);
            return false;
        case WM_SETCURSOR: {
            if (LOWORD(static_cast<DWORD_PTR>(lParam)) != kHitClient) return false;
            // The message comes before the mouse message it announces: find the point now.
            POINT pt = m_lastMouse;
            if (GetCursorPos(&pt) && m_hwnd != nullptr && ScreenToClient(m_hwnd, &pt)) m_lastMouse = pt;
            CControlUI* control = m_click != nullptr ? m_click : ControlAtPoint(m_lastMouse.x, m_lastMouse.y);
            if (control != nullptr && (control->GetBehaviourFlags() & kBehaviourWantsSetCursor) != 0) {
                DispatchEvent(control, UIEventType::SetCursor, wParam, lParam);
            } else {
                SetCursorShape(UICursor::Arrow);
            }
            result = TRUE;
            return true;
        }
        case WM_KILLFOCUS:
            if (m_captured) ReleaseMouse();
            m_click = nullptr;
            return false;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lParam) != m_hwnd) {
                m_captured = false;
                m_click = nullptr;
            }
            return false;
        case WM_CONTEXTMENU: {
            // Screen co-ordinates, or -1 when the keyboard asked: then the focused control.
            CControlUI* control = m_focus;
            if (lParam != -1) {
                POINT pt = PointFromLParam(lParam);
                if (m_hwnd != nullptr && ScreenToClient(m_hwnd, &pt)) m_lastMouse = pt;
                control = ControlAtPoint(m_lastMouse.x, m_lastMouse.y);
            }
            if (control != nullptr) DispatchEvent(control, UIEventType::ContextMenu, wParam, lParam);
            return false;
        }
        case WM_MOUSEWHEEL: {
            POINT pt = PointFromLParam(lParam);
            if (m_hwnd != nullptr && ScreenToClient(m_hwnd, &pt)) m_lastMouse = pt;
            CControlUI* control = ControlAtPoint(m_lastMouse.x, m_lastMouse.y);
            if (control != nullptr) DispatchEvent(control, UIEventType::ScrollWheel, wParam, lParam);
            return false;
        }
        case WM_MOUSELEAVE:
            m_trackingMouse = false;
            if (!m_captured) SetHover(nullptr, wParam, lParam);
            return false;
        case WM_MOUSEHOVER:
            // Tracking ends with the hover; the next move asks for it again.
            m_trackingMouse = false;
            m_lastMouse = PointFromLParam(lParam);
            if (m_hover != nullptr && !m_captured) DispatchEvent(m_hover, UIEventType::MouseHover, wParam, lParam);
            return false;
        default:
            break;
    }
    if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) return HandleMouseMessage(message, wParam, lParam);
    return false;
}

bool CUIPaintManager::HandleMouseMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const POINT pt = PointFromLParam(lParam);
    m_lastMouse = pt;
    switch (message) {
        case WM_MOUSEMOVE: {
            if (!m_trackingMouse && m_hwnd != nullptr) {
                TRACKMOUSEEVENT track{};
                track.cbSize = sizeof(track);
                track.dwFlags = TME_LEAVE | TME_HOVER;
                track.hwndTrack = m_hwnd;
                track.dwHoverTime = kHoverDelayMs;
                m_trackingMouse = TrackMouseEvent(&track) != FALSE;
            }
            if (m_captured && m_click != nullptr) {
                DispatchEvent(m_click, UIEventType::MouseMove, wParam, lParam);
                return false;
            }
            CControlUI* control = ControlAtPoint(pt.x, pt.y);
            if (control != m_hover) SetHover(control, wParam, lParam);
            if (m_hover != nullptr) DispatchEvent(m_hover, UIEventType::MouseMove, wParam, lParam);
            return false;
        }
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            TakeFocusFromChildWindow();
            CControlUI* control = ControlAtPoint(pt.x, pt.y);
            if (control == nullptr) return false;
            m_click = control;
            CaptureMouse();
            DispatchEvent(control, message == WM_LBUTTONDOWN ? UIEventType::ButtonDown : UIEventType::DoubleClick,
                          wParam, lParam);
            return false;
        }
        case WM_LBUTTONUP: {
            CControlUI* control = m_click;
            m_click = nullptr;
            if (m_captured) ReleaseMouse();
            if (control != nullptr) DispatchEvent(control, UIEventType::ButtonUp, wParam, lParam);
            // Hover changes waited for the capture to end.
            CControlUI* under = ControlAtPoint(pt.x, pt.y);
            if (under != m_hover) SetHover(under, wParam, lParam);
            return false;
        }
        case WM_RBUTTONDOWN: {
            TakeFocusFromChildWindow();
            CControlUI* control = ControlAtPoint(pt.x, pt.y);
            if (control != nullptr) DispatchEvent(control, UIEventType::RightButtonDown, wParam, lParam);
            return false;
        }
        default:
            return false;
    }
}

void CUIPaintManager::TakeFocusFromChildWindow() {
    // A press on the window itself means the user left whatever child window (an editor
    // opened over a control) had the keyboard; that window closes on losing it.
    if (m_hwnd == nullptr) return;
    const HWND focus = GetFocus();
    if (focus != nullptr && focus != m_hwnd && IsChild(m_hwnd, focus)) SetFocus(m_hwnd);
}

void CUIPaintManager::SetHover(CControlUI* control, WPARAM wParam, LPARAM lParam) {
    CControlUI* old = m_hover;
    m_hover = control;
    // The leave handler may delete controls; ForgetControl then clears m_hover.
    if (old != nullptr) DispatchEvent(old, UIEventType::MouseLeave, wParam, lParam);
    if (m_hover != nullptr && m_hover == control) DispatchEvent(control, UIEventType::MouseEnter, wParam, lParam);
}

void CUIPaintManager::DispatchEvent(CControlUI* control, UIEventType type, WPARAM wParam, LPARAM lParam) {
    UIEventRecord event;
    event.type = type;
    event.sender = control;
    event.timestamp = GetTickCount();
    event.mouse = m_lastMouse;
    event.wParam = wParam;
    event.lParam = lParam;
    if (type == UIEventType::KeyDown || type == UIEventType::KeyUp || type == UIEventType::Char) {
        event.key = static_cast<WORD>(wParam);
    } else if (IsMouseEvent(type)) {
        event.keyState = static_cast<WORD>(LOWORD(wParam));
    }
    control->HandleEvent(event);
}

bool CUIPaintManager::HandleTimer(UINT_PTR windowId) {
    for (const ControlTimer& timer : m_timers) {
        if (timer.windowId != windowId || !timer.running) continue;
        CControlUI* control = timer.control;
        const UINT_PTR localId = timer.localId;
        DispatchEvent(control, UIEventType::Timer, localId, 0);
        return true;
    }
    return false;
}

bool CUIPaintManager::PreFilterMessage(const MSG* msg) {
    if (msg == nullptr || msg->message != WM_KEYDOWN || msg->wParam != VK_TAB) return false;
    if (m_focus != nullptr && m_focus->IsShown() && m_focus->IsUsable() &&
        std::wcsstr(m_focus->GetClassTag(), L"RichEditUI") != nullptr && m_focus->WantsTabKey()) {
        return false;
    }
    // The focus handlers run from here, outside HandleWindowMessage, and may remove controls.
    DispatchScope scope(this);
    FocusNextTabStop(m_focus, !m_shiftDown);
    return true;
}

bool CUIPaintManager::PreTranslate(MSG* msg) {
    if (msg == nullptr || msg->hwnd == nullptr) return false;
    // Handlers run from here may destroy windows and their managers: work from a copy and
    // skip any manager that has left the list meanwhile.
    const std::vector<CUIPaintManager*> managers = Managers();
    for (CUIPaintManager* manager : managers) {
        const auto& live = Managers();
        if (std::find(live.begin(), live.end(), manager) == live.end()) continue;
        if (manager->m_hwnd == nullptr) continue;
        if (msg->hwnd == manager->m_hwnd) {
            if (manager->PreFilterMessage(msg)) return true;
            continue;
        }
        for (HWND up = GetParent(msg->hwnd); up != nullptr; up = GetParent(up)) {
            if (up == manager->m_hwnd) {
                if (manager->RunTranslators(msg)) return true;
                break;
            }
        }
    }
    return false;
}

bool CUIPaintManager::RunTranslators(MSG* msg) {
    for (int i = 0; i < m_translators.Count(); ++i) {
        auto* translator = static_cast<ITranslateAccelerator*>(m_translators.ItemAt(i));
        if (translator->TranslateAccelerator(msg) == 0) return true;
    }
    return false;
}

bool CUIPaintManager::AddMessageFilter(IMessageFilterUI* filter) {
    if (filter == nullptr || m_messageFilters.IndexOf(filter) >= 0) return false;
    return m_messageFilters.Append(filter);
}

bool CUIPaintManager::RemoveMessageFilter(IMessageFilterUI* filter) {
    const int index = m_messageFilters.IndexOf(filter);
    return index >= 0 && m_messageFilters.RemoveAt(index);
}

bool CUIPaintManager::AddNotifier(INotifyUI* receiver) {
    if (receiver == nullptr || m_notifiers.IndexOf(receiver) >= 0) return false;
    return m_notifiers.Append(receiver);
}

bool CUIPaintManager::RemoveNotifier(INotifyUI* receiver) {
    const int index = m_notifiers.IndexOf(receiver);
    return index >= 0 && m_notifiers.RemoveAt(index);
}

void CUIPaintManager::RaiseNotify(CControlUI* sender, const wchar_t* type, WPARAM wParam, LPARAM lParam) {
    UINotifyMsg msg;
    msg.type = type;
    msg.sender = sender;
    msg.timestamp = GetTickCount();
    msg.mouse = m_lastMouse;
    msg.wParam = wParam;
    msg.lParam = lParam;
    if (sender != nullptr) sender->GetNotifySource().Fire(&msg);
    // A receiver may unregister others: deliver only to those still registered.
    std::vector<INotifyUI*> receivers;
    for (int i = 0; i < m_notifiers.Count(); ++i)
        receivers.push_back(static_cast<INotifyUI*>(m_notifiers.ItemAt(i)));
    for (INotifyUI* receiver : receivers) {
        if (m_notifiers.IndexOf(receiver) >= 0) receiver->Notify(msg);
    }
}

CControlUI* CUIPaintManager::ControlAtPoint(int x, int y) const {
    if (m_root == nullptr) return nullptr;
    POINT pt{x, y};
    return m_root->FindControl(AnyControl, &pt, kFindShown | kFindHitTest | kFindTopFirst);
}

CControlUI* CUIPaintManager::ControlByName(std::wstring_view name) const {
    if (m_root == nullptr || name.empty()) return nullptr;
    return m_root->FindControl(NameMatches, &name, kFindAll | kFindMeFirst);
}

void CUIPaintManager::SetFocusControl(CControlUI* control) {
    if (control == m_focus) return;
    if (control != nullptr && m_hwnd != nullptr && GetFocus() != m_hwnd) SetFocus(m_hwnd);
    if (m_focus != nullptr) {
        CControlUI* old = m_focus;
        m_focus = nullptr;
        old->SetFocusedFlag(false);
        DispatchEvent(old, UIEventType::KillFocus, 0, reinterpret_cast<LPARAM>(control));
        RaiseNotify(old, L"killfocus");
    }
    if (control == nullptr || control->GetOwnerManager() != this || !control->IsShown() || !control->IsUsable()) {
        return;
    }
    m_focus = control;
    control->SetFocusedFlag(true);
    DispatchEvent(control, UIEventType::SetFocus, 0, 0);
    if (m_focus == control) RaiseNotify(control, L"setfocus");
}

bool CUIPaintManager::FocusNextTabStop(CControlUI* from, bool forward) {
    if (m_hwnd != nullptr) SetFocus(m_hwnd);
    SetFocusControl(nullptr);
    if (m_root == nullptr) return false;
    std::vector<CControlUI*> order;
    m_root->FindControl(CollectAll, &order, kFindShown | kFindUsable | kFindMeFirst);
    auto isStop = [from](CControlUI* control) {
        return control != from && (control->GetBehaviourFlags() & kBehaviourFocusStop) != 0;
    };
    const auto at = std::find(order.begin(), order.end(), from);
    CControlUI* next = nullptr;
    if (forward) {
        auto found = at == order.end() ? order.end() : std::find_if(at + 1, order.end(), isStop);
        if (found == order.end()) found = std::find_if(order.begin(), order.end(), isStop);
        if (found != order.end()) next = *found;
    } else {
        auto reversedStart = at == order.end() ? order.rend() : std::make_reverse_iterator(at);
        auto found = std::find_if(reversedStart, order.rend(), isStop);
        if (found == order.rend()) found = std::find_if(order.rbegin(), order.rend(), isStop);
        if (found != order.rend()) next = *found;
    }
    if (next == nullptr) return false;
    SetFocusControl(next);
    return m_focus == next;
}

void CUIPaintManager::CaptureMouse() {
    if (m_hwnd != nullptr) SetCapture(m_hwnd);
    m_captured = true;
}

void CUIPaintManager::ReleaseMouse() {
    m_captured = false;
    if (m_hwnd != nullptr && GetCapture() == m_hwnd) ReleaseCapture();
}

void CUIPaintManager::SetCursorShape(UICursor cursor) {
    m_cursor = cursor;
    if (m_hwnd != nullptr) SetCursor(LoadCursorW(nullptr, CursorResource(cursor)));
}

bool CUIPaintManager::StartControlTimer(CControlUI* control, UINT_PTR timerId, UINT intervalMs) {
    if (control == nullptr || m_hwnd == nullptr) return false;
    for (ControlTimer& timer : m_timers) {
        if (timer.control != control || timer.localId != timerId) continue;
        if (timer.running) return false;
        if (SetTimer(m_hwnd, timer.windowId, intervalMs, nullptr) == 0) return false;
        timer.running = true;
        timer.intervalMs = intervalMs;
        return true;
    }
    const UINT_PTR windowId = m_nextTimerId;
    if (SetTimer(m_hwnd, windowId, intervalMs, nullptr) == 0) return false;
    ++m_nextTimerId;
    m_timers.push_back(ControlTimer{control, timerId, windowId, intervalMs, true});
    return true;
}

bool CUIPaintManager::StopControlTimer(CControlUI* control, UINT_PTR timerId) {
    for (ControlTimer& timer : m_timers) {
        if (timer.control != control || timer.localId != timerId) continue;
        if (!timer.running) return false;
        if (m_hwnd != nullptr) KillTimer(m_hwnd, timer.windowId);
        timer.running = false;
        return true;
    }
    return false;
}

void CUIPaintManager::StopControlTimers(CControlUI* control) {
    auto it = m_timers.begin();
    while (it != m_timers.end()) {
        if (it->control != control) {
            ++it;
            continue;
        }
        if (it->running && m_hwnd != nullptr) KillTimer(m_hwnd, it->windowId);
        it = m_timers.erase(it);
    }
}

void CUIPaintManager::InvalidateArea(const RECT& rect) {
    if (m_hwnd == nullptr || rect.right <= rect.left || rect.bottom <= rect.top) return;
    InvalidateRect(m_hwnd, &rect, FALSE);
}

void CUIPaintManager::RequestLayoutPass() {
    m_layoutPending = true;
    if (m_hwnd != nullptr) InvalidateRect(m_hwnd, nullptr, FALSE);
}

void CUIPaintManager::UpdateLayout() {
    if (m_root == nullptr || !m_layoutPending) return;
    m_layoutPending = false;
    if (m_root->NeedsLayout()) m_root->SetBounds(RECT{0, 0, m_clientSize.cx, m_clientSize.cy});
    // Controls that asked for a layout of their own, outermost first.
    for (int pass = 0; pass < kMaxLayoutPasses; ++pass) {
        CControlUI* pending = m_root->FindControl(NeedsLayoutProc, nullptr, kFindShown | kFindMeFirst);
        if (pending == nullptr) break;
        pending->SetBounds(pending->GetBounds());
        pending->ClearNeedsLayout();
    }
    m_layoutPending = false;
}

bool CUIPaintManager::PaintInto(HDC target, const RECT& area) {
    UpdateLayout();
    if (target == nullptr || m_root == nullptr || area.left < 0 || area.top < 0 || area.right <= area.left ||
        area.bottom <= area.top) {
        return false;
    }
    HDC memory = CreateCompatibleDC(target);
    if (memory == nullptr) return false;
    // The bitmap reaches from the client origin, so controls draw in client co-ordinates.
    HBITMAP bitmap = CreateCompatibleBitmap(target, area.right, area.bottom);
    if (bitmap == nullptr) {
        DeleteDC(memory);
        return false;
    }
    HGDIOBJ old = SelectObject(memory, bitmap);
    m_root->Render(memory, area);
    const BOOL copied = BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top, memory,
                               area.left, area.top, SRCCOPY);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return copied != FALSE;
}

void CUIPaintManager::ForgetControl(CControlUI* control) {
    if (control == nullptr) return;
    if (m_focus == control) m_focus = nullptr;
    if (m_hover == control) m_hover = nullptr;
    if (m_click == control) {
        m_click = nullptr;
        if (m_captured) ReleaseMouse();
    }
    if (m_root == control) m_root = nullptr;
    StopControlTimers(control);
}

void CUIPaintManager::ForgetSubtree(CControlUI* control) {
    if (control == nullptr) return;
    std::vector<CControlUI*> all;
    control->FindControl(CollectAll, &all, kFindAll);
    for (CControlUI* each : all)
        ForgetControl(each);
}

void CUIPaintManager::QueueDelayedDelete(CControlUI* control) {
    if (control != nullptr) m_delayedDeletes.push_back(control);
}

void CUIPaintManager::FlushDelayedDeletes() {
    // A destructor may queue more; keep going until none are left.
    while (!m_delayedDeletes.empty()) {
        std::vector<CControlUI*> batch;
        batch.swap(m_delayedDeletes);
        for (CControlUI* control : batch)
            delete control;
    }
}

void CUIPaintManager::SetResourceParent(CUIPaintManager* parent) {
    // A chain that loops back would make every lookup endless.
    for (CUIPaintManager* up = parent; up != nullptr; up = up->m_resourceParent) {
        if (up == this) return;
    }
    m_resourceParent = parent;
}

const CUIString* CUIPaintManager::DefaultAttributesFor(std::wstring_view tag) const {
    for (const CUIPaintManager* manager = this; manager != nullptr; manager = manager->m_resourceParent) {
        if (void* found = manager->m_defaultAttributes.Find(tag)) return static_cast<const CUIString*>(found);
    }
    return nullptr;
}

void CUIPaintManager::SetDefaultAttributes(std::wstring_view tag, std::wstring_view attributes) {
    auto* text = new CUIString(attributes);
    delete static_cast<CUIString*>(m_defaultAttributes.Set(tag, text));
}

HDC CUIPaintManager::MeasureDC() const {
    if (m_measureDc == nullptr) m_measureDc = CreateCompatibleDC(nullptr);
    return m_measureDc;
}

int CUIPaintManager::AddFont(std::wstring_view face, int size, bool bold, bool underline, bool italic,
                             bool makeDefault) {
    if (size <= 0 || size > kMaxFontSize || MeasureDC() == nullptr) return -1;
    auto record = MakeFont(MeasureDC(), face, size, bold, underline, italic);
    if (record == nullptr) return -1;
    if (makeDefault) {
        // The default keeps a handle of its own, so the table and the default free separately.
        auto copy = MakeFont(MeasureDC(), face, size, bold, underline, italic);
        if (copy == nullptr) {
            DeleteObject(record->handle);
            return -1;
        }
        if (m_hasOwnDefaultFont && m_defaultFont != nullptr) DeleteObject(m_defaultFont->handle);
        m_defaultFont = std::move(copy);
        m_hasOwnDefaultFont = true;
    }
    m_fonts.push_back(std::move(record));
    return static_cast<int>(m_fonts.size()) - 1;
}

const UIFontRecord* CUIPaintManager::DefaultFontRecord() const {
    for (const CUIPaintManager* manager = this; manager != nullptr; manager = manager->m_resourceParent) {
        if (manager->m_hasOwnDefaultFont) return manager->m_defaultFont.get();
    }
    if (m_builtinFont == nullptr && MeasureDC() != nullptr) {
        m_builtinFont = MakeFont(MeasureDC(), platform::kPinnedFontFace, 12, false, false, false);
    }
    return m_builtinFont.get();
}

const UIFontRecord* CUIPaintManager::FontRecordAt(int index) const {
    for (const CUIPaintManager* manager = this; manager != nullptr; manager = manager->m_resourceParent) {
        if (manager->m_fonts.empty()) continue;
        if (index >= 0 && index < static_cast<int>(manager->m_fonts.size())) return manager->m_fonts[index].get();
        break;
    }
    return DefaultFontRecord();
}

HFONT CUIPaintManager::FontHandleAt(int index) {
    const UIFontRecord* record = FontRecordAt(index);
    return record != nullptr ? record->handle : nullptr;
}

int CUIPaintManager::DefaultFontHeight() const {
    const UIFontRecord* record = DefaultFontRecord();
    return record != nullptr ? record->tm.tmHeight : 0;
}

void CUIPaintManager::SetSkinArchive(const CSkinZip* archive) {
    m_archive = archive;
    m_images.SetSkinZip(archive);
}

const UIImageInfo* CUIPaintManager::FindImage(const UIImageRef& ref) {
    if (ref.origin == UIImageRef::Origin::SkinFile && !ref.mask) {
        for (const auto& [name, mask] : m_imageMasks) {
            if (name != ref.name) continue;
            UIImageRef masked = ref;
            masked.mask = mask;
            if (const UIImageInfo* image = m_images.FindImage(masked)) return image;
            break;
        }
    }
    if (const UIImageInfo* image = m_images.FindImage(ref)) return image;
    return m_resourceParent != nullptr ? m_resourceParent->FindImage(ref) : nullptr;
}

const UIImageInfo* CUIPaintManager::AddImage(std::wstring_view name, DWORD mask) {
    if (name.empty()) return nullptr;
    if (mask != 0) {
        auto known = std::find_if(m_imageMasks.begin(), m_imageMasks.end(),
                                  [name](const auto& entry) { return entry.first == name; });
        if (known != m_imageMasks.end()) {
            known->second = mask;
        } else {
            m_imageMasks.emplace_back(std::wstring(name), mask);
        }
    }
    UIImageRef ref;
    ref.name = std::wstring(name);
    return FindImage(ref);
}

void CUIPaintManager::RemoveAllImages() {
    m_images.Clear();
    m_imageMasks.clear();
}

DWORD CUIPaintManager::ShiftColor(DWORD argb) const {
    return AdjustColor(argb, m_hueShift, m_saturation, m_lightness);
}

void CUIPaintManager::SetColorShift(int hueShift, int saturationPercent, int lightnessPercent) {
    m_hueShift = hueShift;
    m_saturation = saturationPercent;
    m_lightness = lightnessPercent;
    if (m_hwnd != nullptr) InvalidateRect(m_hwnd, nullptr, FALSE);
}

void CUIPaintManager::ApplyWindowAttribute(std::wstring_view name, std::wstring_view value) {
    SIZE size{};
    RECT rect{};
    DWORD color = 0;
    if (name == L"size") {
        if (ParseSize(value, &size)) m_initialSize = size;
    } else if (name == L"mininfo") {
        if (ParseSize(value, &size)) m_minSize = size;
    } else if (name == L"maxinfo") {
        if (ParseSize(value, &size)) m_maxSize = size;
    } else if (name == L"caption") {
        // Held within the geometry limit: hit testing adds these to the client edges.
        if (ParseRect(value, &rect)) m_captionRect = ClampGeometry(rect);
    } else if (name == L"sizebox") {
        if (ParseRect(value, &rect)) m_sizeBox = ClampGeometry(rect);
    } else if (name == L"roundcorner") {
        if (ParseSize(value, &size)) m_roundCorner = size;
    } else if (name == L"defaultfontcolor") {
        if (ParseColor(value, &color)) m_defaultTextColor = color;
    }
}

}  // namespace SkinUI
