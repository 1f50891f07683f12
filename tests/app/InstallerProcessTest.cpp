// The installer program itself, run as a process against the loopback update server, with
// a home of its own and the fake client as its package and launcher.
//
// InstallerProcessTest runs the package, so it runs alone (a finished download ends every
// "qvinstaller.exe" of the user); InstallerExitTest never runs one.

#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <thread>

#include "app/AppTestEnvironment.h"
#include "commonlib/util/RunAtStartup.h"
#include "platform/display/XvfbServer.h"
#include "platform/sync/Mutex.h"
#include "support/Subprocess.h"
#include "tools/InstallerWindowDriver.h"

using testsupport::StatisticsRecord;

namespace {

constexpr auto kRunLimit = std::chrono::seconds(120);
constexpr char kLaunched[] = "-i\n223\n-d\n\n";  // as the fake client records one run

struct RunResult {
    int exitCode = -1;
    std::string output;
};

class InstallerRunFixture : public ::testing::Test {
protected:
    void SetUp() override {
        apptest::MapDriveD(m_dir);
        PlaceProgram("home/prog");
        setenv("XJ_DISPLAY_BACKEND", "headless", 1);
        m_server = apptest::StartFakeClientServer(m_dir);
        ASSERT_NE(m_server, nullptr);
    }
    void TearDown() override {
        unsetenv("XJ_FAKE_CLIENT_RECORD");
        unsetenv("XJ_DISPLAY_BACKEND");
    }

    // The program's folder, below the test's folder.
    void PlaceProgram(const std::string& folder) {
        m_program = folder;
        fs::create_directories(m_dir / m_program);
        fs::copy_file(XJ_INSTALLER_PROGRAM, m_dir / m_program / "xjinstaller", fs::copy_options::overwrite_existing);
    }
    fs::path DriveD() const { return m_dir / "driveD"; }
    fs::path LogFolder() const { return m_dir / m_program / "MiniLog"; }
    void WriteIni(int logSetting, bool trustCa = true) const {
        m_dir.WriteFile(m_program + "/xjzurazarevuz.ini",
                        m_server->ServersSection(trustCa) + "[Debug]\nLog=" + std::to_string(logSetting) + "\n");
    }
    std::string Record(const char* name) const { return TempDir::ReadFile(m_dir / "record" / name); }
    void ReplaceMd5(const std::string& md5) const {
        std::string descriptor = m_server->DefaultDescriptor();
        descriptor.replace(descriptor.find("Md5=") + 4, 32, md5);
        m_server->SetDescriptor(descriptor);
    }

    // Runs the program and, meanwhile, `during`; the program is killed when that fails.
    RunResult Run(
        const std::vector<std::string>& args, const std::function<bool()>& during = [] { return true; }) {
        std::vector<std::string> words = {(m_dir / m_program / "xjinstaller").string()};
        words.insert(words.end(), args.begin(), args.end());
        const auto start = std::chrono::steady_clock::now();
        const pid_t pid = testsupport::StartProgram(words, m_dir / "output.txt");
        EXPECT_NE(pid, 0) << "the installer did not start";
        if (pid <= 0) return {};
        const bool carryOn = during();
        int status = 0;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (!carryOn || std::chrono::steady_clock::now() - start > kRunLimit) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                if (carryOn) ADD_FAILURE() << "the installer did not end in time";
                return {};
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
                TempDir::ReadFile(m_dir / "output.txt")};
    }

    TempDir m_dir{TempDir::Home::Redirect};
    std::string m_program;
    std::unique_ptr<LoopbackUpdateServer> m_server;
};

class InstallerProcessTest : public InstallerRunFixture {};
class InstallerExitTest : public InstallerRunFixture {};

}  // namespace

