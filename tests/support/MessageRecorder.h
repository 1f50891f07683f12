// A window procedure that records every message it gets, for tests of message order.
// The recorder comes in as the creation parameter; ScopedClass registers a class of
// that procedure for one test. Any thread may read a recorder.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/window/MessageApi.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowClass.h"

namespace testsupport {

struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

using Step = std::pair<HWND, UINT>;

class Recorder {
public:
    using Handler = std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)>;

    void Record(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        std::lock_guard lock(m_mutex);
        m_seen.push_back(Seen{hwnd, message, wParam, lParam});
    }
    std::vector<Seen> All() const {
        std::lock_guard lock(m_mutex);
        return m_seen;
    }
    // (window, message) pairs of the given messages only, in arrival order.
    std::vector<Step> Only(std::initializer_list<UINT> messages) const {
        std::vector<Step> out;
        for (const auto& s : All()) {
            if (std::find(messages.begin(), messages.end(), s.message) != messages.end())
                out.emplace_back(s.hwnd, s.message);
        }
        return out;
    }
    // The procedure answers `result` to `message` instead of passing it on.
    void Answer(UINT message, LRESULT result) {
        handler = [message, result](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (m == message) return result;
            return std::nullopt;
        };
    }
    void Clear() {
        std::lock_guard lock(m_mutex);
        m_seen.clear();
    }

    Handler handler;

private:
    mutable std::mutex m_mutex;
    std::vector<Seen> m_seen;
};

// One parameter of every `message` to `hwnd` (any window when null), in order.
template <typename T>
std::vector<T> ParamsOf(const Recorder& recorder, HWND hwnd, UINT message, T Seen::*field) {
    std::vector<T> out;
    for (const auto& s : recorder.All()) {
        if ((!hwnd || s.hwnd == hwnd) && s.message == message) out.push_back(s.*field);
    }
    return out;
}
inline std::vector<WPARAM> WParamsOf(const Recorder& recorder, HWND hwnd, UINT message) {
    return ParamsOf(recorder, hwnd, message, &Seen::wParam);
}
inline std::vector<LPARAM> LParamsOf(const Recorder& recorder, HWND hwnd, UINT message) {
    return ParamsOf(recorder, hwnd, message, &Seen::lParam);
}

inline LRESULT RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* recorder = reinterpret_cast<Recorder*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        recorder = static_cast<Recorder*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(recorder));
    }
    if (recorder) {
        recorder->Record(hwnd, message, wParam, lParam);
        if (recorder->handler) {
            if (auto result = recorder->handler(hwnd, message, wParam, lParam)) return *result;
        }
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// A class of its own for each test, so tests never see each other's windows. Windows of
// the class still alive on this thread go with it, before the class is unregistered.
class ScopedClass {
public:
    explicit ScopedClass(UINT style = 0, HCURSOR cursor = nullptr, HBRUSH background = nullptr) {
        static std::atomic<int> counter{0};
        m_name = L"WindowTestClass" + std::to_wstring(++counter);
        WNDCLASSEXW wc;
        wc.cbSize = sizeof(wc);
        wc.style = style;
        wc.lpfnWndProc = RecordingProc;
        wc.hCursor = cursor;
        wc.hbrBackground = background;
        wc.lpszClassName = m_name.c_str();
        EXPECT_NE(RegisterClassExW(&wc), 0);
    }
    ~ScopedClass() {
        DestroyWindows();
        UnregisterClassW(m_name.c_str(), nullptr);
    }
    void DestroyWindows() {
        std::lock_guard lock(m_mutex);
        for (HWND hwnd : m_windows) {
            if (IsWindow(hwnd)) DestroyWindow(hwnd);
        }
        m_windows.clear();
    }
    LPCWSTR Name() const { return m_name.c_str(); }

    HWND Create(Recorder* recorder, DWORD style = WS_POPUP, HWND parent = nullptr, HMENU menu = nullptr) {
        return Track(CreateWindowExW(0, Name(), L"test", style, 0, 0, 100, 80, parent, menu, nullptr, recorder));
    }
    HWND Create(Recorder* recorder, DWORD style, RECT rect, HWND parent = nullptr, DWORD exStyle = 0) {
        return Track(CreateWindowExW(exStyle, Name(), L"window", style, rect.left, rect.top, rect.right - rect.left,
                                     rect.bottom - rect.top, parent, nullptr, nullptr, recorder));
    }

private:
    HWND Track(HWND hwnd) {
        std::lock_guard lock(m_mutex);
        if (hwnd) m_windows.push_back(hwnd);
        return hwnd;
    }

    std::wstring m_name;
    std::mutex m_mutex;
    std::vector<HWND> m_windows;
};

}  // namespace testsupport
