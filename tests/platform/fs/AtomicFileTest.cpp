#include "platform/fs/AtomicFile.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

TEST(AtomicFileTest, ReplacesContentKeepsModeAndLinksAndLeavesNoTemporaries) {
    testsupport::TempDir dir;
    const fs::path target = dir.WriteFile("real/a.ini", "old");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink(target, dir / "link.ini");

    EXPECT_EQ(platform::WriteFileAtomically((dir / "link.ini").string(), "new"), 0);
    EXPECT_TRUE(fs::is_symlink(dir / "link.ini"));
    EXPECT_EQ(testsupport::TempDir::ReadFile(target), "new");
    EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_read | fs::perms::owner_write);

    std::string bytes;
    EXPECT_EQ(platform::ReadWholeFile(target.string(), &bytes), 0);
    EXPECT_EQ(bytes, "new");
    EXPECT_EQ(platform::ReadWholeFile((dir / "none").string(), &bytes), ENOENT);
    EXPECT_EQ(platform::ReadWholeFile(dir.Path().string(), &bytes), EISDIR);
    EXPECT_EQ(platform::WriteFileAtomically((dir / "no/such/dir/x").string(), "x"), ENOENT);

    // A hook that fails the write between temp and rename: the old file stays, the temp goes.
    platform::SetAtomicWriteHookForTesting([](const std::string& temp) { fs::remove(temp); });
    EXPECT_EQ(platform::WriteFileAtomically(target.string(), "lost"), ENOENT);
    platform::SetAtomicWriteHookForTesting({});
    EXPECT_EQ(testsupport::TempDir::ReadFile(target), "new");
    size_t files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(target.parent_path()))
        ++files;
    EXPECT_EQ(files, 1u);
}

}  // namespace
