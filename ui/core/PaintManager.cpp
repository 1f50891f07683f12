#include "ui/core/PaintManager.h"

#include <algorithm>
#include <cwchar>

#include "platform/gdi/Gdi.h"
#include "platform/sync/Clock.h"
#include "platform/sync/ThreadChecker.h"
#include "platform/window/Focus.h"
#include "platform/window/InputRouter.h"
#include "platform/window/MessageApi.h"
#include "platform/window/Paint.h"
#include "platform/window/Screen.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowPos.h"
#include "ui/core/AttributeText.h"

namespace SkinUI {

namespace {

// Hit-test code of WM_SETCURSOR for the client area.
constexpr WORD kHitClient = 1;
constexpr int kMaxLayoutPasses = 1000;

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
    auto& managers = Managers();
    managers.erase(std::remove(managers.begin(), managers.end(), this), managers.end());
}

void CUIPaintManager::Bind(HWND hwnd) {
    XJ_ASSERT_ON_THREAD(m_thread);
    m_hwnd = hwnd;
    m_invalidated.clear();
    auto& managers = Managers();
    const auto listed = std::find(managers.begin(), managers.end(), this);
    if (hwnd == nullptr && listed != managers.end()) managers.erase(listed);
    if (hwnd != nullptr && listed == managers.end()) managers.push_back(this);
    m_trackingMouse = false;
    if (hwnd == nullptr) m_backBuffer.Release();
    RECT client{};
    if (hwnd != nullptr && GetClientRect(hwnd, &client)) {
        SetClientSize(SIZE{client.right - client.left, client.bottom - client.top});
    }
}

bool CUIPaintManager::AttachRoot(CControlUI* root) {
    XJ_ASSERT_ON_THREAD(m_thread);
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
    XJ_ASSERT_ON_THREAD(m_thread);
    m_clientSize = size;
    if (m_root != nullptr) m_root->MarkNeedsLayout();
    m_layoutPending = true;
}

bool CUIPaintManager::HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    XJ_ASSERT_ON_THREAD(m_thread);
    DispatchScope scope(this);
    // Whoever handles it (a filter too), a paint validates the window.
    if (message == WM_PAINT) m_invalidated.clear();

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
            m_invalidated.clear();
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
        case WM_ENABLE:
            // A disabled window (the owner of a modal box) takes no mouse: nothing stays hot.
            if (wParam == FALSE && !m_captured) SetHover(nullptr, 0, 0);
            return false;
        case WM_KILLFOCUS:
            if (m_captured) ReleaseMouse();
            EndPress();
            return false;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lParam) != m_hwnd) {
                m_captured = false;
                EndPress();
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
            if (!FocusOnPress(control)) return false;
            DispatchEvent(control, message == WM_LBUTTONDOWN ? UIEventType::ButtonDown : UIEventType::DoubleClick,
                          wParam, lParam);
            return false;
        }
        case WM_LBUTTONUP: {
            CControlUI* control = m_click;
            m_click = nullptr;
            if (m_captured) ReleaseMouse();
            const unsigned hoverChanges = m_hoverChanges;
            if (control != nullptr) DispatchEvent(control, UIEventType::ButtonUp, wParam, lParam);
            // Hover changes waited for the capture to end. A click that ran a modal box has
            // seen the mouse go (or the window disabled) since: the point is stale then.
            CControlUI* under = ControlAtPoint(pt.x, pt.y);
            if (under != m_hover && hoverChanges == m_hoverChanges) SetHover(under, wParam, lParam);
            return false;
        }
        case WM_RBUTTONDOWN: {
            TakeFocusFromChildWindow();
            CControlUI* control = ControlAtPoint(pt.x, pt.y);
            if (control == nullptr) return false;
            if (!FocusOnPress(control)) return false;
            DispatchEvent(control, UIEventType::RightButtonDown, wParam, lParam);
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

bool CUIPaintManager::FocusOnPress(CControlUI* control) {
    if ((control->GetBehaviourFlags() & kBehaviourFocusOnPress) == 0) return true;
    // Forgetting the control (its removal by a focus handler) clears m_pressed.
    m_pressed = control;
    SetFocusControl(control);
    const bool kept = m_pressed == control;
    m_pressed = nullptr;
    return kept;
}

void CUIPaintManager::EndPress() {
    CControlUI* pressed = m_click;
    m_click = nullptr;
    if (pressed != nullptr) DispatchEvent(pressed, UIEventType::CaptureLost, 0, 0);
}

void CUIPaintManager::SetHover(CControlUI* control, WPARAM wParam, LPARAM lParam) {
    ++m_hoverChanges;
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
    XJ_ASSERT_ON_THREAD(m_thread);
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
    XJ_ASSERT_ON_THREAD(m_thread);
    for (int i = 0; i < m_translators.Count(); ++i) {
        auto* translator = static_cast<ITranslateAccelerator*>(m_translators.ItemAt(i));
        if (translator->TranslateAccelerator(msg) == 0) return true;
    }
    return false;
}

bool CUIPaintManager::AddMessageFilter(IMessageFilterUI* filter) {
    XJ_ASSERT_ON_THREAD(m_thread);
    if (filter == nullptr || m_messageFilters.IndexOf(filter) >= 0) return false;
    return m_messageFilters.Append(filter);
}

bool CUIPaintManager::RemoveMessageFilter(IMessageFilterUI* filter) {
    XJ_ASSERT_ON_THREAD(m_thread);
    const int index = m_messageFilters.IndexOf(filter);
    return index >= 0 && m_messageFilters.RemoveAt(index);
}

bool CUIPaintManager::AddNotifier(INotifyUI* receiver) {
    XJ_ASSERT_ON_THREAD(m_thread);
    if (receiver == nullptr || m_notifiers.IndexOf(receiver) >= 0) return false;
    return m_notifiers.Append(receiver);
}

bool CUIPaintManager::RemoveNotifier(INotifyUI* receiver) {
    XJ_ASSERT_ON_THREAD(m_thread);
    const int index = m_notifiers.IndexOf(receiver);
    return index >= 0 && m_notifiers.RemoveAt(index);
}

void CUIPaintManager::RaiseNotify(CControlUI* sender, const wchar_t* type, WPARAM wParam, LPARAM lParam) {
    XJ_ASSERT_ON_THREAD(m_thread);
    UINotifyMsg msg;
    msg.type = type;
    msg.sender = sender;
    msg.timestamp = GetTickCount();
    msg.mouse = m_lastMouse;
    msg.wParam = wParam;
    msg.lParam = lParam;
    // Receivers may remove the sender even when the notification is raised from code outside
    // any message: it counts as a dispatch, and what they remove is freed only at the end of
    // the next message, because the caller may go on with the sender after this returns.
    ++m_dispatchDepth;
    if (sender != nullptr) sender->GetNotifySource().Fire(&msg);
    // A receiver may unregister others: deliver only to those still registered.
    std::vector<INotifyUI*> receivers;
    for (int i = 0; i < m_notifiers.Count(); ++i)
        receivers.push_back(static_cast<INotifyUI*>(m_notifiers.ItemAt(i)));
    for (INotifyUI* receiver : receivers) {
        if (m_notifiers.IndexOf(receiver) >= 0) receiver->Notify(msg);
    }
    if (--m_dispatchDepth == 0 && !m_delayedDeletes.empty() && m_hwnd != nullptr) {
        PostMessageW(m_hwnd, WM_NULL, 0, 0);
    }
}

CControlUI* CUIPaintManager::ControlAtPoint(int x, int y) const {
    XJ_ASSERT_ON_THREAD(m_thread);
    if (m_root == nullptr) return nullptr;
    POINT pt{x, y};
    return m_root->FindControl(AnyControl, &pt, kFindShown | kFindHitTest | kFindTopFirst);
}

CControlUI* CUIPaintManager::ControlByName(std::wstring_view name) const {
    XJ_ASSERT_ON_THREAD(m_thread);
    if (m_root == nullptr || name.empty()) return nullptr;
    return m_root->FindControl(NameMatches, &name, kFindAll | kFindMeFirst);
}

void CUIPaintManager::SetFocusControl(CControlUI* control) {
    XJ_ASSERT_ON_THREAD(m_thread);
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
    XJ_ASSERT_ON_THREAD(m_thread);
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
    XJ_ASSERT_ON_THREAD(m_thread);
    if (m_hwnd != nullptr) SetCapture(m_hwnd);
    m_captured = true;
}

void CUIPaintManager::ReleaseMouse() {
    XJ_ASSERT_ON_THREAD(m_thread);
    m_captured = false;
    if (m_hwnd != nullptr && GetCapture() == m_hwnd) ReleaseCapture();
}

void CUIPaintManager::SetCursorShape(UICursor cursor) {
    XJ_ASSERT_ON_THREAD(m_thread);
    m_cursor = cursor;
    if (m_hwnd != nullptr) SetCursor(LoadCursorW(nullptr, CursorResource(cursor)));
}

bool CUIPaintManager::StartControlTimer(CControlUI* control, UINT_PTR timerId, UINT intervalMs) {
    XJ_ASSERT_ON_THREAD(m_thread);
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
    XJ_ASSERT_ON_THREAD(m_thread);
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
    XJ_ASSERT_ON_THREAD(m_thread);
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
    XJ_ASSERT_ON_THREAD(m_thread);
    if (m_hwnd == nullptr) return;
    // Controls scrolled out of the window (the rows of a long list) invalidate nothing.
    RECT visible;
    if (!IntersectRects(&visible, rect, RECT{0, 0, m_clientSize.cx, m_clientSize.cy})) return;
    constexpr size_t kRemembered = 8;
    for (const RECT& known : m_invalidated) {
        if (known.left <= visible.left && known.top <= visible.top && known.right >= visible.right &&
            known.bottom >= visible.bottom) {
            return;
        }
    }
    if (m_invalidated.size() < kRemembered) m_invalidated.push_back(visible);
    InvalidateRect(m_hwnd, &visible, FALSE);
}

void CUIPaintManager::RequestLayoutPass() {
    XJ_ASSERT_ON_THREAD(m_thread);
    m_layoutPending = true;
    if (m_hwnd != nullptr) InvalidateRect(m_hwnd, nullptr, FALSE);
}

void CUIPaintManager::UpdateLayout() {
    XJ_ASSERT_ON_THREAD(m_thread);
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
    XJ_ASSERT_ON_THREAD(m_thread);
    UpdateLayout();
    if (target == nullptr || m_root == nullptr || area.left < 0 || area.top < 0 || area.right <= area.left ||
        area.bottom <= area.top) {
        return false;
    }
    // The buffer reaches from the client origin, so controls draw in client co-ordinates; it
    // has the client's size unless the area asks for more.
    const SIZE size{std::max<LONG>(m_clientSize.cx, area.right), std::max<LONG>(m_clientSize.cy, area.bottom)};
    // A paint started from inside another (a control that makes its window paint) must not
    // touch the buffer the outer one is drawing in.
    CUIBackBuffer nestedBuffer;
    CUIBackBuffer& buffer = m_painting ? nestedBuffer : m_backBuffer;
    HDC memory = buffer.Prepare(size);
    const int saved = memory != nullptr ? SaveDC(memory) : 0;
    if (saved == 0) return false;
    // Only what the target will take is drawn: the area, within the target's clip (a window's
    // invalid region is often a few small rectangles far apart). The buffer and the target
    // share client co-ordinates.
    platform::DcClip targetClip;  // stays empty (no clip) when the target has none
    platform::SaveClip(target, &targetClip);
    platform::RestoreClip(memory, targetClip);
    IntersectClipRect(memory, area.left, area.top, area.right, area.bottom);
    // The buffer still holds the last paint: what no control draws must come out clear.
    platform::ClearRect(memory, area);
    const bool outer = !m_painting;
    m_painting = true;
    m_root->Render(memory, area);
    if (outer) m_painting = false;
    RestoreDC(memory, saved);
    return BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top, memory, area.left,
                  area.top, SRCCOPY) != FALSE;
}

