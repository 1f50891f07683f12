#include "platform/window/InputRouter.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "platform/strings/StringConv.h"
#include "platform/types/ErrorCodes.h"
#include "platform/window/Focus.h"
#include "platform/window/MessageApi.h"
#include "platform/window/MessageQueue.h"
#include "platform/window/Screen.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowPos.h"
#include "platform/window/WindowTree.h"

namespace platform {

namespace {

constexpr DWORD kDefaultHoverMs = 400;
constexpr int kHoverSlop = 2;     // half the hover rectangle's size
constexpr size_t kMaxTyped = 64;  // key-downs nobody translated are forgotten beyond this
constexpr BYTE kDown = 0x80;
constexpr BYTE kToggled = 0x01;

LPARAM PackPoint(LONG x, LONG y) {
    return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y));
}

UINT ButtonKey(RawInput::Button button) {
    switch (button) {
        case RawInput::Button::Right:
            return VK_RBUTTON;
        case RawInput::Button::Middle:
            return VK_MBUTTON;
        default:
            return VK_LBUTTON;
    }
}

// Client down, up, double click; non-client the same.
struct ButtonMessages {
    UINT down, up, dbl, ncDown, ncUp, ncDbl;
};

ButtonMessages MessagesOf(RawInput::Button button) {
    switch (button) {
        case RawInput::Button::Right:
            return {WM_RBUTTONDOWN,   WM_RBUTTONUP,   WM_RBUTTONDBLCLK,
                    WM_NCRBUTTONDOWN, WM_NCRBUTTONUP, WM_NCRBUTTONDBLCLK};
        case RawInput::Button::Middle:
            return {WM_MBUTTONDOWN,   WM_MBUTTONUP,   WM_MBUTTONDBLCLK,
                    WM_NCMBUTTONDOWN, WM_NCMBUTTONUP, WM_NCMBUTTONDBLCLK};
        default:
            return {WM_LBUTTONDOWN,   WM_LBUTTONUP,   WM_LBUTTONDBLCLK,
                    WM_NCLBUTTONDOWN, WM_NCLBUTTONUP, WM_NCLBUTTONDBLCLK};
    }
}

bool IsMouse(RawInput::Kind kind) {
    return kind != RawInput::Kind::KeyDown && kind != RawInput::Kind::KeyUp;
}

// Input reaches a window only when it and every window it lies in are enabled.
bool TakesInput(const std::shared_ptr<WindowObject>& window) {
    auto current = window;
    for (int depth = 0; current && depth < 256; ++depth) {
        if (current->Style() & WS_DISABLED) return false;
        if (!(current->Style() & WS_CHILD)) return true;
        current = LookUpWindow(current->Parent());
    }
    return false;
}

POINT ToClient(const WindowObject& window, POINT screen) {
    const POINT origin = ScreenOrigin(window);
    return POINT{screen.x - origin.x, screen.y - origin.y};
}

std::shared_ptr<WindowObject> MouseTarget(const RawInput& input, bool* captured) {
    *captured = false;
    if (auto capture = LookUpWindow(CaptureAnyThread())) {
        *captured = true;
        return capture;
    }
    if (auto hint = LookUpWindow(input.topLevelHint)) return DescendantAtPoint(hint, input.screen, HitPurpose::Input);
    return WindowAtPoint(input.screen, HitPurpose::Input);
}

std::shared_ptr<WindowObject> KeyTarget() {
    if (auto focus = LookUpWindow(FocusAnyThread())) return focus;
    return LookUpWindow(ActiveWindowAnyThread());
}

void HoverProc(HWND, UINT, UINT_PTR, DWORD) {
    InputRouter::Instance().HoverDue();
}

