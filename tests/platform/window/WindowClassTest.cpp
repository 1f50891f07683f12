#include "platform/window/WindowClass.h"

#include <gtest/gtest.h>

#include "WindowTestSupport.h"
#include "platform/types/ErrorCodes.h"

using windowtest::OnFreshThread;
using windowtest::Recorder;
using windowtest::ScopedClass;

namespace {

WNDPROC g_baseProc = nullptr;
int g_superclassCalls = 0;

LRESULT SuperclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    ++g_superclassCalls;
    if (message == WM_APP) return 1234;
    return CallWindowProcW(g_baseProc, hwnd, message, wParam, lParam);
}

TEST(WindowClassTest, RegistrationRulesAndErrors) {
    ScopedClass cls;
    WNDCLASSEXW wc;
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = windowtest::RecordingProc;

    std::wstring upper(cls.Name());
    for (auto& c : upper)
        c = static_cast<wchar_t>(std::towupper(c));
    wc.lpszClassName = upper.c_str();
    EXPECT_EQ(RegisterClassExW(&wc), 0);  // names compare without case
    EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);

    struct Case {
        const char* why;
        UINT size;
        WNDPROC proc;
        LPCWSTR name;
    };
    const Case bad[] = {
        {"wrong size", sizeof(wc) - 8, windowtest::RecordingProc, L"XjBad1"},
        {"no procedure", sizeof(wc), nullptr, L"XjBad2"},
        {"no name", sizeof(wc), windowtest::RecordingProc, nullptr},
        {"empty name", sizeof(wc), windowtest::RecordingProc, L""},
    };
    for (const auto& c : bad) {
        SCOPED_TRACE(c.why);
        WNDCLASSEXW attempt;
        attempt.cbSize = c.size;
        attempt.lpfnWndProc = c.proc;
        attempt.lpszClassName = c.name;
        EXPECT_EQ(RegisterClassExW(&attempt), 0);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(RegisterClassExW(nullptr), 0);

    EXPECT_FALSE(UnregisterClassW(L"XjNeverRegistered", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_CLASS_DOES_NOT_EXIST);

    // A class with windows cannot go; once they are gone it can, and its name is free again.
    OnFreshThread([&] {
        Recorder recorder;
        const HWND hwnd = cls.Create(&recorder);
        EXPECT_FALSE(UnregisterClassW(cls.Name(), nullptr));
        EXPECT_EQ(GetLastError(), ERROR_CLASS_HAS_WINDOWS);
        DestroyWindow(hwnd);
    });
    EXPECT_TRUE(UnregisterClassW(upper.c_str(), nullptr));
    WNDCLASSW plain;
    plain.lpfnWndProc = windowtest::RecordingProc;
    plain.lpszClassName = cls.Name();
    EXPECT_NE(RegisterClassW(&plain), 0);
}

TEST(WindowClassTest, SuperclassKeepsTheBaseProcedureReachable) {
    OnFreshThread([] {
        ScopedClass base;
        WNDCLASSEXW wc;
        wc.cbSize = sizeof(wc);
        ASSERT_TRUE(GetClassInfoExW(nullptr, base.Name(), &wc));
        g_baseProc = wc.lpfnWndProc;
        wc.lpfnWndProc = SuperclassProc;
        wc.lpszClassName = L"XjSuperclassed";
        ASSERT_NE(RegisterClassExW(&wc), 0);

        g_superclassCalls = 0;
        Recorder recorder;
        const HWND hwnd =
            CreateWindowExW(0, L"XjSuperclassed", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, &recorder);
        ASSERT_NE(hwnd, nullptr);
        EXPECT_EQ(SendMessageW(hwnd, WM_APP, 0, 0), 1234);
        SendMessageW(hwnd, WM_APP + 1, 0, 0);
        // Creation went through the superclass into the base procedure, which saw all but WM_APP.
        EXPECT_GE(g_superclassCalls, 4);
        EXPECT_EQ(recorder.Only({WM_NCCREATE, WM_CREATE, WM_APP, WM_APP + 1}),
                  (std::vector<std::pair<HWND, UINT>>{{hwnd, WM_NCCREATE}, {hwnd, WM_CREATE}, {hwnd, WM_APP + 1}}));
        DestroyWindow(hwnd);
        EXPECT_TRUE(UnregisterClassW(L"XjSuperclassed", nullptr));
    });
}

}  // namespace
