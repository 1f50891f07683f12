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
    std::wstring upper(cls.Name());
    for (auto& c : upper)
        c = static_cast<wchar_t>(std::towupper(c));
    const struct {
        const char* why;
        UINT size;
        WNDPROC proc;
        LPCWSTR name;
        DWORD error;
    } bad[] = {
        {"names compare without case", sizeof(WNDCLASSEXW), windowtest::RecordingProc, upper.c_str(),
         ERROR_CLASS_ALREADY_EXISTS},
        {"wrong size", sizeof(WNDCLASSEXW) - 8, windowtest::RecordingProc, L"XjBad1", ERROR_INVALID_PARAMETER},
        {"no procedure", sizeof(WNDCLASSEXW), nullptr, L"XjBad2", ERROR_INVALID_PARAMETER},
        {"empty name", sizeof(WNDCLASSEXW), windowtest::RecordingProc, L"", ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : bad) {
        SCOPED_TRACE(c.why);
        WNDCLASSEXW attempt;
        attempt.cbSize = c.size;
        attempt.lpfnWndProc = c.proc;
        attempt.lpszClassName = c.name;
        EXPECT_EQ(RegisterClassExW(&attempt), 0);
        EXPECT_EQ(GetLastError(), c.error);
    }

    // A class with windows cannot go; once they are gone it can.
    OnFreshThread([&] {
        cls.Create(nullptr);  // goes with the thread
        EXPECT_FALSE(UnregisterClassW(cls.Name(), nullptr));
        EXPECT_EQ(GetLastError(), ERROR_CLASS_HAS_WINDOWS);
    });
    EXPECT_TRUE(UnregisterClassW(upper.c_str(), nullptr));
    EXPECT_FALSE(UnregisterClassW(upper.c_str(), nullptr));
    EXPECT_EQ(GetLastError(), ERROR_CLASS_DOES_NOT_EXIST);
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
