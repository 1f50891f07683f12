#include "commonlib/util/ProcessUtils.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "platform/sync/Thread.h"
#include "platform/types/ErrorCodes.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

class ProcessUtilsTest : public ::testing::Test {
protected:
    // A copy of sleep(1) under the home folder (drive C:), started for 30 s.
    DWORD StartSleeper(const std::string& relativePath) {
        const fs::path image = m_dir / "home" / relativePath;
        fs::create_directories(image.parent_path());
        fs::copy_file("/bin/sleep", image);
        std::wstring winPath = L"C:\\" + std::wstring(relativePath.begin(), relativePath.end());
        for (auto& c : winPath) {
            if (c == L'/') c = L'\\';
        }
        PROCESS_INFORMATION info;
        EXPECT_EQ(RunProcess(winPath, L"sleeper 30", &info), 0u);
        EXPECT_EQ(info.hProcess, nullptr);
        EXPECT_EQ(info.hThread, nullptr);
        m_started.push_back(info.dwProcessId);
        return info.dwProcessId;
    }
    void TearDown() override {
        for (const DWORD pid : m_started) {
            if (HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, pid)) {
                TerminateProcess(process, 0);
                CloseHandle(process);
            }
        }
    }

    testsupport::TempDir m_dir{testsupport::TempDir::Home::Redirect};
    std::vector<DWORD> m_started;
};

}  // namespace

TEST_F(ProcessUtilsTest, FindProcessByPathMatchesWholeFoldersInTheirCase) {
    const DWORD inGames = StartSleeper("Games/bin/xjfind-a.exe");
    const DWORD inGames2 = StartSleeper("Games2/xjfind-b.exe");
    ASSERT_NE(inGames, 0u);
    ASSERT_NE(inGames2, 0u);
    const struct {
        const wchar_t* directory;
        DWORD pid;
    } cases[] = {
        {L"C:\\Games", inGames},
        {L"c:/Games/", inGames},
        {L"C:\\\\Games\\bin", inGames},
        {L"C:\\Games2", inGames2},
        {L"C:\\Gam", 0},
        {L"C:\\games", 0},
        {L"C:\\Games\\bin\\xjfind-a.exe", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.directory, c.directory + wcslen(c.directory)));
        EXPECT_EQ(FindProcessByPath(c.directory), c.pid);
    }
    EXPECT_NE(FindProcessByPath(L"Z:\\"), GetCurrentProcessId());  // every process, but never this one
}

TEST_F(ProcessUtilsTest, CountAndKillByName) {
    StartSleeper("a/xjkill.exe");
    StartSleeper("b/XJKILL.EXE");
    StartSleeper("c/xjkill.exe.bak");
    ASSERT_TRUE(WaitFor([] { return CountProcessesByName(L"xjkill.exe") == 1; }));
    EXPECT_EQ(CountProcessesByName(L"XJKILL.EXE"), 1);
    EXPECT_EQ(CountProcessesByName(L"xjkill"), 0);

    EXPECT_TRUE(EnableDebugPrivilege());
    EXPECT_EQ(KillProcessesByName(L"XjKill.Exe"), 2);
    EXPECT_TRUE(
        WaitFor([] { return CountProcessesByName(L"xjkill.exe") == 0 && CountProcessesByName(L"XJKILL.EXE") == 0; }));
    EXPECT_EQ(CountProcessesByName(L"xjkill.exe.bak"), 1);
    EXPECT_EQ(KillProcessesByName(L"xjkill.exe"), 0);
}

TEST_F(ProcessUtilsTest, RunProcessReportsTheSystemError) {
    EXPECT_EQ(RunProcess(L"C:\\absent.exe", L"absent.exe"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RunProcess(L"Q:\\unmapped.exe", L"unmapped.exe"), ERROR_PATH_NOT_FOUND);
    PROCESS_INFORMATION info;
    info.dwProcessId = 77;
    EXPECT_NE(RunProcess(L"C:\\absent.exe", L"absent.exe", &info), 0u);
    EXPECT_EQ(info.dwProcessId, 77u);  // untouched on failure
}