// What a key types when the display gave no text: the US layout's letters,
// digits and control characters, as Win32 translates them.
std::wstring DerivedText(UINT vk, bool shift, bool control, bool capsLock) {
    if (vk >= 'A' && vk <= 'Z') {
        if (control) return std::wstring(1, static_cast<wchar_t>(vk - 'A' + 1));
        const bool upper = shift != capsLock;
        return std::wstring(1, static_cast<wchar_t>(upper ? vk : vk - 'A' + 'a'));
    }
    if (vk >= '0' && vk <= '9' && !shift && !control) return std::wstring(1, static_cast<wchar_t>(vk));
    switch (vk) {
        case VK_SPACE:
            return L" ";
        case VK_RETURN:
            return control ? L"\n" : L"\r";
        case VK_BACK:
            return L"\b";
        case VK_TAB:
            return control ? L"" : L"\t";
        case VK_ESCAPE:
            return L"\x1b";
        default:
            return L"";
    }
}

}  // namespace

InputRouter& InputRouter::Instance() {
    static auto* router = new InputRouter;
    return *router;
}

void RouteInput(RawInput input) {
    auto& router = InputRouter::Instance();
    router.NoteAsync(input);
    std::shared_ptr<WindowObject> target;
    if (IsMouse(input.kind)) {
        SetCursorPosition(input.screen);
        bool captured = false;
        if (input.kind != RawInput::Kind::PointerLeft) target = MouseTarget(input, &captured);
        if (!target) target = LookUpWindow(router.WindowUnderMouse());  // still owed a WM_MOUSELEAVE
        if (!target) target = LookUpWindow(input.topLevelHint);
    } else {
        target = KeyTarget();
    }
    std::shared_ptr<MessageQueue> queue = target ? target->Queue() : nullptr;
    // Nothing under the mouse: the UI thread still routes it, as a drag or a pending leave may need it.
    if (!queue) {
        if (auto active = LookUpWindow(ActiveWindowAnyThread())) queue = active->Queue();
    }
    if (!queue) queue = MessageQueue::CurrentIfAny();
    if (!queue) return;
    queue->PostInput([input = std::move(input)] { InputRouter::Instance().Dispatch(input); });
}

void InputRouter::NoteAsync(const RawInput& input) {
    std::lock_guard lock(m_mutex);
    switch (input.kind) {
        case RawInput::Kind::ButtonDown:
        case RawInput::Kind::ButtonUp:
            m_asyncKeys[ButtonKey(input.button)] = input.kind == RawInput::Kind::ButtonDown ? kDown : 0;
            break;
        case RawInput::Kind::KeyDown:
        case RawInput::Kind::KeyUp:
            if (input.virtualKey < 256) {
                m_asyncKeys[input.virtualKey] = input.kind == RawInput::Kind::KeyDown ? kDown : 0;
            }
            break;
        default:
            break;
    }
}

HWND InputRouter::WindowUnderMouse() const {
    std::lock_guard lock(m_mutex);
    return m_over;
}

SHORT InputRouter::KeyState(int virtualKey) const {
    if (virtualKey < 0 || virtualKey > 255) return 0;
    std::lock_guard lock(m_mutex);
    const BYTE state = m_keys[virtualKey];
    return static_cast<SHORT>(((state & kDown) ? 0x8000 : 0) | (state & kToggled));
}

SHORT InputRouter::AsyncKeyState(int virtualKey) const {
    if (virtualKey < 0 || virtualKey > 255) return 0;
    std::lock_guard lock(m_mutex);
    return static_cast<SHORT>((m_asyncKeys[virtualKey] & kDown) ? 0x8000 : 0);
}

void InputRouter::SetKey(UINT virtualKey, bool down) {
    if (virtualKey > 255) return;
    std::lock_guard lock(m_mutex);
    BYTE& state = m_keys[virtualKey];
    if (down && !(state & kDown)) state ^= kToggled;
    state = down ? static_cast<BYTE>(state | kDown) : static_cast<BYTE>(state & ~kDown);
}

WPARAM InputRouter::MouseKeyFlags() const {
    std::lock_guard lock(m_mutex);
    WPARAM flags = 0;
    if (m_keys[VK_LBUTTON] & kDown) flags |= MK_LBUTTON;
    if (m_keys[VK_RBUTTON] & kDown) flags |= MK_RBUTTON;
    if (m_keys[VK_MBUTTON] & kDown) flags |= MK_MBUTTON;
    if (m_keys[VK_SHIFT] & kDown) flags |= MK_SHIFT;
    if (m_keys[VK_CONTROL] & kDown) flags |= MK_CONTROL;
    return flags;
}

