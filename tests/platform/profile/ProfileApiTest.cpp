#include "platform/profile/ProfileApi.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "platform/fs/AtomicFile.h"
#include "platform/strings/StringConv.h"
#include "platform/types/ErrorCodes.h"
#include "support/ForkChild.h"
#include "support/TempDir.h"

namespace {

class ProfileApiTest : public ::testing::Test {
protected:
    std::filesystem::path HostIni() const { return m_dir.Path() / "home/game/rkupdate.ini"; }
    std::wstring Get(const wchar_t* section, const wchar_t* key, DWORD size = 260, const wchar_t* def = L"?") {
        std::vector<wchar_t> buffer(size + 1, L'#');
        const DWORD n = GetPrivateProfileStringW(section, key, def, buffer.data(), size, m_ini);
        EXPECT_EQ(buffer[n], L'\0');
        return std::wstring(buffer.data(), n);
    }

    testsupport::TempDir m_dir{testsupport::TempDir::Home::Redirect};
    const wchar_t* m_ini = L"C:\\game\\rkupdate.ini";
};

TEST_F(ProfileApiTest, ReadsWithDefaultsAndTruncation) {
    m_dir.WriteFile("home/game/rkupdate.ini", "[Setting]\r\nVersion=2.1.784\r\nTestClient= 12abc \r\n");
    EXPECT_EQ(Get(L"setting", L"VERSION"), L"2.1.784");
    EXPECT_EQ(Get(L"Setting", L"Version", 6), L"2.1.7");  // size - 1 characters and the NUL
    EXPECT_EQ(Get(L"Setting", L"Missing", 260, L"0"), L"0");
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Get(L"Setting", L"Missing", 3, L"default"), L"de");
    EXPECT_EQ(GetPrivateProfileStringW(L"Setting", L"Version", L"", nullptr, 0, m_ini), 0u);

    const wchar_t* missingFile = L"C:\\game\\none.ini";
    wchar_t buffer[8];
    EXPECT_EQ(GetPrivateProfileStringW(L"S", L"K", L"dflt", buffer, 8, missingFile), 4u);
    EXPECT_STREQ(buffer, L"dflt");
    EXPECT_EQ(GetPrivateProfileStringW(L"S", L"K", L"", buffer, 8, L"Q:\\x.ini"), 0u);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

    EXPECT_EQ(GetPrivateProfileIntW(L"Setting", L"TestClient", 7, m_ini), 12u);
    EXPECT_EQ(GetPrivateProfileIntW(L"Setting", L"Version", 7, m_ini), 2u);
    EXPECT_EQ(GetPrivateProfileIntW(L"Setting", L"Absent", 7, m_ini), 7u);
}

