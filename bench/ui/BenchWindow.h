// A window on the headless display for the UI benchmarks, with a default window procedure;
// the display is the window layer's backend while it lives.
#pragma once

#include "platform/display/HeadlessDisplay.h"
#include "platform/window/MessageApi.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowClass.h"

namespace benchui {

class BenchWindow {
public:
    BenchWindow(const wchar_t* className, int width, int height) : m_className(className) {
        platform::SetWindowBackend(&m_display);
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = className;
        RegisterClassExW(&wc);
        m_hwnd = CreateWindowExW(0, className, L"bench", WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr, nullptr,
                                 nullptr, nullptr);
    }
    ~BenchWindow() {
        DestroyWindow(m_hwnd);
        UnregisterClassW(m_className, nullptr);
        platform::SetWindowBackend(nullptr);
    }
    BenchWindow(const BenchWindow&) = delete;
    BenchWindow& operator=(const BenchWindow&) = delete;

    HWND Handle() const { return m_hwnd; }

private:
    platform::HeadlessDisplay m_display;
    const wchar_t* m_className;
    HWND m_hwnd = nullptr;
};

}  // namespace benchui
