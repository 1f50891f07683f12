// Event and notification records of the framework, and the interfaces through which windows
// and controls hook into a paint manager's message flow.
//
// UI thread only. A paint manager fills a UIEventRecord from a window message and hands it to
// one control's HandleEvent; a UINotifyMsg is built by CUIPaintManager::RaiseNotify and lives
// only for the duration of that call. The manager never owns a receiver, filter or translator
// that is registered with it: each must be removed before it is destroyed.
#pragma once

#include "platform/types/WinTypes.h"
#include "ui/core/UIString.h"

struct MSG;

namespace SkinUI {

class CControlUI;

// The numbers are fixed: controls compare them and keep them in state.
enum class UIEventType : int {
    None = 0,
    KeyDown = 3,
    KeyUp = 4,
    Char = 5,
    MouseMove = 9,
    MouseLeave = 10,
    MouseEnter = 11,
    MouseHover = 12,
    ButtonDown = 13,
    ButtonUp = 14,
    RightButtonDown = 15,
    DoubleClick = 16,
    ContextMenu = 17,
    ScrollWheel = 18,
    KillFocus = 20,
    SetFocus = 21,
    WindowSize = 22,
    SetCursor = 23,
    Timer = 24,
    // The press ended without a button-up: the window lost the capture or the focus. Sent to
    // the control that had the press, which drops its pushed look or drag.
    CaptureLost = 25,
};

// Mouse events are the types above 8 and below 19.
constexpr bool IsMouseEvent(UIEventType type) {
    return static_cast<int>(type) > 8 && static_cast<int>(type) < 19;
}

struct UIEventRecord {
    UIEventType type = UIEventType::None;
    CControlUI* sender = nullptr;
    DWORD timestamp = 0;
    POINT mouse{};
    // Virtual-key code for key events, the character for Char.
    WORD key = 0;
    // MK_* bits of the message.
    WORD keyState = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// Which way a wheel event (type 18) turned. The event carries the wheel message's own wParam,
// whose high word is the signed delta, positive for a turn away from the user; every control
// reads the direction through this one helper.
enum class UIWheelTurn { None, Away, Toward };

inline UIWheelTurn WheelTurnOf(const UIEventRecord& event) {
    const auto delta = static_cast<short>(HIWORD(event.wParam));
    return delta > 0 ? UIWheelTurn::Away : delta < 0 ? UIWheelTurn::Toward : UIWheelTurn::None;
}

struct UINotifyMsg {
    CUIString type;
    CUIString virtualWnd;
    CControlUI* sender = nullptr;
    DWORD timestamp = 0;
    POINT mouse{};
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

class INotifyUI {
public:
    virtual void Notify(UINotifyMsg& msg) = 0;

protected:
    ~INotifyUI() = default;
};

class IMessageFilterUI {
public:
    // Setting `handled` ends the message's handling with the returned result.
    virtual LRESULT FilterMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) = 0;

protected:
    ~IMessageFilterUI() = default;
};

class ITranslateAccelerator {
public:
    // 0 consumes the message.
    virtual LRESULT TranslateAccelerator(MSG* msg) = 0;

protected:
    ~ITranslateAccelerator() = default;
};

}  // namespace SkinUI
