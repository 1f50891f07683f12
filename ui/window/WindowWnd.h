// The window object of the framework: one C++ object bound to one window, whose messages it
// receives through OnWindowMessage.
//
// UI thread only: the thread that calls CreateHwnd owns the window and runs every callback.
// The object must outlive its window, or end its own life in OnLastMessage (the last call it
// gets for the window, after WM_NCDESTROY; the handle is dead by then). A window destroyed
// from inside one of its own messages (a click handler closing its box, an owner closed
// while a modal box of its handler runs) gets OnLastMessage only once the outermost of its
// messages has returned, so the handlers still on the stack never see a deleted object. The
// framework never deletes the object. Creation failures return null with the thread's last error set.
#pragma once

#include "platform/window/WindowTypes.h"

namespace SkinUI {

class CWindowWnd {
public:
    // Icon resource that SetWindowIcon looks for.
    static constexpr UINT kWindowIconId = 101;
    // What RunModal returns when the window died without WM_CLOSE, or when it cannot run.
    static constexpr UINT kModalAborted = 0xFFFFFFFFu;

    CWindowWnd() = default;
    virtual ~CWindowWnd();
    CWindowWnd(const CWindowWnd&) = delete;
    CWindowWnd& operator=(const CWindowWnd&) = delete;

    HWND GetHWND() const { return m_hwnd; }
    operator HWND() const { return m_hwnd; }  // NOLINT: used where Win32 calls take the window

    // Registers the class named by RegisteredClassName (or superclasses SuperclassName under
    // it) on first use and creates the window with this object as its creation parameter.
    // Null when the object already has a window, the class cannot be registered or creation
    // fails.
    HWND CreateHwnd(HWND parent, LPCWSTR title, DWORD style, DWORD exStyle, int x, int y, int width, int height,
                    HMENU menu = nullptr);
    HWND CreateHwndInRect(HWND parent, DWORD style, DWORD exStyle, const RECT& rect);

    // SW_SHOWNORMAL (show and focus), SW_SHOWNOACTIVATE (show only) or SW_HIDE.
    void ShowHwnd(bool show = true, bool takeFocus = true);
    // Centres on the owner, or on the monitor's work area without one (or while the owner is
    // minimised), and keeps the window inside the work area.
    void CenterOnOwner();
    // Disables the owner and runs a nested message loop until the window receives WM_CLOSE,
    // whose wParam it returns; the owner is enabled again before the window goes away. A
    // WM_QUIT ends the loop too and is posted again for the outer loop. The object may be
    // deleted by the time this returns (windows that delete themselves on their last message),
    // so the caller must not touch it then.
    UINT RunModal();
    // Posts WM_CLOSE with `result` as wParam.
    void PostClose(UINT result);
    // Big and small icon (the system's two icon sizes) from icon resource 101; false, with
    // the window left as it is, when the resource is missing or its images do not decode.
    bool SetWindowIcon();

protected:
    virtual LPCWSTR RegisteredClassName() const = 0;
    // A system class to superclass, or null for a class of our own.
    virtual LPCWSTR SuperclassName() const { return nullptr; }
    virtual UINT ClassStyleBits() const { return 0; }

    // Default: the previous procedure of a superclass, else DefWindowProcW.
    virtual LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // After WM_NCDESTROY; the object is no longer bound to `hwnd`.
    virtual void OnLastMessage(HWND hwnd);

    // Unbinds the window from the object and destroys it, without calling the object again;
    // for destructors, which must not leave a window calling into a dead object.
    void ReleaseWindow();

    HWND m_hwnd = nullptr;
    WNDPROC m_previousProc = nullptr;

private:
    struct ModalState;

    bool RegisterWindowClass();
    static LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    ModalState* m_modal = nullptr;
    // How many of this window's messages are being handled (nested ones included).
    int m_messageDepth = 0;
    bool m_lastMessagePending = false;
    HWND m_destroyedHwnd = nullptr;
};

}  // namespace SkinUI