TEST_F(InstallerProcessTest, HiddenInstallOverAnOldClientEndToEnd) {
    WriteIni(1);
    // The descriptor's Md5 in upper case is the same digest.
    std::string md5 = m_server->DefaultDescriptor();
    md5 = md5.substr(md5.find("Md5=") + 4, 32);
    std::transform(md5.begin(), md5.end(), md5.begin(), ::toupper);
    ReplaceMd5(md5);
    // An old client in the install directory, registered, running, with files of its own.
    const fs::path installDir = DriveD() / "Games Dir" / "QuorvelTarnvik";
    const std::wstring launcher = L"D:\\Games Dir\\QuorvelTarnvik\\QuorvelLauncher.exe";
    apptest::PutClient(m_dir, installDir, "2.1.700", launcher);
    for (const char* old : {"patch/old.patch", "GameSettings.ini", "bin/old.dat"})
        m_dir.WriteFile("driveD/Games Dir/QuorvelTarnvik/" + std::string(old), "old");
    ASSERT_TRUE(SetRunAtStartup(L"QuorvelNet-Launcher", L"\"C:\\old\\QuorvelLauncher.exe\" --auto"));
    fs::copy_file("/bin/sleep", installDir / "bin" / "xjoldclient");
    const pid_t oldClient = testsupport::StartProgram({(installDir / "bin" / "xjoldclient").string(), "60"});
    ASSERT_NE(oldClient, 0);

    const RunResult run = Run({"-h", "-p", "D:\\Games Dir\\QuorvelTarnvik"});
    const bool oldClientEnded = waitpid(oldClient, nullptr, WNOHANG) == oldClient;
    if (!oldClientEnded) {
        kill(oldClient, SIGKILL);
        waitpid(oldClient, nullptr, 0);
    }
    EXPECT_EQ(run.exitCode, 0) << run.output;

    // The package ran once with the directory as one argument, in this system's form.
    EXPECT_EQ(Record("package.args"), "/S\n/unpack=" + installDir.string() + "\n/launch=off\n\n");
    // The old client was ended and its files went before the package wrote the new ones.
    EXPECT_TRUE(oldClientEnded) << "the old client's process is still running";
    for (const char* gone : {"patch", "GameSettings.ini", "bin/old.dat", "tg.id"})
        EXPECT_FALSE(fs::exists(installDir / gone)) << gone;
    for (const char* name : {"QuorvelLauncher.exe", "rkupdate.ini", "uninst.exe", "bin/client.dat"})
        EXPECT_TRUE(fs::exists(installDir / name)) << name;
    EXPECT_NE(TempDir::ReadFile(installDir / "preference.ini").find("FromGameClientID=223"), std::string::npos);
    // Nothing of the download is left.
    for (const auto& entry : fs::directory_iterator(installDir)) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name.find("qvinstaller") == std::string::npos && name.find("xjinstall_") == std::string::npos)
            << name;
    }
    // Both launcher ini files, UTF-16LE with their mark, name the new launcher.
    for (const char* ini :
         {"home/.local/share/QuorvelLaucher.ini", "home/Documents/QuorvelLauncher/QuorvelLaucher.ini"}) {
        SCOPED_TRACE(ini);
        const std::string bytes = TempDir::ReadFile(m_dir / ini);
        ASSERT_EQ(bytes.substr(0, 2), "\xFF\xFE");
        const std::wstring text = platform::WideFromUtf16LeBytes(bytes.substr(2));
        EXPECT_NE(text.find(L"\nInstallPath=" + launcher), std::wstring::npos);
        EXPECT_NE(text.find(L"SouiInstallPath=" + launcher), std::wstring::npos);
    }
    EXPECT_EQ(GetRunAtStartup(L"QuorvelNet-Launcher"), L"\"" + launcher + L"\" --auto");
    EXPECT_EQ(Record("launcher.args"), kLaunched);
    EXPECT_FALSE(fs::exists(LogFolder())) << "Log=1 removes the log folder";

    // The statistics: the install event, then the success record; and the download log.
    const std::vector<StatisticsRecord> records = m_server->StatisticsRecords();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].Field("event_id"), "xj_install");
    EXPECT_EQ(records[1].Field("count_dimension"), "installxj_state:1");
    const auto uploads = m_server->DownloadLogRecords();
    ASSERT_FALSE(uploads.empty());
    EXPECT_TRUE(uploads[0].signValid);
}

TEST_F(InstallerProcessTest, HiddenInstallIntoAFolderOfTheUsersOwn) {
    WriteIni(2);
    // A client installed elsewhere; the install goes into a folder of the user's own.
    apptest::PutClient(m_dir, DriveD() / "Old", "2.1.790", L"D:\\Old\\QuorvelLauncher.exe");
    m_dir.WriteFile("driveD/Mine/bin/mine.dat", "mine");
    m_dir.WriteFile("driveD/Mine/GameSettings.ini", "mine");

    const RunResult run = Run({"-h", "-r", "0", "-p", "D:\\Mine"});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(Record("package.args"), "");
    EXPECT_EQ(Record("launcher.args"), "") << "-r 0 starts no launcher";
    EXPECT_FALSE(fs::exists(DriveD() / "Mine" / "qvinstaller.exe"));
    // Nothing of the user's folder, nor of the other client, was cleared away.
    EXPECT_EQ(TempDir::ReadFile(DriveD() / "Mine/bin/mine.dat"), "mine");
    EXPECT_EQ(TempDir::ReadFile(DriveD() / "Mine/GameSettings.ini"), "mine");
    EXPECT_TRUE(fs::exists(DriveD() / "Old" / "QuorvelLauncher.exe"));
    // No start-with-system value is made where there was none; Log=2 keeps the log.
    EXPECT_EQ(GetRunAtStartup(L"QuorvelNet-Launcher"), L"");
    ASSERT_TRUE(fs::exists(LogFolder()));
    EXPECT_FALSE(fs::is_empty(LogFolder()));
}