SIZE CUIPaintManager::BackBufferSize() const {
    XJ_ASSERT_ON_THREAD(m_thread);
    return m_backBuffer.Size();
}

void CUIPaintManager::ForgetControl(CControlUI* control) {
    XJ_ASSERT_ON_THREAD(m_thread);
    if (control == nullptr) return;
    if (m_focus == control) m_focus = nullptr;
    if (m_hover == control) m_hover = nullptr;
    if (m_pressed == control) m_pressed = nullptr;
    if (m_click == control) {
        m_click = nullptr;
        if (m_captured) ReleaseMouse();
    }
    if (m_root == control) m_root = nullptr;
    StopControlTimers(control);
}

void CUIPaintManager::ForgetSubtree(CControlUI* control) {
    XJ_ASSERT_ON_THREAD(m_thread);
    if (control == nullptr) return;
    std::vector<CControlUI*> all;
    control->FindControl(CollectAll, &all, kFindAll);
    for (CControlUI* each : all)
        ForgetControl(each);
}

void CUIPaintManager::QueueDelayedDelete(CControlUI* control) {
    XJ_ASSERT_ON_THREAD(m_thread);
    if (control != nullptr) m_delayedDeletes.push_back(control);
}

void CUIPaintManager::FlushDelayedDeletes() {
    XJ_ASSERT_ON_THREAD(m_thread);
    // A destructor may queue more; keep going until none are left.
    while (!m_delayedDeletes.empty()) {
        std::vector<CControlUI*> batch;
        batch.swap(m_delayedDeletes);
        for (CControlUI* control : batch)
            delete control;
    }
}

