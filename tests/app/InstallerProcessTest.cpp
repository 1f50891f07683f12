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
        fs::create_directories(m_dir / "home/prog");
        apptest::MapDriveD(m_dir);
        fs::copy_file(XJ_INSTALLER_PROGRAM, m_dir / "home/prog/xjinstaller");
        setenv("XJ_DISPLAY_BACKEND", "headless", 1);
        m_server = apptest::StartFakeClientServer(m_dir);
        ASSERT_NE(m_server, nullptr);
    }
    void TearDown() override {
        unsetenv("XJ_FAKE_CLIENT_RECORD");
        unsetenv("XJ_DISPLAY_BACKEND");
    }

    fs::path DriveD() const { return m_dir / "driveD"; }
    fs::path LogFolder() const { return m_dir / "home/prog/MiniLog"; }
    void WriteIni(int logSetting) const {
        m_dir.WriteFile("home/prog/xjzurazarevuz.ini",
                        m_server->ServersSection() + "[Debug]\nLog=" + std::to_string(logSetting) + "\n");
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
        std::vector<std::string> words = {(m_dir / "home/prog/xjinstaller").string()};
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
