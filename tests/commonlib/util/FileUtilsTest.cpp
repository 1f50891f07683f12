#include "commonlib/util/FileUtils.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <string>

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

TEST_F(FileUtilsTest, IsDirWritableWalksUpAndNeverReplacesAFile) {
    fs::create_directories(Home() / "a");
    const auto now = std::time(nullptr);
    for (auto t = now - 1; t < now + 4; ++t)  // files carrying the next probe names stay untouched
        Write("a/xjtest_" + std::to_string(t) + ".qvxj", "keep");
    EXPECT_TRUE(IsDirWritable(L"C:\\a\\b\\c\\"));  // probed in the nearest existing folder
    EXPECT_FALSE(IsDirWritable(L"Q:\\unmapped\\x"));
    EXPECT_FALSE(fs::exists(Home() / "a" / "b"));
    int probes = 0;
    for (const auto& entry : fs::recursive_directory_iterator(m_dir.Path())) {
        if (entry.path().extension() != ".qvxj") continue;
        ++probes;
        EXPECT_EQ(testsupport::TempDir::ReadFile(entry.path()), "keep");
    }
    EXPECT_EQ(probes, 5);
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
    for (const wchar_t* root : {L"C:\\", L"c:/", L""})
        EXPECT_FALSE(DeleteFolderTree(root));
    EXPECT_TRUE(fs::exists(Home() / "outside/keep.txt"));
}

TEST_F(FileUtilsTest, DeleteFolderTreeStaysInsideWhateverTheNames) {
    Write("Documents/thesis.doc", "keep");
    Write("logs/..\\..\\Documents/thesis.doc", "log");  // one folder whose name holds backslashes
    Write("logs/\\/\\/x.log", "log");                   // folders named by a lone backslash
    Write("logs/bad\xff\xfe.log", "log");               // not UTF-8
    Write("logs/sub/游戏.log", "log");
    EXPECT_TRUE(DeleteFolderTree(L"C:\\logs"));
    EXPECT_FALSE(fs::exists(Home() / "logs"));
    EXPECT_EQ(testsupport::TempDir::ReadFile(Home() / "Documents/thesis.doc"), "keep");
}
