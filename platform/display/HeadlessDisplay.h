// The display without a screen: windows keep their pixels and nothing is
// shown. Always available; the backend of tests and of runs without X.
//
// Install it with SetWindowBackend (or StartDisplay) before the first window.
// Window calls arrive on the windows' threads; the test API may be called
// from any thread. Injected input goes through the same router as the X11
// backend's, so it produces the same messages, queued for the window's thread
// and delivered when that thread pumps its messages. Input time stamps come
// from the display's own clock, which only AdvanceTime moves.
#pragma once

#include <map>
#include <mutex>
#include <string>

#include "platform/window/InputRouter.h"
#include "platform/window/WindowBackend.h"

namespace platform {

class HeadlessDisplay final : public IWindowBackend {
public:
    explicit HeadlessDisplay(ScreenGeometry screen = ScreenGeometry{});

    void WindowCreated(WindowObject& window) override;
    void WindowDestroyed(WindowObject& window) override;
    void Present(WindowObject& window, const RECT& area) override;
    void CursorChanged(HCURSOR cursor) override;
    ScreenGeometry Screen() const override;

    void SetScreen(const ScreenGeometry& screen);

    // Input in screen co-ordinates. Buttons and the wheel act where the mouse is.
    void MoveMouse(int x, int y);
    void PressButton(RawInput::Button button);
    void ReleaseButton(RawInput::Button button);
    // Moves there, presses and releases.
    void Click(int x, int y, RawInput::Button button = RawInput::Button::Left);
    void Wheel(int delta);
    // `text` is what the key types (UTF-8); empty lets the key's own meaning stand.
    void KeyDown(UINT virtualKey, const std::string& text = {});
    void KeyUp(UINT virtualKey);
    // Each character as a VK_PACKET key press carrying it.
    void TypeText(const std::string& utf8);
    // The mouse left every window of the program.
    void LeaveScreen();
    void AdvanceTime(DWORD milliseconds);

    // The pixel a viewer would see (see platform::ShownPixel).
    DWORD Pixel(HWND topLevel, int x, int y) const;
    // The window as a viewer sees it; false when it has no pixels or the file cannot be written.
    bool WritePng(HWND topLevel, const std::string& path) const;
    // How often the window's pixels were handed over since it was created.
    int PresentCount(HWND topLevel) const;
    HCURSOR Cursor() const;

private:
    void Send(RawInput input);

    mutable std::mutex m_mutex;
    ScreenGeometry m_screen;
    POINT m_mouse;
    DWORD m_time;
    HCURSOR m_cursor = nullptr;
    std::map<HWND, int> m_presents;
};

}  // namespace platform
