#include "platform/process/Process.h"

#include <signal.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/fs/DriveMap.h"
#include "platform/strings/StringConv.h"
#include "platform/sync/KernelObject.h"
#include "platform/types/ErrorCodes.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

class ProcessTest : public ::testing::Test {
protected:
    void SetUp() override { platform::ReloadDriveMap(); }

    // A shell script without its execute bit, as a download arrives.
    std::wstring Script(const std::string& relative, const std::string& body) {
        const fs::path path = m_dir.WriteFile("home/" + relative, "#!/bin/sh\n" + body);
        fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        return platform::WinPath(path.string());
    }
    PROCESS_INFORMATION Start(const std::wstring& app, std::wstring commandLine) {
        PROCESS_INFORMATION pi;
        EXPECT_TRUE(
            CreateProcessW(app.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &pi))
            << GetLastError();
        return pi;
    }
    static void Close(const PROCESS_INFORMATION& pi) {
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    testsupport::TempDir m_dir{testsupport::TempDir::Home::Redirect};
    // Sleeps in short steps, so a killed script leaves no long-lived grandchild.
    const std::string m_sleepLoop = "i=0; while [ $i -lt 300 ]; do sleep 0.1; i=$((i+1)); done\n";
};

TEST_F(ProcessTest, ChildGetsTheArgumentsWindowsWouldGiveIt) {
    const std::wstring app =
        Script("bin dir/args.sh", "out=$1; shift; for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done > \"$out\"\n");
    const std::string out = (m_dir.Path() / "out.txt").string();
    const std::wstring line = L"\"" + app + L"\" " + platform::WideFromUtf8(out) +
                              L" \"a b\" c\\\\d \"e\\\"f\" \"g h\\\\\" i\\\\\\\"j \"\" 游戏 \"/unpack=" +
                              platform::WideFromUtf8(m_dir.Path().string()) + L"/x y\" /launch=off";
    PROCESS_INFORMATION pi = Start(app, line);
    ASSERT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0);
    DWORD code = 99;
    EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(code, 0u);
    Close(pi);
    EXPECT_EQ(testsupport::TempDir::ReadFile(out), "[a b]\n[c\\\\d]\n[e\"f]\n[g h\\]\n[i\\\"j]\n[]\n[游戏]\n[/unpack=" +
                                                       m_dir.Path().string() + "/x y]\n[/launch=off]\n");
    // The download's missing execute bit was added.
    struct stat st {};
    ASSERT_EQ(stat(platform::HostPath(app)->c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR);
}

TEST_F(ProcessTest, OurProgramsEndWithCodesAParentCanRead) {
    // Only 8 bits travel: a code past them must not arrive as another, least of all 0.
    const struct {
        const wchar_t* given;
        DWORD received;
    } cases[] = {{L"0", 0},     {L"7", 7},    {L"255", 255},        {L"256", 255},
                 {L"513", 255}, {L"-1", 255}, {L"-1073741819", 255}};
    const std::wstring program = platform::WinPath(XJ_TEST_EXIT_PROGRAM);
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::Utf8FromWide(c.given));
        PROCESS_INFORMATION pi = Start(program, L"exitwith " + std::wstring(c.given));
        ASSERT_EQ(WaitForSingleObject(pi.hProcess, 30000), WAIT_OBJECT_0);
        DWORD code = 99;
        EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
        EXPECT_EQ(code, c.received);
        Close(pi);
    }
}

TEST_F(ProcessTest, AFileThatCannotStartKeepsItsMode) {
    const fs::path data = m_dir.WriteFile("home/setup.dat", std::string("\x7f\x45\x4c\x46 not really", 14));
    const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(data, mode);
    std::wstring line = L"setup.dat";
    PROCESS_INFORMATION pi;
    EXPECT_FALSE(
        CreateProcessW(L"C:\\setup.dat", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &pi));
    EXPECT_EQ(GetLastError(), ERROR_BAD_EXE_FORMAT);
    EXPECT_EQ(fs::status(data).permissions(), mode);
}

TEST_F(ProcessTest, WaitTimesOutThenTerminateSetsTheExitCode) {
    PROCESS_INFORMATION pi = Start(Script("slow.sh", m_sleepLoop), L"slow.sh");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 100), WAIT_TIMEOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(90));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(code, platform::kStillActive);

    EXPECT_TRUE(TerminateProcess(pi.hProcess, 0));
    ASSERT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_FALSE(TerminateProcess(pi.hProcess, 1));  // already ended
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    Close(pi);
}

TEST_F(ProcessTest, ChildrenNobodyWaitsForAreReaped) {
    PROCESS_INFORMATION pi = Start(Script("quick.sh", "exit 0\n"), L"quick.sh");
    const DWORD pid = pi.dwProcessId;
    Close(pi);
    const std::string stat = "/proc/" + std::to_string(pid) + "/stat";
    bool gone = false;
    for (int i = 0; i < 500 && !gone; ++i) {
        gone = !fs::exists(stat);
        if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(gone) << "pid " << pid << " left behind: " << testsupport::TempDir::ReadFile(stat);
}

TEST_F(ProcessTest, ExitCodeOfAChildReapedElsewhereIsNotReportedAsSuccess) {
    // With SIGCHLD ignored the kernel reaps children itself and their codes are gone.
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(sigaction(SIGCHLD, &ignore, &previous), 0);
    // It lives long enough to be tracked: an ignored SIGCHLD reaps it the moment it ends.
    PROCESS_INFORMATION pi = Start(Script("fails.sh", "sleep 0.2; exit 3\n"), L"fails.sh");
    ASSERT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0);
    DWORD code = 77;
    EXPECT_FALSE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    EXPECT_EQ(code, 77u);
    Close(pi);
    sigaction(SIGCHLD, &previous, nullptr);
}

}  // namespace