void InputRouter::Dispatch(const RawInput& input) {
    if (IsMouse(input.kind) && input.kind != RawInput::Kind::PointerLeft) {
        std::lock_guard lock(m_mutex);
        m_routed = input.screen;
    }
    switch (input.kind) {
        case RawInput::Kind::MouseMove:
            OnMouseMove(input);
            break;
        case RawInput::Kind::ButtonDown:
        case RawInput::Kind::ButtonUp:
            OnButton(input);
            break;
        case RawInput::Kind::Wheel:
            OnWheel(input);
            break;
        case RawInput::Kind::KeyDown:
        case RawInput::Kind::KeyUp:
            OnKey(input);
            break;
        case RawInput::Kind::PointerLeft:
            if (!LookUpWindow(CaptureAnyThread())) {
                LeaveTrackedUnless(nullptr);
                std::lock_guard lock(m_mutex);
                m_over = nullptr;
            }
            break;
    }
}

void InputRouter::LeaveTrackedUnless(HWND target) {
    Tracking tracking;
    {
        std::lock_guard lock(m_mutex);
        if (!m_tracking.hwnd || m_tracking.hwnd == target) return;
        tracking = m_tracking;
        m_tracking = Tracking{};
    }
    if (tracking.timer) KillTimer(nullptr, tracking.timer);
    if (tracking.flags & TME_LEAVE) PostMessageW(tracking.hwnd, WM_MOUSELEAVE, 0, 0);
}

void InputRouter::StartHover(POINT screen) {
    UINT_PTR timer = 0;
    DWORD hoverMs = 0;
    {
        std::lock_guard lock(m_mutex);
        if (!(m_tracking.flags & TME_HOVER)) return;
        m_tracking.hoverRect =
            RECT{screen.x - kHoverSlop, screen.y - kHoverSlop, screen.x + kHoverSlop + 1, screen.y + kHoverSlop + 1};
        timer = m_tracking.timer;
        hoverMs = m_tracking.hoverMs;
    }
    timer = SetTimer(nullptr, timer, hoverMs, HoverProc);
    std::lock_guard lock(m_mutex);
    m_tracking.timer = timer;
}

void InputRouter::HoverDue() {
    Tracking tracking;
    {
        std::lock_guard lock(m_mutex);
        tracking = m_tracking;
        if (!(tracking.flags & TME_HOVER)) return;
        m_tracking.flags &= ~TME_HOVER;
        m_tracking.timer = 0;
    }
    if (tracking.timer) KillTimer(nullptr, tracking.timer);
    POINT cursor;
    {
        std::lock_guard lock(m_mutex);
        cursor = m_routed;
    }
    auto window = LookUpWindow(tracking.hwnd);
    if (!window || WindowUnderMouse() != tracking.hwnd) return;
    const POINT client = ToClient(*window, cursor);
    PostMessageW(tracking.hwnd, WM_MOUSEHOVER, MouseKeyFlags(), PackPoint(client.x, client.y));
}

