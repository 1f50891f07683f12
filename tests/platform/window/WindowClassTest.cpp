#include "platform/window/WindowClass.h"

#include <gtest/gtest.h>

#include "WindowTestSupport.h"
#include "platform/types/ErrorCodes.h"

using windowtest::OnFreshThread;
using windowtest::ScopedClass;

namespace {

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

}  // namespace
