#include "commonlib/util/FileUtils.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/fs/DriveMap.h"
#include "platform/fs/FileSystem.h"
#include "platform/strings/StringConv.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

class FileUtilsTest : public ::testing::Test {
protected:
    testsupport::TempDir m_dir{testsupport::TempDir::Home::Redirect};
    fs::path Home() const { return m_dir / "home"; }
    void Write(const std::string& name, const std::string& bytes = "x") { m_dir.WriteFile("home/" + name, bytes); }
};

}  // namespace

TEST_F(FileUtilsTest, IsDirWritableWalksUpToAnExistingFolder) {
    Write("file.txt");
    fs::create_directories(Home() / "a");
    const auto now = std::time(nullptr);
    for (auto t = now - 1; t < now + 4; ++t)  // files carrying the next probe names stay untouched
        Write("a/xjtest_" + std::to_string(t) + ".qvxj", "keep");
    const struct {
        const wchar_t* path;
        bool writable;
    } cases[] = {
        {L"C:\\a", true}, {L"C:\\a\\b\\c\\", true},    {L"C:\\file.txt\\sub", true},
        {L"C:\\", true},  {L"Q:\\unmapped\\x", false}, {L"relative\\x", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::Utf8FromWide(c.path));
        EXPECT_EQ(IsDirWritable(c.path), c.writable);
    }
    EXPECT_FALSE(fs::exists(Home() / "a" / "b"));
    int probes = 0;
    for (const auto& entry : fs::recursive_directory_iterator(m_dir.Path())) {
        if (entry.path().extension() != ".qvxj") continue;
        ++probes;
        EXPECT_EQ(testsupport::TempDir::ReadFile(entry.path()), "keep");
    }
    EXPECT_EQ(probes, 5);
}

TEST_F(FileUtilsTest, CreateDirByXjMakesEveryMissingParent) {
    Write("file.txt");
    EXPECT_TRUE(CreateDirByXj(L"C:\\x\\y\\z\\"));
    EXPECT_TRUE(fs::is_directory(Home() / "x/y/z"));
    EXPECT_TRUE(CreateDirByXj(L"C:/x/y"));
    EXPECT_FALSE(CreateDirByXj(L"C:\\file.txt\\sub"));
    EXPECT_FALSE(CreateDirByXj(L"C:\\file.txt"));
    EXPECT_FALSE(CreateDirByXj(L"Q:\\unmapped"));
}

TEST_F(FileUtilsTest, DeleteFileWithRetryCountsAttemptsAndSleeps) {
    const struct {
        int retries;
        int goneAfter;  // the attempt that succeeds; 0: none
        bool result;
        int attempts;
        std::vector<DWORD> sleeps;
    } cases[] = {
        {0, 1, true, 1, {}},
        {0, 0, false, 1, {}},
        {3, 3, true, 3, {1, 101}},
        {3, 0, false, 4, {1, 101, 201}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "retries " << c.retries << " gone after " << c.goneAfter);
        Write("victim.bin");
        int attempts = 0;
        std::vector<DWORD> sleeps;
        const FileDeleteHooks hooks{[&](LPCWSTR path) { return ++attempts == c.goneAfter ? DeleteFileW(path) : FALSE; },
                                    [&](DWORD ms) { sleeps.push_back(ms); }};
        EXPECT_EQ(DeleteFileWithRetry(L"C:\\victim.bin", c.retries, hooks), c.result);
        EXPECT_EQ(attempts, c.attempts);
        EXPECT_EQ(sleeps, c.sleeps);
    }
    EXPECT_TRUE(DeleteFileWithRetry(L"C:\\victim.bin", 0));
    EXPECT_TRUE(DeleteFileWithRetry(L"C:\\victim.bin", 0));  // absent: nothing to do
}

TEST_F(FileUtilsTest, DeleteFolderTreeRemovesContentsButNeverFollowsLinks) {
    Write("outside/keep.txt");
    Write("install/bin/sub/deep/b.txt");
    Write("install/bin/ro.txt");
    fs::permissions(Home() / "install/bin/ro.txt", fs::perms::owner_read);
    fs::create_directory_symlink(Home() / "outside", Home() / "install/bin/link");
    fs::create_symlink(Home() / "outside/keep.txt", Home() / "install/bin/filelink");
    EXPECT_TRUE(DeleteFolderTree(L"C:\\install\\bin\\"));
    EXPECT_FALSE(fs::exists(Home() / "install/bin"));
    EXPECT_TRUE(fs::exists(Home() / "outside/keep.txt"));

    Write("install/patch/p.bin");
    EXPECT_TRUE(DeleteFolderTree(L"C:\\install\\patch", false));
    EXPECT_TRUE(fs::is_empty(Home() / "install/patch"));
    for (const wchar_t* root : {L"C:\\", L"c:/", L""})
        EXPECT_FALSE(DeleteFolderTree(root));
    EXPECT_TRUE(fs::exists(Home() / "outside/keep.txt"));
}

TEST_F(FileUtilsTest, UnicodeFileSizeAndExeDir) {
    EXPECT_TRUE(EnsureUnicodeFile(L"C:\\Launcher.ini"));
    EXPECT_EQ(testsupport::TempDir::ReadFile(Home() / "Launcher.ini"), "\xFF\xFE");
    Write("existing.ini", "[a]\n");
    EXPECT_TRUE(EnsureUnicodeFile(L"C:\\existing.ini"));
    EXPECT_EQ(testsupport::TempDir::ReadFile(Home() / "existing.ini"), "[a]\n");
    EXPECT_EQ(GetFileSizeByPath(L"C:\\existing.ini"), 4);
    EXPECT_EQ(GetFileSizeByPath(L"C:\\absent.bin"), -1);
    EXPECT_EQ(platform::HostPath(GetExeDir() + L"\\commonlib_tests"), fs::canonical("/proc/self/exe").string());
}
