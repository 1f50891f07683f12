#include "platform/fs/KnownFolders.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/fs/DriveMap.h"
#include "platform/fs/FileSystem.h"
#include "platform/types/ErrorCodes.h"
#include "support/TempDir.h"

namespace {

TEST(KnownFoldersTest, ShellFoldersFollowTheEnvironmentInWindowsForm) {
    testsupport::TempDir dir(testsupport::TempDir::Home::Redirect);
    platform::ReloadDriveMap();
    wchar_t path[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, path, CSIDL_COMMON_APPDATA, FALSE));
    EXPECT_STREQ(path, L"C:\\.local\\share");
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, path, CSIDL_COMMON_DOCUMENTS, TRUE));
    EXPECT_STREQ(path, L"C:\\Documents");
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path() / "home/Documents"));

    // Without the XDG variables the defaults below HOME apply.
    const std::string saved = std::getenv("XDG_DOCUMENTS_DIR");
    unsetenv("XDG_DOCUMENTS_DIR");
    unsetenv("XDG_DATA_HOME");
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, path, CSIDL_COMMON_DOCUMENTS, FALSE));
    EXPECT_STREQ(path, L"C:\\Documents");
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, path, CSIDL_COMMON_APPDATA, FALSE));
    EXPECT_STREQ(path, L"C:\\.local\\share");
    setenv("XDG_DOCUMENTS_DIR", "/srv/docs", 1);
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, path, CSIDL_COMMON_DOCUMENTS, FALSE));
    EXPECT_STREQ(path, L"Z:\\srv\\docs");
    setenv("XDG_DOCUMENTS_DIR", saved.c_str(), 1);

    EXPECT_FALSE(SHGetSpecialFolderPathW(nullptr, path, 0x1A, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(KnownFoldersTest, ModuleFileNameIsTheOwnExecutableAndTruncates) {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    ASSERT_GT(n, 0u);
    ASSERT_LT(n, MAX_PATH);
    char exe[4096];
    const ssize_t len = readlink("/proc/self/exe", exe, sizeof exe - 1);
    ASSERT_GT(len, 0);
    EXPECT_EQ(platform::HostPath(path), std::string(exe, static_cast<size_t>(len)));

    wchar_t small[5];
    EXPECT_EQ(GetModuleFileNameW(nullptr, small, 5), 5u);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::wstring(small), std::wstring(path, 4));
}

}  // namespace