void InputRouter::OnMouseMove(const RawInput& input) {
    {
        std::unique_lock lock(m_mutex);
        if (m_drag.hwnd) {
            lock.unlock();
            ContinueDrag(input.screen);
            return;
        }
    }
    bool captured = false;
    auto target = MouseTarget(input, &captured);
    if (target && !captured && !TakesInput(target)) target = nullptr;
    LeaveTrackedUnless(target ? target->Handle() : nullptr);
    {
        std::lock_guard lock(m_mutex);
        m_over = target ? target->Handle() : nullptr;
    }
    if (!target) return;
    const HWND hwnd = target->Handle();
    const LPARAM screenParam = PackPoint(input.screen.x, input.screen.y);
    LRESULT hit = HTCLIENT;
    if (!captured) {
        hit = SendMessageW(hwnd, WM_NCHITTEST, 0, screenParam);
        SendMessageW(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd),
                     MAKELPARAM(static_cast<WORD>(hit), static_cast<WORD>(WM_MOUSEMOVE)));
    }
    if (target->IsGone()) return;
    if (hit == HTCLIENT) {
        const POINT client = ToClient(*target, input.screen);
        PostMessageW(hwnd, WM_MOUSEMOVE, MouseKeyFlags(), PackPoint(client.x, client.y));
    } else {
        // Client-area tracking ends where the frame or caption begins, as on leaving the window.
        LeaveTrackedUnless(nullptr);
        PostMessageW(hwnd, WM_NCMOUSEMOVE, static_cast<WPARAM>(hit), screenParam);
    }
    bool rearm = false;
    {
        std::lock_guard lock(m_mutex);
        const RECT& r = m_tracking.hoverRect;
        const POINT p = input.screen;
        rearm = m_tracking.hwnd == hwnd && (m_tracking.flags & TME_HOVER) &&
                (p.x < r.left || p.x >= r.right || p.y < r.top || p.y >= r.bottom);
    }
    if (rearm) StartHover(input.screen);
}

void InputRouter::OnButton(const RawInput& input) {
    const bool down = input.kind == RawInput::Kind::ButtonDown;
    SetKey(ButtonKey(input.button), down);
    {
        std::lock_guard lock(m_mutex);
        if (m_drag.hwnd) {
            if (!down && input.button == RawInput::Button::Left) m_drag = Drag{};
            return;
        }
    }
    bool captured = false;
    auto target = MouseTarget(input, &captured);
    if (!target || (!captured && !TakesInput(target))) return;
    const HWND hwnd = target->Handle();
    const LPARAM screenParam = PackPoint(input.screen.x, input.screen.y);
    const LRESULT hit = captured ? HTCLIENT : SendMessageW(hwnd, WM_NCHITTEST, 0, screenParam);
    const ButtonMessages messages = MessagesOf(input.button);
    const bool client = hit == HTCLIENT;
    UINT message = down ? (client ? messages.down : messages.ncDown) : (client ? messages.up : messages.ncUp);

    if (down) {
        bool eat = false;
        auto top = TopLevelWindow(target);
        if (!captured && top && top->Handle() != ActiveWindowAnyThread() && !(top->ExStyle() & WS_EX_NOACTIVATE)) {
            const LRESULT answer = SendMessageW(hwnd, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(top->Handle()),
                                                MAKELPARAM(static_cast<WORD>(hit), static_cast<WORD>(message)));
            if (answer == MA_ACTIVATE || answer == MA_ACTIVATEANDEAT) ActivateWindow(top->Handle(), WA_CLICKACTIVE);
            eat = answer == MA_ACTIVATEANDEAT || answer == MA_NOACTIVATEANDEAT;
        }
        if (!captured && IsWindow(hwnd)) {
            SendMessageW(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd),
                         MAKELPARAM(static_cast<WORD>(hit), static_cast<WORD>(message)));
        }
        if (eat || target->IsGone()) return;
        const bool doubleClicks = (target->Class()->info.style & CS_DBLCLKS) != 0;
        std::lock_guard lock(m_mutex);
        const Click& last = m_lastClick;
        const int slop = GetSystemMetrics(SM_CXDOUBLECLK) / 2;
        const bool isDouble = doubleClicks && last.hwnd == hwnd && last.button == input.button &&
                              input.time - last.time <= GetDoubleClickTime() &&
                              std::abs(input.screen.x - last.screen.x) <= slop &&
                              std::abs(input.screen.y - last.screen.y) <= slop;
        if (isDouble) {
            message = client ? messages.dbl : messages.ncDbl;
            m_lastClick = Click{};  // a third click starts over
        } else {
            m_lastClick = Click{hwnd, input.button, input.time, input.screen};
        }
    }
    if (client) {
        const POINT point = ToClient(*target, input.screen);
        PostMessageW(hwnd, message, MouseKeyFlags(), PackPoint(point.x, point.y));
    } else {
        PostMessageW(hwnd, message, static_cast<WPARAM>(hit), screenParam);
    }
}