TEST_F(InstallerProcessTest, AFolderThatCannotBeWrittenFallsBackToAFolderOfItsName) {
    // The program sits in the home's Downloads; the folder given ends in a separator and lies
    // where nobody may write (/proc). The user's own files sit in the home.
    PlaceProgram("home/Downloads");
    WriteIni(2);
    m_dir.WriteFile("home/bin/notes.sh", "mine");
    m_dir.WriteFile("home/GameSettings.ini", "mine");
    const fs::path installDir = m_dir / "home/locked";
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE(run);  // the second run finds the first one's client and installs over it
        const RunResult result = Run({"-h", "-r", "0", "-p", "Z:\\proc\\locked\\"});
        EXPECT_EQ(result.exitCode, 0) << result.output;
        EXPECT_TRUE(fs::exists(installDir / "QuorvelLauncher.exe"));
        EXPECT_FALSE(fs::exists(m_dir / "home/QuorvelLauncher.exe")) << "the client went into the home itself";
        EXPECT_EQ(TempDir::ReadFile(m_dir / "home/bin/notes.sh"), "mine");
        EXPECT_EQ(TempDir::ReadFile(m_dir / "home/GameSettings.ini"), "mine");
    }
}

TEST_F(InstallerProcessTest, AFolderNameWithQuotationMarksReachesThePackageWhole) {
    WriteIni(2);
    const fs::path installDir = DriveD() / "Games" / "Tarnvik \"beta\"";
    const RunResult run = Run({"-h", "-p", "D:\\Games\\Tarnvik \"beta\""});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(Record("package.args"), "/S\n/unpack=" + installDir.string() + "\n/launch=off\n\n");
    EXPECT_TRUE(fs::exists(installDir / "QuorvelLauncher.exe"));
    EXPECT_EQ(Record("launcher.args"), kLaunched);
}

TEST_F(InstallerProcessTest, APackageThatLeavesNoWorkingClientIsAFailedInstall) {
    WriteIni(0);
    // Packages that run but install nothing usable; the second leaves a launcher behind.
    const struct {
        const char* why;
        std::string script;
    } packages[] = {
        {"it exits with a failure", "#!/bin/sh\nexit 3\n"},
        {"it is killed", "#!/bin/sh\nd=${2#/unpack=}\nmkdir -p \"$d\"\n: > \"$d/QuorvelLauncher.exe\"\nkill -9 $$\n"},
        {"it ends well but leaves no launcher", "#!/bin/sh\nexit 0\n"},
    };
    const fs::path installDir = DriveD() / "Games";
    for (const auto& p : packages) {
        SCOPED_TRACE(p.why);
        fs::remove_all(installDir);
        fs::remove(m_dir / "home/.local/share/QuorvelLaucher.ini");
        fs::remove(m_dir / "home/Documents/QuorvelLauncher/QuorvelLaucher.ini");
        m_server->SetPackage(p.script, "2.1.790");
        m_server->SetDescriptor(m_server->DefaultDescriptor());
        const size_t before = m_server->StatisticsRecords().size();
        const RunResult run = Run({"-h", "-p", "D:\\Games"});
        EXPECT_EQ(run.exitCode, 7) << run.output;
        EXPECT_EQ(Record("launcher.args"), "");
        EXPECT_FALSE(fs::exists(installDir / "preference.ini"));
        EXPECT_FALSE(fs::exists(m_dir / "home/.local/share/QuorvelLaucher.ini"));
        EXPECT_FALSE(fs::exists(m_dir / "home/Documents/QuorvelLauncher/QuorvelLaucher.ini"));
        // The install event before the package ran, then the failure record.
        const std::vector<StatisticsRecord> records = m_server->StatisticsRecords();
        ASSERT_EQ(records.size(), before + 2);
        EXPECT_EQ(records[before].Field("event_id"), "xj_install");
        EXPECT_EQ(records.back().Field("count_dimension"), "installxj_state:0");
        EXPECT_EQ(records.back().Field("count_value"), "");
    }
}

