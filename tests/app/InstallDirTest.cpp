#include "app/InstallDir.h"

#include <gtest/gtest.h>

#include <sys/statfs.h>
#include <unistd.h>

#include <cwctype>
#include <filesystem>
#include <map>

#include "platform/fs/DriveMap.h"
#include "platform/fs/Volume.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kPlenty = 100ull << 30;
const std::wstring kOnC = L"C:\\Quorvel网络\\QuorvelTarnvik";
const std::wstring kOnD = L"D:\\Quorvel网络\\QuorvelTarnvik";
const std::wstring kOnY = L"Y:\\Quorvel网络\\QuorvelTarnvik";

// Drives from the test's own drives.ini, with free space of the test's choosing by drive
// letter (none where it names no figure).
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
        if (!m_ram.empty()) fs::remove_all(m_ram);
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

    testsupport::TempDir m_dir{testsupport::TempDir::Home::Redirect};
    std::map<wchar_t, std::uint64_t> m_free;
    fs::path m_ram;
};

}  // namespace

TEST_F(InstallDirTest, ProposalsFollowTheDriveOrderAndTheSpaceBoundary) {
    MapDrives({{'D', m_dir / "driveD"}, {'R', "/proc"}});
    m_free = {{L'C', kPlenty}, {L'D', 500ull << 20}, {L'R', kPlenty}};
    EXPECT_EQ(ChooseInstallDrive(L"", false), kOnD) << "D comes before C, whatever C has";
    EXPECT_EQ(ChooseInstallDrive(L"C:\\Games\\Mine", false), L"C:\\Games\\Mine") << "a usable directory stays";
    EXPECT_EQ(ChooseInstallDrive(L"C:\\Games\\a|b", false), kOnD) << "a path Windows cannot make is never kept";
    EXPECT_EQ(DefaultFolderName(false), kOnD);

    // Exactly the required space: the line accepts it, the proposals do not.
    m_free[L'D'] = kRequiredInstallBytes;
    EXPECT_EQ(ChooseInstallDrive(L"", false), kOnC);
    EXPECT_EQ(CheckInstallDir(kOnD).problem, InstallDirProblem::None);
    EXPECT_NE(DiskSpaceText(CheckInstallDir(kOnD)).find(L"所需磁盘空间：400.00MB"), std::wstring::npos);
    const struct {
        const wchar_t* path;
        InstallDirProblem problem;
    } lines[] = {
        {L"1:\\x", InstallDirProblem::Invalid},     {L"C:\\a|b", InstallDirProblem::Invalid},
        {L"Q:\\Games", InstallDirProblem::Invalid}, {L"R:\\Games", InstallDirProblem::NotWritable},
        {L"D:\\Games", InstallDirProblem::None},
    };
    for (const auto& line : lines)
        EXPECT_EQ(CheckInstallDir(line.path).problem, line.problem) << static_cast<int>(line.path[0]);
    m_free[L'D'] = kRequiredInstallBytes - 1;
    EXPECT_EQ(DiskSpaceText(CheckInstallDir(kOnD)), L"该磁盘剩余空间不足，请选择其他目录安装");

    m_free.clear();
    EXPECT_EQ(ChooseInstallDrive(L"", false), L"") << "nothing has room";
    MapDrives({});
    EXPECT_EQ(DefaultFolderName(false), kOnC) << "only C: left";
}

TEST_F(InstallDirTest, TheDriveWalkTakesOnlyFixedDrivesOfTheWholeList) {
    // Every letter but Z: (the host's root, never fixed) mapped: more drives than a list of
    // 100 characters holds. Only Y: lies on a local disk; the others, C: included, are RAM-backed.
    struct statfs shm {};
    if (::statfs("/dev/shm", &shm) != 0 || shm.f_type != 0x01021994) GTEST_SKIP() << "/dev/shm is not RAM-backed";
    m_ram = fs::path("/dev/shm") / ("xjinstalldir." + std::to_string(::getpid()));
    std::map<char, fs::path> drives{{'Y', m_dir / "driveY"}};
    for (char letter = 'A'; letter <= 'X'; ++letter)
        drives[letter] = m_ram / std::string(1, letter);
    MapDrives(drives);
    m_free = {{L'H', kPlenty}, {L'Y', kPlenty}, {L'Z', kPlenty}};
    EXPECT_EQ(ChooseInstallDrive(L"", false), kOnY);
    EXPECT_EQ(MakeDefaultInstallDir(L"C:\\prog", L"QuorvelTarnvik"), kOnY);
    m_free.erase(L'Y');
    EXPECT_EQ(ChooseInstallDrive(L"", false), L"") << "H: has room but is not fixed; Z: is never proposed";
}

TEST_F(InstallDirTest, AFallbackFolderIsAlwaysANameOfItsOwn) {
    const struct {
        const wchar_t* path;
        bool internalEdition;
        const wchar_t* name;
    } names[] = {
        {L"D:\\locked\\", false, L"locked"},
        {L"D:/locked//", false, L"locked"},
        {L"D:\\Games\\Tarnvik", false, L"Tarnvik"},
        {L"D:\\", false, L"QuorvelTarnvik"},
        {L"D:\\", true, L"Tarnvik内部版"},
        {L"D:", false, L"QuorvelTarnvik"},
        {L"D:\\a\\..\\", false, L"QuorvelTarnvik"},
        {L"D:\\a\\.", true, L"Tarnvik内部版"},
        {L"", false, L"QuorvelTarnvik"},
    };
    for (const auto& n : names)
        EXPECT_EQ(FallbackFolderName(n.path, n.internalEdition), n.name) << static_cast<int>(n.internalEdition);

    // The proposal is a folder of that name, never the folder that holds the program's own.
    MapDrives({});
    m_free = {{L'C', kPlenty}};
    EXPECT_EQ(MakeDefaultInstallDir(L"C:\\Downloads", L"locked"), L"C:\\locked");
    for (const wchar_t* folder : {L"", L".", L"..", L"a\\..\\.."}) {
        SCOPED_TRACE(static_cast<int>(std::wcslen(folder)));
        EXPECT_EQ(MakeDefaultInstallDir(L"C:\\Downloads", folder), L"");
    }
}
