#include "commonlib/util/FileUtils.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/fs/DriveMap.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/KnownFolders.h"
#include "platform/strings/StringConv.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

class FileUtilsTest : public ::testing::Test {
protected:
    testsupport::TempDir m_dir{testsupport::TempDir::Home::Redirect};
    fs::path Home() const { return m_dir / "home"; }
    void Write(const std::string& name, const std::string& bytes = "x") { m_dir.WriteFile("home/" + name, bytes); }
    std::vector<fs::path> Probes() const {
        std::vector<fs::path> out;
        for (const auto& entry : fs::recursive_directory_iterator(m_dir.Path())) {
            if (entry.path().extension() == ".qvxj") out.push_back(entry.path());
        }
        return out;
    }
};

}  // namespace

TEST_F(FileUtilsTest, IsDirWritableWalksUpToAnExistingFolder) {
    Write("file.txt");
    fs::create_directories(Home() / "a");
    const struct {
        const wchar_t* path;
        bool writable;
    } cases[] = {
        {L"C:\\a", true},  {L"C:\\a\\b\\c\\", true},      // missing: probed in C:\a
        {L"C:/a/b", true}, {L"C:\\file.txt\\sub", true},  // a file is no folder: probed in C:\ (the home)
        {L"C:\\", true},   {L"Q:\\unmapped\\x", false},  {L"", false}, {L"relative\\x", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << platform::Utf8FromWide(c.path));
        EXPECT_EQ(IsDirWritable(c.path), c.writable);
    }
    EXPECT_TRUE(Probes().empty());
    EXPECT_FALSE(fs::exists(Home() / "a" / "b"));

    // A file that happens to carry a probe's name is never replaced or deleted.
    const auto now = std::time(nullptr);
    for (auto t = now - 1; t < now + 4; ++t)
        Write("a/xjtest_" + std::to_string(t) + ".qvxj", "keep");
    EXPECT_TRUE(IsDirWritable(L"C:\\a"));
    EXPECT_EQ(Probes().size(), 5u);
    for (const auto& probe : Probes())
        EXPECT_EQ(testsupport::TempDir::ReadFile(probe), "keep");
}

TEST_F(FileUtilsTest, CreateDirByXjMakesEveryMissingParent) {
    Write("file.txt");
    EXPECT_TRUE(CreateDirByXj(L"C:\\x\\y\\z\\"));
    EXPECT_TRUE(fs::is_directory(Home() / "x/y/z"));
    EXPECT_TRUE(CreateDirByXj(L"C:/x/y"));  // exists already
    EXPECT_TRUE(CreateDirByXj(L"C:\\"));
    EXPECT_FALSE(CreateDirByXj(L"C:\\file.txt\\sub"));
    EXPECT_FALSE(CreateDirByXj(L"C:\\file.txt"));
    EXPECT_FALSE(CreateDirByXj(L"Q:\\unmapped"));
    EXPECT_FALSE(CreateDirByXj(L""));
}

TEST_F(FileUtilsTest, DeleteFileWithRetryCountsAttemptsAndSleeps) {
    const struct {
        int retries;
        int goneAfter;  // the attempt that succeeds; 0: never
        bool result;
        int attempts;
        std::vector<DWORD> sleeps;
    } cases[] = {
        {0, 1, true, 1, {}},
        {0, 0, false, 1, {}},
        {-2, 0, false, 1, {}},
        {3, 3, true, 3, {1, 101}},
        {3, 0, false, 4, {1, 101, 201}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "retries " << c.retries << " gone after " << c.goneAfter);
        Write("victim.bin");
        int attempts = 0;
        std::vector<DWORD> sleeps;
        FileDeleteHooks hooks{[&](LPCWSTR path) {
                                  ++attempts;
                                  return attempts == c.goneAfter ? DeleteFileW(path) : FALSE;
                              },
                              [&](DWORD ms) { sleeps.push_back(ms); }};
        EXPECT_EQ(DeleteFileWithRetry(L"C:\\victim.bin", c.retries, hooks), c.result);
        EXPECT_EQ(attempts, c.attempts);
        EXPECT_EQ(sleeps, c.sleeps);
    }
    int attempts = 0;
    FileDeleteHooks counting{[&](LPCWSTR) { return ++attempts, FALSE; }, [](DWORD) {}};
    EXPECT_TRUE(DeleteFileWithRetry(L"C:\\absent.bin", 5, counting));
    EXPECT_EQ(attempts, 0);
    EXPECT_TRUE(DeleteFileWithRetry(L"C:\\victim.bin", 0));  // the real calls
    EXPECT_FALSE(fs::exists(Home() / "victim.bin"));
}