TEST_F(InstallerExitTest, AFailedHiddenInstallExitsWithItsCause) {
    WriteIni(0);
    const struct {
        const char* why;
        bool damaged;  // else: a package that is no program
        int exitCode;
        size_t records;  // the failure record last
    } cases[] = {
        {"an MD5 mismatch never runs the package", true, 5, 1},
        {"a package that does not start installs nothing", false, 6, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        if (c.damaged) {
            ReplaceMd5(std::string(32, '0'));
        } else {
            m_server->SetPackage("not a program", "2.1.790");
            m_server->SetDescriptor(m_server->DefaultDescriptor());
        }
        const size_t before = m_server->StatisticsRecords().size();
        const RunResult run = Run({"-h", "-p", "D:\\Games"});
        EXPECT_EQ(run.exitCode, c.exitCode) << run.output;
        EXPECT_EQ(Record("package.args"), "");
        EXPECT_EQ(Record("launcher.args"), "");
        EXPECT_FALSE(fs::exists(DriveD() / "Games" / "preference.ini"));
        EXPECT_FALSE(fs::exists(LogFolder())) << "Log=0 writes no log";
        const std::vector<StatisticsRecord> records = m_server->StatisticsRecords();
        ASSERT_EQ(records.size(), before + c.records);
        EXPECT_EQ(records.back().Field("count_dimension"), "installxj_state:0");
        EXPECT_EQ(records.back().Field("count_value"), "");
    }
}

TEST_F(InstallerExitTest, AnInstallFolderThatCannotBeMadeEndsTheRunAtOnce) {
    WriteIni(0);
    m_dir.WriteFile("driveD/Games/blocker", "a file where a folder would have to be");
    const auto start = std::chrono::steady_clock::now();
    const RunResult run = Run({"-h", "-p", "D:\\Games\\blocker\\Tarnvik"});
    EXPECT_EQ(run.exitCode, 2) << run.output;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << "it was retried";
    EXPECT_NE(run.output.find("D:\\Games\\blocker\\Tarnvik"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("连接超时"), std::string::npos) << run.output;
    EXPECT_TRUE(m_server->RequestsFor("/qvzurazarevuz.txt").empty());
    const std::vector<StatisticsRecord> records = m_server->StatisticsRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Field("count_dimension"), "installxj_state:0");
}

TEST_F(InstallerExitTest, HiddenCommandLinesThatDoNotParseAreRefused) {
    WriteIni(1);
    const struct {
        const char* why;
        std::vector<std::string> args;
        std::string word;  // the one the refusal names
    } cases[] = {
        {"a host path after -p reads as a switch", {"-h", "-p", "/home/x", "-r", "0"}, "/home/x"},
        {"an unknown switch", {"-h", "--bogus", "-p", "D:\\Games"}, "--bogus"},
        {"the hide switch after the word that stops the parse", {"-p", "D:\\Games", "-q", "-r", "0", "/h"}, "-q"},
        {"a switch without its argument", {"--hide", "-p"}, "-p"},
        {"an argument the switch does not take", {"-h", "now", "-p", "D:\\Games"}, "now"},
        {"a word before the first switch", {"install", "-h"}, "install"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const RunResult run = Run(c.args);
        EXPECT_EQ(run.exitCode, 9) << run.output;
        EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
        EXPECT_NE(run.output.find("\"" + c.word + "\""), std::string::npos) << run.output;
        EXPECT_TRUE(m_server->Requests().empty());
        EXPECT_FALSE(fs::exists(DriveD() / "Games"));
        EXPECT_FALSE(fs::exists(m_dir / "home/QuorvelTarnvik")) << "the default folder";
        EXPECT_FALSE(fs::exists(LogFolder()));
        EXPECT_EQ(Record("launcher.args"), "");
    }
    {
        SCOPED_TRACE("a run with its window keeps what parsed, and here has no display to show it on");
        const RunResult run = Run({"--bogus"});
        EXPECT_EQ(run.exitCode, 1) << run.output;
        EXPECT_NE(run.output.find("no display"), std::string::npos) << run.output;
    }
}

TEST_F(InstallerExitTest, ADescriptorVersionThatLeadsOutOfTheFolderIsRefused) {
    WriteIni(0);
    // An empty file where the version leads; a download of no size fails at once.
    m_dir.WriteFile("driveD/victim.tmp", "");
    m_server->SetDescriptor("[Install]\r\nUrl=" + m_server->HttpOrigin() + "/missing.exe\r\nSize=0\r\nMd5=" +
                            std::string(32, '0') + "\r\nVersion=\\..\\..\\..\\victim\r\n");
    // Up to the first retry's request: the first answer has been handled by then.
    Run({"-h", "-p", "D:\\Games"}, [&] {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (m_server->RequestsFor("/qvzurazarevuz.txt").size() < 2 && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return false;
    });
    EXPECT_EQ(m_server->RequestsFor("/qvzurazarevuz.txt").size(), 2u);
    EXPECT_TRUE(fs::exists(DriveD() / "victim.tmp"));
}

TEST_F(InstallerProcessTest, AServerWhoseCertificateNoTrustedCaSignedNeverGetsItsPackageRun) {
    // The update server's CA is not named: its HTTPS is as good as a certificate made on the spot.
    WriteIni(0, false);
    // Until the descriptor came over plain HTTP, and a while for the package's HTTPS download.
    Run({"-h", "-p", "D:\\Games"}, [&] {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (m_server->RequestsFor("/qvzurazarevuz.txt").empty() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::this_thread::sleep_for(std::chrono::seconds(3));
        return false;
    });
    EXPECT_EQ(Record("package.args"), "") << "the package ran";
    ASSERT_FALSE(m_server->Requests().empty());
    for (const auto& request : m_server->Requests())
        EXPECT_FALSE(request.tls) << request.path;
    EXPECT_TRUE(m_server->StatisticsRecords().empty()) << "the statistics went to an untrusted server";
}

TEST_F(InstallerExitTest, RunsThatInstallNothing) {
    WriteIni(0);
    {
        SCOPED_TRACE("a second hidden instance leaves at once");
        HANDLE first = CreateMutexW(nullptr, FALSE, L"qvxj_install_20170309");
        ASSERT_NE(first, nullptr);
        const RunResult run = Run({"-h", "-p", "D:\\Games"});
        CloseHandle(first);
        EXPECT_EQ(run.exitCode, 0) << run.output;
        EXPECT_TRUE(m_server->Requests().empty());
        EXPECT_FALSE(fs::exists(DriveD() / "Games"));
        EXPECT_FALSE(fs::exists(LogFolder()));
    }
    {
        SCOPED_TRACE("a second instance that is not hidden tells so where it can and leaves");
        HANDLE first = CreateMutexW(nullptr, FALSE, L"qvxj_install_20170309");
        ASSERT_NE(first, nullptr);
        const RunResult run = Run({"-p", "D:\\Games"});
        CloseHandle(first);
        EXPECT_EQ(run.exitCode, 0) << run.output;
        EXPECT_NE(run.output.find("您已经运行了一个Tarnvik安装程序。"), std::string::npos) << run.output;
        EXPECT_TRUE(m_server->Requests().empty());
        EXPECT_FALSE(fs::exists(LogFolder()));
    }
    {
        SCOPED_TRACE("an ordinary run whose window must show, with no display to show it on");
        const RunResult run = Run({});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.output.find("no display"), std::string::npos) << run.output;
        EXPECT_EQ(Record("launcher.args"), "");
    }
}

TEST_F(InstallerProcessTest, InteractiveInstallOnAnXServerDrivenBySyntheticInput) {
    if (!displaytest::XvfbInstalled()) GTEST_SKIP() << "Xvfb is not installed";
    displaytest::XvfbServer xserver;
    ASSERT_TRUE(xserver.Running()) << "Xvfb did not start";
    WriteIni(0);
    setenv("XJ_DISPLAY_BACKEND", "x11", 1);
    const char* display = std::getenv("DISPLAY");
    const std::string savedDisplay = display != nullptr ? display : "";
    setenv("DISPLAY", xserver.Name().c_str(), 1);

    windowdriver::DriveResult drive;
    const RunResult run = Run({}, [&] {
        drive = windowdriver::DriveInteractiveInstall(xserver.Name(), XJ_ARTIFACT_DIR "/x11-install",
                                                      std::chrono::seconds(90));
        return drive.ok;
    });
    if (savedDisplay.empty()) {
        unsetenv("DISPLAY");
    } else {
        setenv("DISPLAY", savedDisplay.c_str(), 1);
    }
    EXPECT_TRUE(drive.ok) << drive.error;
    EXPECT_EQ(drive.screenshots.size(), 3u);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(Record("package.args"), "");
    EXPECT_EQ(Record("launcher.args"), kLaunched);
    EXPECT_TRUE(fs::exists(DriveD() / "Quorvel网络" / "QuorvelTarnvik" / "QuorvelLauncher.exe"));
}
