#include "platform/fs/DriveMap.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace {

class DriveMapTest : public ::testing::Test {
protected:
    void SetUp() override { platform::ReloadDriveMap(); }
    void TearDown() override { platform::ReloadDriveMap(); }
    std::string Home() const { return (m_dir.Path() / "home").string(); }
    testsupport::TempDir m_dir{testsupport::TempDir::Home::Redirect};
};

TEST_F(DriveMapTest, WindowsPathsMapToHostPaths) {
    const struct {
        const wchar_t* win;
        std::string host;
    } cases[] = {
        {L"C:\\", Home()},
        {L"C:", Home()},
        {L"c:\\Games\\Quorvel", Home() + "/Games/Quorvel"},
        {L"C:/Games/Quorvel/", Home() + "/Games/Quorvel"},
        {L"C:\\Games\\\\Quorvel\\\\", Home() + "/Games/Quorvel"},
        {L"C:\\a\\.\\b\\..\\c", Home() + "/a/c"},
        {L"C:\\..\\..\\etc", Home() + "/etc"},  // ".." stops at the drive root
        {L"z:\\usr\\bin", "/usr/bin"},
        {L"Z:\\", "/"},
        {L"C:\\Quorvel网络\\游戏", Home() + "/Quorvel网络/游戏"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.host);
        const auto host = platform::HostPath(c.win);
        ASSERT_TRUE(host.has_value());
        EXPECT_EQ(*host, c.host);
    }
}

TEST_F(DriveMapTest, PathsWithoutAMappedDriveFail) {
    const std::wstring bad[] = {L"Q:\\x", L"1:\\x", L"\\\\server\\share",        L"relative\\x", L"/etc/passwd",
                                L"",      L"C",     std::wstring(L"C:\\a\0b", 6)};
    for (const auto& w : bad) {
        SCOPED_TRACE(testing::Message() << "case of length " << w.size());
        EXPECT_FALSE(platform::HostPath(w).has_value());
    }
}

TEST_F(DriveMapTest, HostPathsRoundTrip) {
    const std::string paths[] = {Home(), Home() + "/Games/Quorvel网络", "/usr/lib", "/", m_dir.Path().string()};
    for (const auto& p : paths) {
        SCOPED_TRACE(p);
        const std::wstring win = platform::WinPath(p);
        ASSERT_FALSE(win.empty());
        EXPECT_EQ(platform::HostPath(win), p);
    }
    EXPECT_EQ(platform::WinPath(Home()), L"C:\\");
    EXPECT_EQ(platform::WinPath(Home() + "/x/y/"), L"C:\\x\\y");
    EXPECT_EQ(platform::WinPath("/usr//lib/./x/.."), L"Z:\\usr\\lib");
    // A sibling whose name only starts like the home folder is not on C:.
    EXPECT_EQ(platform::WinPath(Home() + "2/x")[0], L'Z');
}

TEST_F(DriveMapTest, DrivesIniAddsLettersAndFollowsTheEnvironment) {
    const auto games = m_dir.Path() / "games";
    std::filesystem::create_directories(games);
    m_dir.WriteFile("home/.config/xjinstaller/drives.ini",
                    "; test drives\r\n[Other]\r\nE=/nowhere\r\n[drives]\r\n d = " + games.string() +
                        "/ \r\nF=relative\r\nGH=/x\r\n");
    platform::ReloadDriveMap();
    EXPECT_EQ(platform::HostPath(L"D:\\QuorvelTarnvik"), games.string() + "/QuorvelTarnvik");
    EXPECT_EQ(platform::WinPath(games.string() + "/a"), L"D:\\a");
    EXPECT_FALSE(platform::HostPath(L"E:\\").has_value());
    EXPECT_FALSE(platform::HostPath(L"F:\\").has_value());
    EXPECT_FALSE(platform::HostPath(L"G:\\").has_value());

    const auto letters = platform::DriveMappings();
    ASSERT_EQ(letters.size(), 3u);
    EXPECT_EQ(letters[0].letter, L'C');
    EXPECT_EQ(letters[1].letter, L'D');
    EXPECT_EQ(letters[2].letter, L'Z');
    EXPECT_TRUE(letters[2].neverFixed);

    // A new HOME moves C: without an explicit reload.
    {
        testsupport::TempDir other(testsupport::TempDir::Home::Redirect);
        EXPECT_EQ(platform::HostPath(L"C:\\x"), (other.Path() / "home/x").string());
        EXPECT_FALSE(platform::HostPath(L"D:\\").has_value());
    }
    EXPECT_EQ(platform::HostPath(L"C:\\x"), Home() + "/x");
}

}  // namespace