TEST_F(ProfileApiTest, WritesCreateReplaceAndRemove) {
    EXPECT_FALSE(WritePrivateProfileStringW(L"Config", L"A", L"1", m_ini));  // no folder "game" yet
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    std::filesystem::create_directories(HostIni().parent_path());
    EXPECT_TRUE(WritePrivateProfileStringW(L"Config", L"StartupWithOS", L"1", m_ini));
    EXPECT_TRUE(WritePrivateProfileStringW(L"Config", L"FromGameClientID", L"30", m_ini));
    EXPECT_TRUE(WritePrivateProfileStringW(L"config", L"startupwithos", L"0", m_ini));
    EXPECT_TRUE(WritePrivateProfileStringW(L"Other", L"k", L"v", m_ini));
    EXPECT_EQ(testsupport::TempDir::ReadFile(HostIni()),
              "[Config]\r\nstartupwithos=0\r\nFromGameClientID=30\r\n[Other]\r\nk=v\r\n");
    EXPECT_TRUE(WritePrivateProfileStringW(L"Config", L"FromGameClientID", nullptr, m_ini));
    EXPECT_TRUE(WritePrivateProfileStringW(L"Config", L"NotThere", nullptr, m_ini));
    EXPECT_TRUE(WritePrivateProfileStringW(L"OTHER", nullptr, nullptr, m_ini));
    EXPECT_EQ(testsupport::TempDir::ReadFile(HostIni()), "[Config]\r\nstartupwithos=0\r\n");

    // Arguments that would forge other entries are refused and change nothing.
    const struct {
        const wchar_t* section;
        const wchar_t* key;
        const wchar_t* value;
    } forged[] = {
        {L"Config", L"k", L"1\r\n[Run]\r\nevil=1"},
        {L"Config", L"a=b", L"1"},
        {L"Con]fig", L"k", L"1"},
        {L"Con\nfig", L"k", L"1"},
        {L"Config", L"k\n", L"1"},
        {L"Config", L"[T]", L"1"},  // would read as a section header
        {L"Config", L" [T", L"1"},
        {L"Config", L";c", L"1"},  // would read as a comment
        {L"Config", L"\t;c", L"1"},
    };
    for (const auto& f : forged) {
        SCOPED_TRACE(platform::Utf8FromWide(std::wstring(f.section) + L"/" + f.key + L"=" + f.value));
        EXPECT_FALSE(WritePrivateProfileStringW(f.section, f.key, f.value, m_ini));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(testsupport::TempDir::ReadFile(HostIni()), "[Config]\r\nstartupwithos=0\r\n");
}

TEST_F(ProfileApiTest, TwoProcessesWritingAtOnceLoseNoWrite) {
    constexpr int kWrites = 60;
    std::filesystem::create_directories(HostIni().parent_path());
    auto writeAll = [&](const wchar_t* prefix) {
        int failures = 0;
        for (int i = 0; i < kWrites; ++i) {
            const std::wstring key = prefix + std::to_wstring(i);
            failures += !WritePrivateProfileStringW(L"Keys", key.c_str(), L"1", m_ini);
        }
        return failures;
    };
    EXPECT_EQ(testsupport::InParentAndChildAtOnce(writeAll), std::make_pair(0, 0));

    int missing = 0;
    for (const wchar_t* prefix : {L"parent", L"child"}) {
        for (int i = 0; i < kWrites; ++i)
            missing += Get(L"Keys", (prefix + std::to_wstring(i)).c_str()) != L"1";
    }
    EXPECT_EQ(missing, 0);
}

TEST_F(ProfileApiTest, AWriteStoppedBeforeTheRenameLeavesTheOldFileWhole) {
    const std::string original = "[Setting]\r\nVersion=2.1.900\r\n" + std::string(100000, ';') + "\r\n";
    m_dir.WriteFile("home/game/rkupdate.ini", original);
    const int status = testsupport::InChild([&] {
        platform::SetAtomicWriteHookForTesting([](const std::string&) { _exit(42); });  // dies like a crash
        WritePrivateProfileStringW(L"Setting", L"Version", L"9.9.9", m_ini);
        return 0;
    });
    EXPECT_EQ(status, 42);
    EXPECT_EQ(testsupport::TempDir::ReadFile(HostIni()), original);
    EXPECT_EQ(Get(L"Setting", L"Version"), L"2.1.900");
    // The next write still works, and takes the dead write's temporary file away with
    // every other of that file's pattern; other names stay.
    m_dir.WriteFile("home/game/rkupdate.ini.xjtmp-a1B2c3", "stale");
    const char* unrelated[] = {"other.ini.xjtmp-a1B2c3", "rkupdate.ini.xjtmp-a1B2", "rkupdate.ini.xjtmp-a1B2c3d",
                               "rkupdate.ini.bak"};
    for (const char* name : unrelated)
        m_dir.WriteFile(std::string("home/game/") + name, "keep");
    EXPECT_TRUE(WritePrivateProfileStringW(L"Setting", L"Version", L"9.9.9", m_ini));
    EXPECT_EQ(Get(L"Setting", L"Version"), L"9.9.9");
    std::set<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(HostIni().parent_path()))
        left.insert(e.path().filename().string());
    std::set<std::string> expected(std::begin(unrelated), std::end(unrelated));
    expected.insert("rkupdate.ini");
    EXPECT_EQ(left, expected);
}

}  // namespace
