#include "app/InstallDir.h"

#include <gtest/gtest.h>

#include <sys/statfs.h>
#include <unistd.h>

#include <cwctype>
#include <filesystem>
#include <map>
#include <string>

#include "platform/fs/DriveMap.h"
#include "platform/fs/Volume.h"
#include "platform/strings/StringConv.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kPlenty = 100ull << 30;
constexpr wchar_t kPublic[] = L"Quorvel网络\\QuorvelTarnvik";

// Drives mapped by the test's own drives.ini, with free space of the test's choosing (by
// drive letter; a letter without a figure has none).
class InstallDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetFreeSpaceSourceForTesting([this](const std::wstring& path) {
            const auto it = m_free.find(path.empty() ? L'?' : static_cast<wchar_t>(std::towupper(path[0])));
            return it == m_free.end() ? std::uint64_t{0} : it->second;
        });
        platform::ReloadDriveMap();
        if (GetDriveTypeW(L"C:\\") != DRIVE_FIXED) GTEST_SKIP() << "the test's folder is not on a local disk";
    }
    void TearDown() override {
        SetFreeSpaceSourceForTesting({});
        std::error_code ignored;
        if (!m_shm.empty()) fs::remove_all(m_shm, ignored);
        platform::ReloadDriveMap();
    }
    void MapDrives(const std::map<char, fs::path>& drives) {
        std::string text = "[Drives]\n";
        for (const auto& [letter, dir] : drives) {
            fs::create_directories(dir);
            text += std::string(1, letter) + "=" + dir.string() + "\n";
        }
        m_dir.WriteFile("home/.config/xjinstaller/drives.ini", text);
        platform::ReloadDriveMap();
    }
    // A folder on a RAM-backed file system: a drive there is present and writable, never fixed.
    fs::path RamFolder(const std::string& name) {
        if (m_shm.empty()) {
            struct statfs st {};
            if (::statfs("/dev/shm", &st) != 0 || st.f_type != 0x01021994) return {};
            m_shm = fs::path("/dev/shm") / ("xjinstalldir." + std::to_string(::getpid()));
        }
        return m_shm / name;
    }

    testsupport::TempDir m_dir{testsupport::TempDir::Home::Redirect};
    std::map<wchar_t, std::uint64_t> m_free;
    fs::path m_shm;
};

}  // namespace

TEST_F(InstallDirTest, ProposalsFollowTheDriveOrderAndTheSpaceBoundary) {
    MapDrives({{'D', m_dir / "driveD"}});
    const std::wstring onD = std::wstring(L"D:\\") + kPublic;
    const std::wstring onC = std::wstring(L"C:\\") + kPublic;
    m_free = {{L'C', kPlenty}, {L'D', 500ull << 20}};
    EXPECT_EQ(ChooseInstallDrive(L"", false), onD) << "D comes before C, whatever C has";
    EXPECT_EQ(ChooseInstallDrive(L"C:\\Games\\Mine", false), L"C:\\Games\\Mine") << "a usable directory stays";
    EXPECT_EQ(ChooseInstallDrive(L"C:\\Games\\a|b", false), onD) << "a path Windows cannot make is never kept";
    EXPECT_EQ(ProductFolder(true), L"Quorvel网络\\Tarnvik内部版");
    EXPECT_EQ(DefaultFolderName(false), onD);

    // Exactly the required space: the line accepts it, the proposals do not.
    m_free[L'D'] = kRequiredInstallBytes;
    EXPECT_EQ(ChooseInstallDrive(L"", false), onC);
    EXPECT_EQ(CheckInstallDir(onD).problem, InstallDirProblem::None);
    EXPECT_NE(DiskSpaceText(CheckInstallDir(onD)).find(L"所需磁盘空间：400.00MB"), std::wstring::npos);
    m_free[L'D'] = kRequiredInstallBytes - 1;
    EXPECT_EQ(CheckInstallDir(onD).problem, InstallDirProblem::NoSpace);

    m_free.clear();
    EXPECT_EQ(ChooseInstallDrive(L"", false), L"") << "nothing has room";
    MapDrives({});
    EXPECT_EQ(DefaultFolderName(false), onC) << "only C: left";
}

TEST_F(InstallDirTest, TheLineNamesWhatIsWrongWithATypedDirectory) {
    MapDrives({{'R', "/proc"}});
    m_free = {{L'C', kPlenty}, {L'R', kPlenty}};
    const struct {
        const wchar_t* path;
        InstallDirProblem problem;
    } cases[] = {
        {L"1:\\x", InstallDirProblem::Invalid},         {L"C:\\a|b", InstallDirProblem::Invalid},
        {L"Q:\\Games", InstallDirProblem::Invalid},  // no such drive
        {L"R:\\Games", InstallDirProblem::NotWritable}, {L"C:\\Games", InstallDirProblem::None},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::Utf8FromWide(c.path));
        EXPECT_EQ(CheckInstallDir(c.path).problem, c.problem);
    }
    EXPECT_EQ(DiskSpaceText(CheckInstallDir(L"R:\\Games")), L"该目录权限不足，请选择其他目录安装");
}

TEST_F(InstallDirTest, TheDriveWalkTakesOnlyFixedDrivesOfTheWholeList) {
    // Every letter but Z: (the host's root) mapped: more drives than a list of 100
    // characters holds. Only Y: lies on a local disk; the others, C: included, are RAM-backed.
    if (RamFolder("x").empty()) GTEST_SKIP() << "/dev/shm is not a RAM-backed file system";
    std::map<char, fs::path> drives;
    for (char letter = 'A'; letter <= 'X'; ++letter)
        drives[letter] = RamFolder(std::string(1, letter));
    drives['Y'] = m_dir / "driveY";
    MapDrives(drives);
    ASSERT_EQ(GetDriveTypeW(L"H:\\"), static_cast<UINT>(DRIVE_RAMDISK));
    m_free = {{L'H', kPlenty}, {L'Y', kPlenty}, {L'Z', kPlenty}};

    EXPECT_EQ(ChooseInstallDrive(L"", false), std::wstring(L"Y:\\") + kPublic);
    EXPECT_EQ(MakeDefaultInstallDir(L"C:\\prog", L"QuorvelTarnvik"), std::wstring(L"Y:\\") + kPublic);
    m_free.erase(L'Y');
    EXPECT_EQ(ChooseInstallDrive(L"", false), L"") << "H: has room but is not fixed; Z: is never proposed";
}