void InputRouter::OnWheel(const RawInput& input) {
    auto target = LookUpWindow(FocusAnyThread());
    if (!target) {
        bool captured = false;
        target = MouseTarget(input, &captured);
    }
    if (!target || !TakesInput(target)) return;
    const WPARAM wParam = MAKEWPARAM(static_cast<WORD>(MouseKeyFlags()), static_cast<WORD>(input.wheelDelta));
    PostMessageW(target->Handle(), WM_MOUSEWHEEL, wParam, PackPoint(input.screen.x, input.screen.y));
}

void InputRouter::OnKey(const RawInput& input) {
    const bool down = input.kind == RawInput::Kind::KeyDown;
    const UINT vk = input.virtualKey;
    const bool wasDown = (KeyState(static_cast<int>(vk)) & 0x8000) != 0;
    if (vk != VK_PACKET) SetKey(vk, down);
    auto target = KeyTarget();
    if (!target || !TakesInput(target)) return;
    const bool alt = (KeyState(VK_MENU) & 0x8000) != 0;
    const bool control = (KeyState(VK_CONTROL) & 0x8000) != 0;
    const bool system = (alt && !control) || vk == VK_F10 || vk == VK_MENU;
    const UINT message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    LPARAM lParam = 1;
    if (alt) lParam |= LPARAM{1} << 29;
    if (wasDown || !down) lParam |= LPARAM{1} << 30;
    if (!down) lParam |= LPARAM{1} << 31;
    if (down && !input.text.empty()) {
        std::lock_guard lock(m_mutex);
        m_typed.push_back(Typed{target->Handle(), vk, WideFromUtf8(input.text)});
        if (m_typed.size() > kMaxTyped) m_typed.pop_front();
    }
    PostMessageW(target->Handle(), message, vk, lParam);
}

std::wstring InputRouter::TypedText(const MSG& msg) {
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_typed.begin(); it != m_typed.end(); ++it) {
            if (it->hwnd == msg.hwnd && it->virtualKey == msg.wParam) {
                std::wstring text = std::move(it->text);
                m_typed.erase(it);
                return text;
            }
        }
    }
    return DerivedText(static_cast<UINT>(msg.wParam), (KeyState(VK_SHIFT) & 0x8000) != 0,
                       (KeyState(VK_CONTROL) & 0x8000) != 0, (KeyState(VK_CAPITAL) & 1) != 0);
}

void InputRouter::BeginDrag(HWND hwnd, LRESULT hitTest) {
    auto window = LookUpWindow(hwnd);
    if (!window || !(KeyState(VK_LBUTTON) & 0x8000)) return;
    auto top = TopLevelWindow(window);
    RECT rect;
    GetWindowRect(top->Handle(), &rect);
    std::lock_guard lock(m_mutex);
    m_drag = Drag{top->Handle(), hitTest, m_routed, rect};
}

