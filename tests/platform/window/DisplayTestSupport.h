// Helpers for tests of windows on a display: a headless display installed for
// the test's lifetime, a class with a chosen style and cursor, and a message
// pump that translates keys as a program's main loop does.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "WindowTestSupport.h"
#include "platform/display/HeadlessDisplay.h"
#include "platform/types/ErrorCodes.h"
#include "platform/window/DisplayTypes.h"
#include "platform/window/Focus.h"
#include "platform/window/Paint.h"
#include "platform/window/Screen.h"
#include "platform/window/WindowBackend.h"
#include "platform/window/WindowPos.h"

namespace windowtest {

class HeadlessScope {
public:
    explicit HeadlessScope(platform::ScreenGeometry screen = platform::ScreenGeometry{}) : display(screen) {
        platform::SetWindowBackend(&display);
    }
    ~HeadlessScope() { platform::SetWindowBackend(nullptr); }
    platform::HeadlessDisplay display;
};

// A class of its own with a class style, cursor and background brush.
class StyledClass {
public:
    explicit StyledClass(UINT style, HCURSOR cursor = nullptr, HBRUSH background = nullptr) {
        static int counter = 0;
        m_name = L"DisplayTestClass" + std::to_wstring(++counter);
        WNDCLASSEXW wc;
        wc.cbSize = sizeof(wc);
        wc.style = style;
        wc.lpfnWndProc = RecordingProc;
        wc.hCursor = cursor;
        wc.hbrBackground = background;
        wc.lpszClassName = m_name.c_str();
        EXPECT_NE(RegisterClassExW(&wc), 0);
    }
    ~StyledClass() { UnregisterClassW(m_name.c_str(), nullptr); }
    LPCWSTR Name() const { return m_name.c_str(); }
    HWND Create(Recorder* recorder, DWORD style, RECT rect, HWND parent = nullptr, DWORD exStyle = 0) const {
        return CreateWindowExW(exStyle, Name(), L"window", style, rect.left, rect.top, rect.right - rect.left,
                               rect.bottom - rect.top, parent, nullptr, nullptr, recorder);
    }

private:
    std::wstring m_name;
};

// Dispatches everything queued, translating key messages first.
inline int PumpTranslated() {
    MSG msg;
    int count = 0;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        ++count;
    }
    return count;
}

using Step = std::pair<HWND, UINT>;

// The wParam values of one message to one window, in order.
inline std::vector<WPARAM> WParamsOf(const Recorder& recorder, HWND hwnd, UINT message) {
    std::vector<WPARAM> out;
    for (const auto& s : recorder.All()) {
        if (s.hwnd == hwnd && s.message == message) out.push_back(s.wParam);
    }
    return out;
}

inline std::vector<LPARAM> LParamsOf(const Recorder& recorder, HWND hwnd, UINT message) {
    std::vector<LPARAM> out;
    for (const auto& s : recorder.All()) {
        if (s.hwnd == hwnd && s.message == message) out.push_back(s.lParam);
    }
    return out;
}

inline LPARAM Point(int x, int y) {
    return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y));
}

}  // namespace windowtest
