#include "platform/fs/Volume.h"

#include <sys/statvfs.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/fs/DriveMap.h"
#include "platform/types/ErrorCodes.h"
#include "support/TempDir.h"

namespace {

class VolumeTest : public ::testing::Test {
protected:
    void SetUp() override { platform::ReloadDriveMap(); }
    void TearDown() override { platform::ReloadDriveMap(); }
    void MapDrives(const std::string& lines) {
        m_dir.WriteFile("home/.config/xjinstaller/drives.ini", "[Drives]\n" + lines);
        platform::ReloadDriveMap();
    }
    testsupport::TempDir m_dir{testsupport::TempDir::Home::Redirect};
};

TEST_F(VolumeTest, FreeSpaceOfAFolderThatDoesNotExistYet) {
    ULARGE_INTEGER available, total, free;
    ASSERT_TRUE(GetDiskFreeSpaceExW(L"C:\\Quorvel网络\\QuorvelTarnvik", &available, &total, &free));
    struct statvfs vfs {};
    ASSERT_EQ(statvfs((m_dir.Path() / "home").c_str(), &vfs), 0);
    EXPECT_EQ(total.QuadPart, static_cast<ULONGLONG>(vfs.f_blocks) * vfs.f_frsize);
    EXPECT_GT(available.QuadPart, 0u);
    EXPECT_LE(available.QuadPart, free.QuadPart);
    EXPECT_TRUE(GetDiskFreeSpaceExW(L"C:\\", &available, nullptr, nullptr));

    MapDrives("D=" + (m_dir.Path() / "absent").string() + "\n");
    EXPECT_FALSE(GetDiskFreeSpaceExW(L"D:\\x", &available, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(GetDiskFreeSpaceExW(L"Q:\\", &available, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

}  // namespace