void InputRouter::ContinueDrag(POINT screen) {
    Drag drag;
    {
        std::lock_guard lock(m_mutex);
        drag = m_drag;
    }
    if (!IsWindow(drag.hwnd)) {
        std::lock_guard lock(m_mutex);
        m_drag = Drag{};
        return;
    }
    const LONG dx = screen.x - drag.start.x;
    const LONG dy = screen.y - drag.start.y;
    RECT r = drag.startRect;
    if (drag.hit == HTCAPTION) {
        SetWindowPos(drag.hwnd, nullptr, r.left + dx, r.top + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    const LRESULT hit = drag.hit;
    if (hit == HTLEFT || hit == HTTOPLEFT || hit == HTBOTTOMLEFT) r.left += dx;
    if (hit == HTRIGHT || hit == HTTOPRIGHT || hit == HTBOTTOMRIGHT) r.right += dx;
    if (hit == HTTOP || hit == HTTOPLEFT || hit == HTTOPRIGHT) r.top += dy;
    if (hit == HTBOTTOM || hit == HTBOTTOMLEFT || hit == HTBOTTOMRIGHT) r.bottom += dy;
    // The clamp comes from WM_GETMINMAXINFO; a moving left or top edge keeps the opposite one in place.
    const MINMAXINFO info = QueryMinMaxInfo(drag.hwnd);
    // A program may answer a maximum below the minimum; the minimum wins, and clamp's bounds stay ordered.
    const LONG width = std::clamp<LONG>(r.right - r.left, info.ptMinTrackSize.x,
                                        std::max(info.ptMinTrackSize.x, info.ptMaxTrackSize.x));
    const LONG height = std::clamp<LONG>(r.bottom - r.top, info.ptMinTrackSize.y,
                                         std::max(info.ptMinTrackSize.y, info.ptMaxTrackSize.y));
    if (r.left != drag.startRect.left) r.left = r.right - width;
    if (r.top != drag.startRect.top) r.top = r.bottom - height;
    SetWindowPos(drag.hwnd, nullptr, r.left, r.top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool InputRouter::Track(TRACKMOUSEEVENT* track) {
    if (track->dwFlags & TME_QUERY) {
        std::lock_guard lock(m_mutex);
        track->hwndTrack = m_tracking.hwnd;
        track->dwFlags = m_tracking.flags;
        track->dwHoverTime = m_tracking.hoverMs;
        return true;
    }
    if (!LookUpWindow(track->hwndTrack)) return false;
    if (track->dwFlags & TME_CANCEL) {
        UINT_PTR timer = 0;
        {
            std::lock_guard lock(m_mutex);
            if (m_tracking.hwnd != track->hwndTrack) return true;
            m_tracking.flags &= ~(track->dwFlags & (TME_HOVER | TME_LEAVE));
            if (!(m_tracking.flags & TME_HOVER)) timer = std::exchange(m_tracking.timer, 0);
            if (!(m_tracking.flags & (TME_HOVER | TME_LEAVE))) m_tracking = Tracking{};
        }
        if (timer) KillTimer(nullptr, timer);
        return true;
    }
    if (WindowUnderMouse() != track->hwndTrack) {
        // Not under the mouse: the leave is due at once, as Win32 does it.
        if (track->dwFlags & TME_LEAVE) PostMessageW(track->hwndTrack, WM_MOUSELEAVE, 0, 0);
        return true;
    }
    {
        std::lock_guard lock(m_mutex);
        if (m_tracking.hwnd != track->hwndTrack) m_tracking = Tracking{};
        m_tracking.hwnd = track->hwndTrack;
        m_tracking.flags |= track->dwFlags & (TME_HOVER | TME_LEAVE);
        m_tracking.hoverMs =
            track->dwHoverTime == HOVER_DEFAULT || track->dwHoverTime == 0 ? kDefaultHoverMs : track->dwHoverTime;
    }
    if (track->dwFlags & TME_HOVER) {
        POINT cursor;
        {
            std::lock_guard lock(m_mutex);
            cursor = m_routed;
        }
        StartHover(cursor);
    }
    return true;
}

void InputRouter::Forget(HWND hwnd) {
    UINT_PTR timer = 0;
    {
        std::lock_guard lock(m_mutex);
        if (m_over == hwnd) m_over = nullptr;
        if (m_tracking.hwnd == hwnd) {
            timer = m_tracking.timer;
            m_tracking = Tracking{};
        }
        if (m_lastClick.hwnd == hwnd) m_lastClick = Click{};
        if (m_drag.hwnd == hwnd) m_drag = Drag{};
        std::erase_if(m_typed, [hwnd](const Typed& t) { return t.hwnd == hwnd; });
    }
    if (timer) KillTimer(nullptr, timer);
}

}  // namespace platform

BOOL TrackMouseEvent(TRACKMOUSEEVENT* track) {
    if (!track || track->cbSize != sizeof(TRACKMOUSEEVENT)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!platform::InputRouter::Instance().Track(track)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return TRUE;
}

SHORT GetKeyState(int virtualKey) {
    return platform::InputRouter::Instance().KeyState(virtualKey);
}

SHORT GetAsyncKeyState(int virtualKey) {
    return platform::InputRouter::Instance().AsyncKeyState(virtualKey);
}