void CUIPaintManager::SetResourceParent(CUIPaintManager* parent) {
    XJ_ASSERT_ON_THREAD(m_thread);
    if (m_resources.SetParent(parent != nullptr ? &parent->m_resources : nullptr)) m_resourceParent = parent;
}

const CUIString* CUIPaintManager::DefaultAttributesFor(std::wstring_view tag) const {
    XJ_ASSERT_ON_THREAD(m_thread);
    return m_resources.DefaultAttributesFor(tag);
}

void CUIPaintManager::SetDefaultAttributes(std::wstring_view tag, std::wstring_view attributes) {
    XJ_ASSERT_ON_THREAD(m_thread);
    m_resources.SetDefaultAttributes(tag, attributes);
}

DWORD CUIPaintManager::DefaultTextColor() const {
    XJ_ASSERT_ON_THREAD(m_thread);
    return m_resources.DefaultTextColor();
}

void CUIPaintManager::SetDefaultTextColor(DWORD argb) {
    XJ_ASSERT_ON_THREAD(m_thread);
    m_resources.SetDefaultTextColor(argb);
}

int CUIPaintManager::AddFont(std::wstring_view face, int size, bool bold, bool underline, bool italic,
                             bool makeDefault) {
    XJ_ASSERT_ON_THREAD(m_thread);
    return m_resources.AddFont(face, size, bold, underline, italic, makeDefault);
}

