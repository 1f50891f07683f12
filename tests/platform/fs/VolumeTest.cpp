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

TEST_F(VolumeTest, DriveStringsListPresentDrivesInLetterOrder) {
    std::filesystem::create_directories(m_dir.Path() / "games");
    MapDrives("E=" + (m_dir.Path() / "games").string() + "\nD=" + (m_dir.Path() / "absent").string() + "\n");
    const std::wstring expected(L"C:\\\0E:\\\0Z:\\\0", 12);
    wchar_t buffer[64];
    EXPECT_EQ(GetLogicalDriveStringsW(64, buffer), 12u);
    EXPECT_EQ(std::wstring(buffer, 13), expected + L'\0');
    // Too small: the needed size (with the final NUL) and the buffer untouched.
    wchar_t small[8] = {L'#'};
    EXPECT_EQ(GetLogicalDriveStringsW(8, small), 13u);
    EXPECT_EQ(small[0], L'#');
}

TEST_F(VolumeTest, DriveTypes) {
    const std::string shm = "/dev/shm";
    MapDrives("D=" + (m_dir.Path() / "absent").string() + "\nP=/proc\nR=" + shm + "\n");
    EXPECT_EQ(GetDriveTypeW(L"C:\\"), DRIVE_FIXED);  // the test folder is on the build machine's disk
    EXPECT_NE(GetDriveTypeW(L"Z:\\"), DRIVE_FIXED);  // the whole host tree is never offered
    EXPECT_EQ(GetDriveTypeW(L"D:\\"), DRIVE_NO_ROOT_DIR);
    EXPECT_EQ(GetDriveTypeW(L"Q:\\"), DRIVE_NO_ROOT_DIR);
    EXPECT_NE(GetDriveTypeW(L"P:\\"), DRIVE_FIXED);
    if (std::filesystem::is_directory(shm)) {
        EXPECT_EQ(GetDriveTypeW(L"R:\\"), DRIVE_RAMDISK);
    }
}

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
