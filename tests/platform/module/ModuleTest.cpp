#include "platform/module/Module.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/fs/DriveMap.h"
#include "platform/strings/StringConv.h"
#include "platform/types/ErrorCodes.h"
#include "support/TempDir.h"

namespace {

int Seven() {
    return 7;
}
int Eight() {
    return 8;
}

}  // namespace

TEST(ModuleTest, BuiltinModulesLoadByBareNameAndOutliveTheirEntry) {
    ASSERT_TRUE(platform::RegisterBuiltinModule(L"fake20.dll", {{"Seven", platform::AsProc(&Seven)}}));
    EXPECT_FALSE(platform::RegisterBuiltinModule(L"C:\\sys\\fake20.dll", {}));

    HMODULE first = LoadLibraryW(L"FAKE20.DLL");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(LoadLibraryW(L"fake20.dll"), first);  // counted, same handle
    auto seven = reinterpret_cast<int (*)()>(GetProcAddress(first, "Seven"));
    ASSERT_NE(seven, nullptr);
    EXPECT_EQ(seven(), 7);
    EXPECT_EQ(GetProcAddress(first, "Missing"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);

    // A folder part means a file: the built-in entry does not answer for it.
    EXPECT_EQ(LoadLibraryW(L"C:\\nowhere\\fake20.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);

    // Removing the entry refuses new loads but keeps the handle given out.
    EXPECT_TRUE(platform::UnregisterBuiltinModule(L"fake20.dll"));
    EXPECT_EQ(LoadLibraryW(L"fake20.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    EXPECT_NE(GetProcAddress(first, "Seven"), nullptr);

    // A replaced entry is a different module.
    ASSERT_TRUE(platform::RegisterBuiltinModule(L"fake20.dll", {{"Eight", platform::AsProc(&Eight)}}));
    HMODULE second = LoadLibraryW(L"fake20.dll");
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    EXPECT_EQ(GetProcAddress(second, "Seven"), nullptr);

    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_FALSE(FreeLibrary(first));  // every load balanced: the handle is gone
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(GetProcAddress(first, "Seven"), nullptr);
    EXPECT_TRUE(FreeLibrary(second));
    platform::UnregisterBuiltinModule(L"fake20.dll");
}

TEST(ModuleTest, FilesThatAreNotModulesFail) {
    testsupport::TempDir dir;
    const std::wstring text = platform::WinPath(dir.WriteFile("notes.dll", "not a module").string());
    EXPECT_EQ(LoadLibraryW(text.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_BAD_EXE_FORMAT);
    EXPECT_EQ(LoadLibraryW(L""), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(LoadLibraryW(L"no-such-library.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}