int CUIPaintManager::FontCount() const {
    XJ_ASSERT_ON_THREAD(m_thread);
    return m_resources.FontCount();
}

HFONT CUIPaintManager::FontHandleAt(int index) {
    XJ_ASSERT_ON_THREAD(m_thread);
    return m_resources.FontHandleAt(index);
}

const UIFontRecord* CUIPaintManager::FontRecordAt(int index) const {
    XJ_ASSERT_ON_THREAD(m_thread);
    return m_resources.FontRecordAt(index);
}

const UIFontRecord* CUIPaintManager::DefaultFontRecord() const {
    XJ_ASSERT_ON_THREAD(m_thread);
    return m_resources.DefaultFontRecord();
}

int CUIPaintManager::DefaultFontHeight() const {
    XJ_ASSERT_ON_THREAD(m_thread);
    return m_resources.DefaultFontHeight();
}

HDC CUIPaintManager::MeasureDC() const {
    XJ_ASSERT_ON_THREAD(m_thread);
    return m_resources.MeasureDC();
}

void CUIPaintManager::SetSkinArchive(const CSkinZip* archive) {
    XJ_ASSERT_ON_THREAD(m_thread);
    m_resources.SetSkinArchive(archive);
}

const CSkinZip* CUIPaintManager::GetSkinArchive() const {
    XJ_ASSERT_ON_THREAD(m_thread);
    return m_resources.GetSkinArchive();
}

const UIImageInfo* CUIPaintManager::FindImage(const UIImageRef& ref) {
    XJ_ASSERT_ON_THREAD(m_thread);
    return m_resources.FindImage(ref);
}

const UIImageInfo* CUIPaintManager::AddImage(std::wstring_view name, DWORD mask) {
    XJ_ASSERT_ON_THREAD(m_thread);
    return m_resources.AddImage(name, mask);
}

void CUIPaintManager::RemoveAllImages() {
    XJ_ASSERT_ON_THREAD(m_thread);
    m_resources.RemoveAllImages();
}

DWORD CUIPaintManager::ShiftColor(DWORD argb) const {
    XJ_ASSERT_ON_THREAD(m_thread);
    return m_resources.ShiftColor(argb);
}

void CUIPaintManager::SetColorShift(int hueShift, int saturationPercent, int lightnessPercent) {
    XJ_ASSERT_ON_THREAD(m_thread);
    m_resources.SetColorShift(hueShift, saturationPercent, lightnessPercent);
    if (m_hwnd != nullptr) InvalidateRect(m_hwnd, nullptr, FALSE);
}

void CUIPaintManager::ApplyWindowAttribute(std::wstring_view name, std::wstring_view value) {
    XJ_ASSERT_ON_THREAD(m_thread);
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
        if (ParseColor(value, &color)) m_resources.SetDefaultTextColor(color);
    }
}

}  // namespace SkinUI
