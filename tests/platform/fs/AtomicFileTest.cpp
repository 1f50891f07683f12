#include "platform/fs/AtomicFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "support/ForkChild.h"
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

TEST(AtomicFileTest, ReadsOnlyRegularFilesOfBoundedSize) {
    testsupport::TempDir dir;
    const fs::path fifo = dir / "pipe.ini";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const fs::path big = dir.WriteFile("big.ini", "");
    fs::resize_file(big, platform::kMaxWholeFileBytes + 1);  // sparse
    const fs::path limit = dir.WriteFile("limit.ini", "");
    fs::resize_file(limit, platform::kMaxWholeFileBytes);

    const struct {
        const char* why;
        std::string path;
        int error;
    } cases[] = {
        {"a FIFO without a writer", fifo.string(), EACCES}, {"an endless device", "/dev/zero", EACCES},
        {"a terminal-like device", "/dev/null", EACCES},    {"a file past the limit", big.string(), EFBIG},
        {"a file at the limit", limit.string(), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        // In a child, so a read that blocks or never ends fails the test instead of hanging it.
        const int status = testsupport::InChild([&] {
            alarm(60);
            std::string bytes;
            return platform::ReadWholeFile(c.path, &bytes) == c.error ? 0 : 1;
        });
        EXPECT_EQ(status, 0);
    }
}

TEST(AtomicFileTest, UpdateSeesTheFileAndLeavesNothingWhenItKeeps) {
    testsupport::TempDir dir;
    const fs::path file = dir / "a.ini";
    auto update = [&](const fs::path& path, platform::UpdateAction action, std::string* seen, bool* existed) {
        return platform::UpdateFileAtomically(path.string(), [&](std::string& bytes, bool exists) {
            *seen = bytes;
            *existed = exists;
            bytes += "+";
            return action;
        });
    };
    std::string seen;
    bool existed = true;
    // Nothing to change in a missing file: the file made for the lock goes again.
    EXPECT_EQ(update(file, platform::UpdateAction::Keep, &seen, &existed), 0);
    EXPECT_FALSE(existed);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(update(file, platform::UpdateAction::Replace, &seen, &existed), 0);
    EXPECT_EQ(update(file, platform::UpdateAction::Replace, &seen, &existed), 0);
    EXPECT_TRUE(existed);
    EXPECT_EQ(seen, "+");
    EXPECT_EQ(testsupport::TempDir::ReadFile(file), "++");

    // Through a link the target changes and the link stays.
    fs::create_symlink(file, dir / "link.ini");
    EXPECT_EQ(update(dir / "link.ini", platform::UpdateAction::Replace, &seen, &existed), 0);
    EXPECT_TRUE(fs::is_symlink(dir / "link.ini"));
    EXPECT_EQ(testsupport::TempDir::ReadFile(file), "+++");

    // What is not a regular file is never handed to the edit, nor replaced.
    seen = "untouched";
    EXPECT_EQ(update(dir.Path(), platform::UpdateAction::Replace, &seen, &existed), EISDIR);
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    EXPECT_EQ(update(dir / "pipe", platform::UpdateAction::Replace, &seen, &existed), EACCES);
    EXPECT_EQ(update(dir / "no/such/dir/x", platform::UpdateAction::Replace, &seen, &existed), ENOENT);
    EXPECT_EQ(seen, "untouched");
    EXPECT_TRUE(fs::is_fifo(dir / "pipe"));
}

}  // namespace
