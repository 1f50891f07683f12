// Mouse and keyboard input from a display backend, turned into window
// messages the way Win32 delivers them; one router for every backend.
//
// RouteInput is safe from any thread: it picks the thread of the window the
// event is for (the capture, the window under the mouse, the focus) and queues
// the event there. On that thread, when no posted message waits, the router
// sends WM_NCHITTEST, WM_MOUSEACTIVATE (activating on a click) and
// WM_SETCURSOR, then posts the mouse message (client or non-client, double
// clicks for CS_DBLCLKS classes) or the key message. Input for a disabled
// window, or one inside a disabled window, is dropped. WM_MOUSELEAVE and
// WM_MOUSEHOVER follow TrackMouseEvent; dragging the caption (or a sizing
// edge) through DefWindowProcW moves (or sizes) the window.
#pragma once

#include <deque>
#include <mutex>
#include <optional>
#include <string>

#include "platform/window/DisplayTypes.h"
#include "platform/window/WinMessages.h"

// Returns TRUE; FALSE with ERROR_INVALID_PARAMETER for a wrong cbSize or window.
BOOL TrackMouseEvent(TRACKMOUSEEVENT* track);
// High bit: down as of the last input routed on this program's threads; low bit: toggled.
SHORT GetKeyState(int virtualKey);
// High bit: down right now, as the display last reported.
SHORT GetAsyncKeyState(int virtualKey);

namespace platform {

struct RawInput {
    enum class Kind { MouseMove, ButtonDown, ButtonUp, Wheel, KeyDown, KeyUp, PointerLeft };
    enum class Button { Left, Right, Middle };

    Kind kind = Kind::MouseMove;
    POINT screen;                  // mouse events
    Button button = Button::Left;  // ButtonDown/ButtonUp
    int wheelDelta = 0;            // multiples of WHEEL_DELTA, positive away from the user
    UINT virtualKey = 0;           // key events; VK_PACKET for text without a key
    std::string text;              // UTF-8 the key typed, if any
    DWORD time = 0;                // milliseconds, for double clicks
    HWND topLevelHint = nullptr;   // the top-level window the display says the event is in
};

void RouteInput(RawInput input);

class InputRouter {
public:
    static InputRouter& Instance();

    // On the target window's thread.
    void Dispatch(const RawInput& input);
    // From DefWindowProcW (SC_MOVE / SC_SIZE): follow the mouse with `hwnd` until the button goes up.
    void BeginDrag(HWND hwnd, LRESULT hitTest);
    bool Track(TRACKMOUSEEVENT* track);
    // The characters WM_KEYDOWN `msg` typed: the key's reported text, else what the key stands for.
    std::wstring TypedText(const MSG& msg);
    void Forget(HWND hwnd);
    SHORT KeyState(int virtualKey) const;
    SHORT AsyncKeyState(int virtualKey) const;
    // Any thread: the physical state, before the event is queued.
    void NoteAsync(const RawInput& input);
    HWND WindowUnderMouse() const;

    void HoverDue();

private:
    InputRouter() = default;

    struct Tracking {
        HWND hwnd = nullptr;
        DWORD flags = 0;
        DWORD hoverMs = 0;
        RECT hoverRect;
        UINT_PTR timer = 0;
    };
    struct Click {
        HWND hwnd = nullptr;
        RawInput::Button button = RawInput::Button::Left;
        DWORD time = 0;
        POINT screen;
    };
    struct Drag {
        HWND hwnd = nullptr;
        LRESULT hit = 0;
        POINT start;
        RECT startRect;
    };
    struct Typed {
        HWND hwnd;
        UINT virtualKey;
        std::wstring text;
    };

    void OnMouseMove(const RawInput& input);
    void OnButton(const RawInput& input);
    void OnWheel(const RawInput& input);
    void OnKey(const RawInput& input);
    void ContinueDrag(POINT screen);
    void LeaveTrackedUnless(HWND target);
    void StartHover(POINT screen);
    WPARAM MouseKeyFlags() const;
    void SetKey(UINT virtualKey, bool down);

    mutable std::mutex m_mutex;
    HWND m_over = nullptr;
    POINT m_routed;  // where the mouse was for the event being routed; the cursor may be ahead
    Tracking m_tracking;
    Click m_lastClick;
    Drag m_drag;
    std::deque<Typed> m_typed;
    BYTE m_keys[256] = {};
    BYTE m_asyncKeys[256] = {};
};

}  // namespace platform
