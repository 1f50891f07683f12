#include "platform/fs/FileSystem.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "platform/fs/DriveMap.h"
#include "platform/strings/StringConv.h"
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

TEST_F(FileSystemTest, FindReportsSizesBeyondFourGigabytes) {
    m_dir.WriteFile("home/d/Setup.EXE", "12345");
    fs::resize_file(m_dir.WriteFile("home/d/big.bin", ""), (1ULL << 32) + 7);  // sparse

    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(L"C:\\d\\big.bin", &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.nFileSizeHigh, 1u);
    EXPECT_EQ(data.nFileSizeLow, 7u);
    EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_NORMAL);
    EXPECT_FALSE(FindNextFileW(h, &data));
    FindClose(h);
}

TEST_F(FileSystemTest, ListedNamesJoinBackToTheSameEntry) {
    // Host names that Windows form cannot hold as they are.
    const std::string odd[] = {"..\\..\\Documents", "\\", "log\xff.txt", "a\\b.ini"};
    for (const auto& name : odd)
        m_dir.WriteFile("home/logs/" + name, name);
    m_dir.WriteFile("home/Documents/keep.txt", "keep");
    m_dir.WriteFile("home/logs/游戏.txt", "游戏.txt");

    std::set<std::string> seen;
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(L"C:\\logs\\*", &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        SCOPED_TRACE(platform::Utf8FromWide(name));
        EXPECT_EQ(name.find_first_of(L"\\/"), std::wstring::npos);
        const std::wstring joined = L"C:\\logs\\" + name;
        const auto host = platform::HostPath(joined);
        ASSERT_TRUE(host.has_value());
        EXPECT_EQ(fs::path(*host).parent_path(), Home() / "logs");
        seen.insert(testsupport::TempDir::ReadFile(*host));
        // The name also finds the entry again on its own.
        WIN32_FIND_DATAW again;
        HANDLE one = FindFirstFileW(joined.c_str(), &again);
        ASSERT_NE(one, INVALID_HANDLE_VALUE);
        EXPECT_EQ(std::wstring(again.cFileName), name);
        FindClose(one);
    } while (FindNextFileW(h, &data));
    FindClose(h);
    std::set<std::string> expected(std::begin(odd), std::end(odd));
    expected.insert("游戏.txt");
    EXPECT_EQ(seen, expected);
}

TEST(WildcardTest, MatchesLikeWindows) {
    const struct {
        const wchar_t* pattern;
        const wchar_t* name;
        bool match;
    } cases[] = {
        {L"*", L"", true},
        {L"a*c", L"abbbc", true},
        {L"a*c", L"abcd", false},
        {L"?", L"", false},
        {L"*.EXE", L"a.exe", true},
        {L"*.*", L"noext", true},
        {L"*a*b", L"xaxxa", false},
        {L"qv*.exe", L"QVinstaller.Exe", true},
        {L"*.ÄRGER", L"x.ärger", true},
        {L"游戏*", L"游戏.ini", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "pattern length " << wcslen(c.pattern) << ", name length "
                                        << wcslen(c.name));
        EXPECT_EQ(platform::MatchesWildcard(c.pattern, c.name), c.match);
    }
}

}  // namespace
