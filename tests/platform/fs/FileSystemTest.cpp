#include "platform/fs/FileSystem.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "platform/fs/DriveMap.h"
#include "platform/types/ErrorCodes.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

class FileSystemTest : public ::testing::Test {
protected:
    void SetUp() override { platform::ReloadDriveMap(); }
    void TearDown() override { platform::ReloadDriveMap(); }
    fs::path Home() const { return m_dir.Path() / "home"; }
    testsupport::TempDir m_dir{testsupport::TempDir::Home::Redirect};
};

TEST_F(FileSystemTest, DirectoriesAndAttributes) {
    EXPECT_TRUE(CreateDirectoryW(L"C:\\Games", nullptr));
    EXPECT_FALSE(CreateDirectoryW(L"C:\\Games", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(CreateDirectoryW(L"C:\\no\\such", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(GetFileAttributesW(L"c:\\games\\..\\Games\\"), FILE_ATTRIBUTE_DIRECTORY);

    m_dir.WriteFile("home/Games/a.txt", "1");
    EXPECT_EQ(GetFileAttributesW(L"C:\\Games\\a.txt"), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(GetFileAttributesW(L"C:\\Games\\b.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

    // A read-only file resists deletion until the attribute is cleared, as on Windows.
    EXPECT_TRUE(SetFileAttributesW(L"C:\\Games\\a.txt", FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(GetFileAttributesW(L"C:\\Games\\a.txt"), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(DeleteFileW(L"C:\\Games\\a.txt"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(RemoveDirectoryW(L"C:\\Games"));
    EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
    EXPECT_TRUE(SetFileAttributesW(L"C:\\Games\\a.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(DeleteFileW(L"C:\\Games\\a.txt"));
    EXPECT_FALSE(DeleteFileW(L"C:\\Games"));  // a directory is not deleted as a file
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(RemoveDirectoryW(L"C:\\Games"));
    EXPECT_FALSE(PathFileExistsW(L"C:\\Games"));
}

TEST_F(FileSystemTest, PathFileExistsSeesDriveRoots) {
    EXPECT_TRUE(PathFileExistsW(L"C:"));
    EXPECT_TRUE(PathFileExistsW(L"c:\\"));
    EXPECT_TRUE(PathFileExistsW(L"Z:\\"));
    EXPECT_FALSE(PathFileExistsW(L"D:\\"));
    EXPECT_FALSE(PathFileExistsW(L"D:"));
    EXPECT_FALSE(PathFileExistsW(nullptr));
}

TEST_F(FileSystemTest, MoveHonoursReplaceAndCopiesAcrossFileSystems) {
    m_dir.WriteFile("home/a", "new");
    m_dir.WriteFile("home/b", "old");
    EXPECT_FALSE(MoveFileExW(L"C:\\a", L"C:\\b", 0));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(testsupport::TempDir::ReadFile(Home() / "b"), "old");
    EXPECT_TRUE(MoveFileExW(L"C:\\a", L"C:\\b", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(testsupport::TempDir::ReadFile(Home() / "b"), "new");
    EXPECT_FALSE(fs::exists(Home() / "a"));
    EXPECT_FALSE(MoveFileExW(L"C:\\a", L"C:\\c", 0));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

    EXPECT_TRUE(CopyFileW(L"C:\\b", L"C:\\c", TRUE));
    EXPECT_FALSE(CopyFileW(L"C:\\b", L"C:\\c", TRUE));
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    EXPECT_EQ(testsupport::TempDir::ReadFile(Home() / "c"), "new");

    // Another file system as drive R:.
    struct stat home {
    }, shm{};
    if (stat("/dev/shm", &shm) != 0 || stat(Home().c_str(), &home) != 0 || home.st_dev == shm.st_dev) {
        GTEST_SKIP() << "no second file system at /dev/shm";
    }
    char pattern[] = "/dev/shm/xjmove-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path other = pattern;
    m_dir.WriteFile("home/.config/xjinstaller/drives.ini", "[Drives]\nR=" + other.string() + "\n");
    platform::ReloadDriveMap();
    fs::create_directories(other);
    m_dir.WriteFile("home/big", std::string(300000, 'q'));
    EXPECT_FALSE(MoveFileExW(L"C:\\big", L"R:\\big", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SAME_DEVICE);
    EXPECT_TRUE(MoveFileExW(L"C:\\big", L"R:\\big", MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED));
    EXPECT_EQ(testsupport::TempDir::ReadFile(other / "big"), std::string(300000, 'q'));
    EXPECT_FALSE(fs::exists(Home() / "big"));
    // Without replace, an existing target stays untouched and the source stays too.
    EXPECT_FALSE(MoveFileExW(L"C:\\b", L"R:\\big", MOVEFILE_COPY_ALLOWED));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(fs::exists(Home() / "b"));
    EXPECT_EQ(testsupport::TempDir::ReadFile(other / "big").size(), 300000u);
    std::set<std::string> left;
    for (const auto& e : fs::directory_iterator(other))
        left.insert(e.path().filename().string());
    EXPECT_EQ(left, std::set<std::string>{"big"});  // no temporary copy left behind
    fs::remove_all(other);
}

TEST_F(FileSystemTest, FindMatchesWildcardsWithoutCaseAndReportsLargeSizes) {
    m_dir.WriteFile("home/d/Setup.EXE", "12345");
    m_dir.WriteFile("home/d/readme.txt", "x");
    m_dir.WriteFile("home/d/sub/x.exe", "");
    fs::resize_file(m_dir.WriteFile("home/d/big.bin", ""), (1ULL << 32) + 7);  // sparse
    auto collect = [](const wchar_t* pattern) {
        std::set<std::wstring> names;
        WIN32_FIND_DATAW data;
        HANDLE h = FindFirstFileW(pattern, &data);
        if (h == INVALID_HANDLE_VALUE) return names;
        do {
            names.insert(data.cFileName);
        } while (FindNextFileW(h, &data));
        EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
        EXPECT_TRUE(FindClose(h));
        return names;
    };
    EXPECT_EQ(collect(L"C:\\d\\*.exe"), (std::set<std::wstring>{L"Setup.EXE"}));
    EXPECT_EQ(collect(L"C:\\d\\?????.*"), (std::set<std::wstring>{L"Setup.EXE"}));
    EXPECT_EQ(collect(L"C:\\d\\*.*"),
              (std::set<std::wstring>{L".", L"..", L"Setup.EXE", L"readme.txt", L"sub", L"big.bin"}));
    EXPECT_TRUE(collect(L"C:\\d\\*.dll").empty());
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(collect(L"C:\\nodir\\*").empty());
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(L"C:\\d\\big.bin", &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.nFileSizeHigh, 1u);
    EXPECT_EQ(data.nFileSizeLow, 7u);
    EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_NORMAL);
    EXPECT_FALSE(FindNextFileW(h, &data));
    FindClose(h);
}

TEST(WildcardTest, MatchesLikeWindows) {
    const struct {
        const wchar_t* pattern;
        const wchar_t* name;
        bool match;
    } cases[] = {
        {L"*", L"", true},          {L"a*c", L"abbbc", true},
        {L"a*c", L"abcd", false},   {L"?", L"", false},
        {L"*.EXE", L"a.exe", true}, {L"*.*", L"noext", true},
        {L"*a*b", L"xaxxa", false}, {L"qv*.exe", L"QVinstaller.Exe", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "pattern length " << wcslen(c.pattern) << ", name length "
                                        << wcslen(c.name));
        EXPECT_EQ(platform::MatchesWildcard(c.pattern, c.name), c.match);
    }
}

}  // namespace