TEST_F(FileUtilsTest, DeleteFolderTreeRemovesContentsButNeverFollowsLinks) {
    Write("outside/keep.txt");
    Write("install/bin/a.dll");
    Write("install/bin/sub/deep/b.txt");
    Write("install/bin/ro.txt");
    fs::permissions(Home() / "install/bin/ro.txt", fs::perms::owner_read | fs::perms::group_read);
    fs::create_directory_symlink(Home() / "outside", Home() / "install/bin/link");
    fs::create_symlink(Home() / "outside/keep.txt", Home() / "install/bin/filelink");

    EXPECT_TRUE(DeleteFolderTree(L"C:\\install\\bin\\"));
    EXPECT_FALSE(fs::exists(Home() / "install/bin"));
    EXPECT_TRUE(fs::exists(Home() / "outside/keep.txt"));
    EXPECT_NE(fs::status(Home() / "outside/keep.txt").permissions() & fs::perms::owner_write, fs::perms::none);

    Write("install/patch/p.bin");
    EXPECT_TRUE(DeleteFolderTree(L"C:\\install\\patch", false));
    EXPECT_TRUE(fs::is_directory(Home() / "install/patch"));
    EXPECT_TRUE(fs::is_empty(Home() / "install/patch"));

    EXPECT_TRUE(DeleteFolderTree(L"C:\\install\\never"));
    for (const wchar_t* root : {L"C:\\", L"C:", L"c:/", L""}) {
        EXPECT_FALSE(DeleteFolderTree(root));
    }
    EXPECT_TRUE(fs::exists(Home() / "outside/keep.txt"));
}

TEST_F(FileUtilsTest, SmallFileAndVolumeHelpers) {
    // EnsureUnicodeFile creates a BOM-only file and leaves an existing one alone.
    EXPECT_TRUE(EnsureUnicodeFile(L"C:\\Launcher.ini"));
    EXPECT_EQ(testsupport::TempDir::ReadFile(Home() / "Launcher.ini"), "\xFF\xFE");
    Write("existing.ini", "[a]\nb=c\n");
    EXPECT_TRUE(EnsureUnicodeFile(L"C:\\existing.ini"));
    EXPECT_EQ(testsupport::TempDir::ReadFile(Home() / "existing.ini"), "[a]\nb=c\n");
    EXPECT_FALSE(EnsureUnicodeFile(L"C:\\missing\\x.ini"));

    Write("sized.bin", std::string(12345, 'a'));
    EXPECT_EQ(GetFileSizeByPath(L"C:\\sized.bin"), 12345);
    EXPECT_EQ(GetFileSizeByPath(L"C:\\absent.bin"), -1);

    EXPECT_GT(GetDiskFreeBytes(L"C:\\not\\yet\\there"), 0u);
    EXPECT_EQ(GetDiskFreeBytes(L"Q:\\"), 0u);

    EXPECT_TRUE(PathDriveExists(L"C:\\anything\\at\\all"));
    EXPECT_FALSE(PathDriveExists(L"Q:\\x"));
    EXPECT_FALSE(PathDriveExists(L"C"));

    EXPECT_EQ(GetSpecialFolderPath(CSIDL_COMMON_APPDATA), L"C:\\.local\\share");
    EXPECT_EQ(GetSpecialFolderPath(0x1234), L"");
    EXPECT_FALSE(GetExeDir().empty());
    EXPECT_NE(GetExeDir().back(), L'\\');
    EXPECT_EQ(platform::HostPath(GetExeDir() + L"\\commonlib_tests").value_or(""),
              fs::canonical("/proc/self/exe").string());
}
