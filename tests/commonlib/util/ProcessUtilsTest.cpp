#include "commonlib/util/ProcessUtils.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <thread>

#include "platform/process/ProcessList.h"
#include "platform/strings/StringConv.h"
#include "platform/sync/Thread.h"
#include "support/ForkChild.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class ProcessUtilsTest : public ::testing::Test {
protected:
    // A copy of sleep(1) at C:\<path>, running for 30 s.
    DWORD StartSleeper(const std::string& path) {
        const fs::path image = m_dir / "home" / path;
        fs::create_directories(image.parent_path());
        fs::copy_file("/bin/sleep", image);
        PROCESS_INFORMATION info;
        EXPECT_EQ(RunProcess(L"C:\\" + platform::WideFromUtf8(path), L"sleeper 30", &info), 0u);
        EXPECT_EQ(info.hProcess, nullptr);  // closed by RunProcess: no stale handle handed out
        m_started.push_back(info.dwProcessId);
        // The child shows its own image only once exec has run; a loaded machine can be slow there.
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (platform::ProcessImageHostPath(info.dwProcessId) != image.string() &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(5ms);
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
    const struct {
        const wchar_t* directory;
        DWORD pid;
    } cases[] = {
        {L"C:\\Games", inGames}, {L"c:/Games/", inGames}, {L"C:\\Games2", inGames2}, {L"C:\\Gam", 0}, {L"C:\\games", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::Utf8FromWide(c.directory));
        EXPECT_EQ(FindProcessByPath(c.directory), c.pid);
    }
    EXPECT_NE(FindProcessByPath(L"Z:\\"), GetCurrentProcessId());
}

TEST_F(ProcessUtilsTest, KillProcessesByNameIgnoresCaseButNotTheRestOfTheName) {
    // Names unique to this run: another run of this test on the machine must not see ours.
    const std::string base = "xjkill" + std::to_string(getpid());
    const std::wstring lower = platform::WideFromUtf8(base + ".exe");
    const std::wstring upper = platform::WideFromUtf8("XJKILL" + std::to_string(getpid()) + ".EXE");
    StartSleeper("a/" + base + ".exe");
    StartSleeper("b/XJKILL" + std::to_string(getpid()) + ".EXE");
    StartSleeper("c/" + base + ".exe.bak");
    EXPECT_EQ(CountProcessesByName(lower), 1);
    EXPECT_EQ(KillProcessesByName(platform::WideFromUtf8("XjKill" + std::to_string(getpid()) + ".Exe")), 2);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (CountProcessesByName(lower) + CountProcessesByName(upper) > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(CountProcessesByName(lower) + CountProcessesByName(upper), 0);
    EXPECT_EQ(CountProcessesByName(lower + L".bak"), 1);
}

TEST_F(ProcessUtilsTest, KillProcessesByNameInTheJailReachesOnlyTheRunsOwnProcesses) {
    if (std::getenv("XJ_NETJAIL_INSIDE") == nullptr) GTEST_SKIP() << "runs inside scripts/netjail only";
    // The jail's shell is the first process of a process space of the run's own: every
    // process the end-by-name can see descends from it.
    const std::string first = testsupport::TempDir::ReadFile("/proc/1/cmdline");
    EXPECT_NE(first.find("netjail"), std::string::npos) << "pid 1 is not the jail";
    StartSleeper("jail/qvinstaller.exe");
    std::map<DWORD, DWORD> parents;
    for (const auto& process : platform::ListProcesses())
        parents[process.pid] = process.parentPid;
    for (const auto& [pid, parent] : parents) {
        DWORD at = pid;
        for (int steps = 0; at != 1 && parents.count(at) != 0 && steps < 64; ++steps)
            at = parents[at];
        EXPECT_EQ(at, 1u) << "process " << pid << " is not the run's";
    }
    EXPECT_EQ(KillProcessesByName(L"QVINSTALLER.exe"), 1);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (CountProcessesByName(L"qvinstaller.exe") > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(CountProcessesByName(L"qvinstaller.exe"), 0);
}

TEST_F(ProcessUtilsTest, KillProcessesByNameSparesTheCaller) {
    // The caller runs as a link to this test program under a name no other process has, not
    // even this test in another run on the same machine (the parent's pid makes it unique).
    if (const char* name = std::getenv("XJ_KILL_SELF")) {
        EXPECT_EQ(KillProcessesByName(platform::WideFromUtf8(name)), 0);
        return;
    }
    const std::string kName = "xjkillself" + std::to_string(getpid()) + ".exe";
    const fs::path link = m_dir / kName;
    std::error_code error;
    fs::create_hard_link(fs::read_symlink("/proc/self/exe"), link, error);
    if (error) fs::copy_file(fs::read_symlink("/proc/self/exe"), link);  // temp dir on another file system
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string filter = std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
    const int status = testsupport::InChild([&] {
        setenv("XJ_KILL_SELF", kName.c_str(), 1);
        execl(link.c_str(), kName.c_str(), filter.c_str(), nullptr);
        return 127;
    });
    EXPECT_EQ(status, 0);  // 128 + SIGKILL when it killed itself
}

TEST_F(ProcessUtilsTest, KillProcessesByNameSparesOtherUsersProcesses) {
    constexpr uid_t kOtherUser = 65534;
    if (geteuid() != 0) GTEST_SKIP() << "only root can start a process of another user";
    // A folder the other user may enter, holding a sleeper under a name of this run.
    char pattern[] = "/tmp/xjkilluser.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path folder = pattern;
    fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
    const std::string name = "xjkilluser" + std::to_string(getpid()) + ".exe";
    const fs::path image = folder / name;
    fs::copy_file("/bin/sleep", image);
    const pid_t other = fork();
    if (other == 0) {
        if (setgid(kOtherUser) != 0 || setuid(kOtherUser) != 0) _exit(126);
        execl(image.c_str(), name.c_str(), "30", nullptr);
        _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (platform::ProcessImageHostPath(static_cast<DWORD>(other)) != image.string() &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    int status = 0;
    if (waitpid(other, &status, WNOHANG) == other) {
        fs::remove_all(folder);
        GTEST_SKIP() << "this system does not let root become user " << kOtherUser;
    }
    EXPECT_EQ(KillProcessesByName(platform::WideFromUtf8(name)), 0);
    EXPECT_EQ(CountProcessesByName(platform::WideFromUtf8(name)), 1);
    kill(other, SIGKILL);
    waitpid(other, &status, 0);
    fs::remove_all(folder);
}
