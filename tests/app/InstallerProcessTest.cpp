// The installer program itself, run as a process against the loopback update server, with
// a home of its own and the fake client as its package and launcher.
//
// InstallerProcessTest runs the package, so it runs alone (a download anywhere ends every
// "qvinstaller.exe" of the user); InstallerExitTest never gets as far as the package.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "commonlib/util/RunAtStartup.h"
#include "platform/display/XvfbServer.h"
#include "platform/strings/StringConv.h"
#include "platform/sync/Mutex.h"
#include "support/LoopbackUpdateServer.h"
#include "support/TempDir.h"
#include "tools/InstallerWindowDriver.h"

extern char** environ;

namespace fs = std::filesystem;
using testsupport::LoopbackUpdateServer;
using testsupport::StatisticsRecord;

namespace {

constexpr auto kRunLimit = std::chrono::seconds(120);

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The file's lines as the fake client records them: one argument a line, a blank line
// after each run. Empty when the program never ran.
std::vector<std::vector<std::string>> RecordedRuns(const fs::path& path) {
    std::vector<std::vector<std::string>> runs;
    std::istringstream in(ReadBytes(path));
    std::vector<std::string> current;
    for (std::string line; std::getline(in, line);) {
        if (line.empty()) {
            runs.push_back(current);
            current.clear();
        } else {
            current.push_back(line);
        }
    }
    return runs;
}

// "FF FE" and UTF-16LE text, as wide text; empty when the file is not such a file.
std::wstring ReadUtf16File(const fs::path& path) {
    const std::string bytes = ReadBytes(path);
    if (bytes.size() < 2 || bytes.compare(0, 2, "\xFF\xFE") != 0) return {};
    return platform::WideFromUtf16LeBytes(bytes.substr(2));
}

struct RunResult {
    int exitCode = -1;
    std::string errorOutput;
    std::chrono::steady_clock::duration took{};
};

class InstallerRunFixture : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(Home() / "prog");
        fs::create_directories(m_dir / "run");
        fs::create_directories(m_record);
        fs::create_directories(DriveD());
        m_dir.WriteFile("home/.config/xjinstaller/drives.ini", "[Drives]\nD=" + DriveD().string() + "\n");
        fs::copy_file(XJ_INSTALLER_PROGRAM, Program());
        setenv("XJ_FAKE_CLIENT_RECORD", m_record.c_str(), 1);
        setenv("XJ_DISPLAY_BACKEND", "headless", 1);
        LoopbackUpdateServer::Options options;
        options.certDir = m_dir.Path().string();
        m_server = std::make_unique<LoopbackUpdateServer>(options);
        m_server->SetPackage(ReadBytes(XJ_FAKE_CLIENT_PROGRAM), "2.1.790");
        ASSERT_TRUE(m_server->Start());
    }
    void TearDown() override {
        unsetenv("XJ_FAKE_CLIENT_RECORD");
        unsetenv("XJ_DISPLAY_BACKEND");
    }

    fs::path Home() const { return m_dir / "home"; }
    fs::path DriveD() const { return m_dir / "driveD"; }
    fs::path Program() const { return Home() / "prog" / "xjinstaller"; }
    fs::path LogFolder() const { return Home() / "prog" / "MiniLog"; }
    void WriteIni(int logSetting) const {
        m_dir.WriteFile("home/prog/xjzurazarevuz.ini",
                        m_server->ServersSection() + "[Debug]\nLog=" + std::to_string(logSetting) + "\n");
    }
    // Registers an installed launcher in the shared documents' launcher ini, as a client does.
    void RegisterLauncher(const std::wstring& launcherPath) const {
        const std::string text = "\xFF\xFE" + platform::Utf16LeBytesFromWide(L"[QuorvelNet-Launcher]\r\nInstallPath=" +
                                                                             launcherPath + L"\r\n");
        m_dir.WriteFile("home/Documents/QuorvelLauncher/QuorvelLaucher.ini", text);
    }
    void PutOldClient(const fs::path& dir, const std::string& version) const {
        fs::create_directories(dir / "bin");
        fs::copy_file(XJ_FAKE_CLIENT_PROGRAM, dir / "QuorvelLauncher.exe");
        std::ofstream(dir / "rkupdate.ini") << "[Setting]\r\nVersion=" << version << "\r\n";
    }

    RunResult Run(const std::vector<std::string>& args) {
        return RunWhile(args, [] { return true; });
    }
    // Runs the program and, meanwhile, `during`; the program is killed when that fails.
    RunResult RunWhile(const std::vector<std::string>& args, const std::function<bool()>& during) {
        const fs::path errors = m_dir / "stderr.txt";
        std::vector<std::string> words = {Program().string()};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        RunResult result;
        const auto start = std::chrono::steady_clock::now();
        pid_t pid = 0;
        const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            ADD_FAILURE() << "the installer did not start: " << spawned;
            return result;
        }
        const bool carryOn = during();
        int status = 0;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (!carryOn || std::chrono::steady_clock::now() - start > kRunLimit) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                if (carryOn) ADD_FAILURE() << "the installer did not end in time";
                return result;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        result.took = std::chrono::steady_clock::now() - start;
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        result.errorOutput = ReadBytes(errors);
        return result;
    }

    std::vector<std::vector<std::string>> PackageRuns() const { return RecordedRuns(m_record / "package.args"); }
    std::vector<std::vector<std::string>> LauncherRuns() const { return RecordedRuns(m_record / "launcher.args"); }

    testsupport::TempDir m_dir{testsupport::TempDir::Home::Redirect};
    fs::path m_record = m_dir / "record";
    std::unique_ptr<LoopbackUpdateServer> m_server;
};

class InstallerProcessTest : public InstallerRunFixture {};
class InstallerExitTest : public InstallerRunFixture {};

std::string Upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

TEST_F(InstallerProcessTest, HiddenInstallOverAnOldClientEndToEnd) {
    WriteIni(1);
    // The descriptor's Md5 in upper case is the same digest.
    std::string descriptor = m_server->DefaultDescriptor();
    const size_t md5At = descriptor.find("Md5=") + 4;
    descriptor.replace(md5At, 32, Upper(descriptor.substr(md5At, 32)));
    m_server->SetDescriptor(descriptor);
    // An old client in the install directory, registered, running, with files of its own.
    const fs::path installDir = DriveD() / "Games Dir" / "QuorvelTarnvik";
    const std::wstring installWin = L"D:\\Games Dir\\QuorvelTarnvik";
    PutOldClient(installDir, "2.1.700");
    m_dir.WriteFile("driveD/Games Dir/QuorvelTarnvik/patch/old.patch", "old");
    m_dir.WriteFile("driveD/Games Dir/QuorvelTarnvik/GameSettings.ini", "old");
    m_dir.WriteFile("driveD/Games Dir/QuorvelTarnvik/bin/old.dat", "old");
    RegisterLauncher(installWin + L"\\QuorvelLauncher.exe");
    ASSERT_TRUE(SetRunAtStartup(L"QuorvelNet-Launcher", L"\"C:\\old\\QuorvelLauncher.exe\" --auto"));
    fs::copy_file("/bin/sleep", installDir / "bin" / "xjoldclient");
    pid_t oldClient = 0;
    {
        const std::string image = (installDir / "bin" / "xjoldclient").string();
        char* argv[] = {const_cast<char*>(image.c_str()), const_cast<char*>("60"), nullptr};
        ASSERT_EQ(posix_spawn(&oldClient, image.c_str(), nullptr, nullptr, argv, environ), 0);
    }

    const RunResult run = Run({"-h", "-p", "D:\\Games Dir\\QuorvelTarnvik"});
    int oldClientStatus = 0;
    const bool oldClientEnded = waitpid(oldClient, &oldClientStatus, WNOHANG) == oldClient;
    if (!oldClientEnded) {
        kill(oldClient, SIGKILL);
        waitpid(oldClient, &oldClientStatus, 0);
    }
    EXPECT_EQ(run.exitCode, 0) << run.errorOutput;

    // The package ran once with the directory as one argument, in this system's form.
    const std::vector<std::vector<std::string>> package = PackageRuns();
    ASSERT_EQ(package.size(), 1u);
    EXPECT_EQ(package[0], (std::vector<std::string>{"/S", "/unpack=" + installDir.string(), "/launch=off"}));
    // The old client was ended and its files went before the package wrote the new ones.
    EXPECT_TRUE(oldClientEnded) << "the old client's process is still running";
    EXPECT_FALSE(fs::exists(installDir / "patch"));
    EXPECT_FALSE(fs::exists(installDir / "GameSettings.ini"));
    EXPECT_FALSE(fs::exists(installDir / "bin" / "old.dat"));
    for (const char* name : {"QuorvelLauncher.exe", "rkupdate.ini", "uninst.exe", "bin/client.dat"})
        EXPECT_TRUE(fs::exists(installDir / name)) << name;
    EXPECT_FALSE(fs::exists(installDir / "tg.id")) << "the program's channel id is 0";
    EXPECT_NE(ReadBytes(installDir / "preference.ini").find("FromGameClientID=223"), std::string::npos);
    // Nothing of the download is left.
    for (const auto& entry : fs::directory_iterator(installDir)) {
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        EXPECT_EQ(name.find("qvinstaller"), std::string::npos);
        EXPECT_EQ(name.find("xjinstall_"), std::string::npos);
    }
    // Both launcher ini files, UTF-16LE with their mark, name the new launcher.
    const std::wstring launcher = installWin + L"\\QuorvelLauncher.exe";
    for (const fs::path& ini :
         {Home() / ".local/share/QuorvelLaucher.ini", Home() / "Documents/QuorvelLauncher/QuorvelLaucher.ini"}) {
        SCOPED_TRACE(ini.string());
        const std::wstring text = ReadUtf16File(ini);
        EXPECT_NE(text.find(L"InstallPath=" + launcher), std::wstring::npos);
        EXPECT_NE(text.find(L"SouiInstallPath=" + launcher), std::wstring::npos);
    }
    EXPECT_EQ(GetRunAtStartup(L"QuorvelNet-Launcher"), L"\"" + launcher + L"\" --auto");
    EXPECT_EQ(LauncherRuns(), (std::vector<std::vector<std::string>>{{"-i", "223", "-d"}}));
    EXPECT_FALSE(fs::exists(LogFolder())) << "Log=1 removes the log folder";

    // The statistics: the install event, then the success record; and the download log.
    const std::vector<StatisticsRecord> records = m_server->StatisticsRecords();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_FALSE(records[0].IsInstallCount());
    EXPECT_EQ(records[0].Field("event_id"), "xj_install");
    EXPECT_TRUE(records[1].IsInstallCount());
    EXPECT_EQ(records[1].Field("count_dimension"), "installxj_state:1");
    EXPECT_EQ(records[1].Field("count_value").rfind("installxj_time:", 0), 0u);
    EXPECT_EQ(records[1].Field("version"), "2.1.790");
    const auto uploads = m_server->DownloadLogRecords();
    ASSERT_FALSE(uploads.empty());
    EXPECT_TRUE(uploads[0].signValid);
}

TEST_F(InstallerProcessTest, HiddenInstallBesideAnotherClientWithoutLauncherStart) {
    WriteIni(2);
    // A client installed elsewhere; the install goes into a folder of the user's own.
    PutOldClient(DriveD() / "Old" / "QuorvelTarnvik", "2.1.790");
    RegisterLauncher(L"D:\\Old\\QuorvelTarnvik\\QuorvelLauncher.exe");
    const fs::path installDir = DriveD() / "Mine";
    m_dir.WriteFile("driveD/Mine/bin/mine.dat", "mine");
    m_dir.WriteFile("driveD/Mine/GameSettings.ini", "mine");

    const RunResult run = Run({"-h", "-r", "0", "-p", "D:\\Mine"});
    EXPECT_EQ(run.exitCode, 0) << run.errorOutput;
    ASSERT_EQ(PackageRuns().size(), 1u);
    EXPECT_TRUE(LauncherRuns().empty()) << "-r 0 starts no launcher";
    EXPECT_FALSE(fs::exists(installDir / "qvinstaller.exe"));
    // Nothing of the user's folder, nor of the other client, was cleared away.
    EXPECT_EQ(ReadBytes(installDir / "bin" / "mine.dat"), "mine");
    EXPECT_EQ(ReadBytes(installDir / "GameSettings.ini"), "mine");
    EXPECT_TRUE(fs::exists(DriveD() / "Old" / "QuorvelTarnvik" / "QuorvelLauncher.exe"));
    // No start-with-system value is made where there was none; Log=2 keeps the log.
    EXPECT_EQ(GetRunAtStartup(L"QuorvelNet-Launcher"), L"");
    ASSERT_TRUE(fs::exists(LogFolder()));
    EXPECT_FALSE(fs::is_empty(LogFolder()));
}

TEST_F(InstallerExitTest, Md5MismatchNeverRunsThePackage) {
    WriteIni(0);
    std::string descriptor = m_server->DefaultDescriptor();
    const size_t md5At = descriptor.find("Md5=") + 4;
    descriptor.replace(md5At, 32, std::string(32, '0'));
    m_server->SetDescriptor(descriptor);

    const RunResult run = Run({"-h", "-p", "D:\\Games"});
    EXPECT_EQ(run.exitCode, 5) << run.errorOutput;
    EXPECT_TRUE(PackageRuns().empty());
    EXPECT_TRUE(LauncherRuns().empty());
    const std::vector<StatisticsRecord> records = m_server->StatisticsRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Field("count_dimension"), "installxj_state:0");
    EXPECT_EQ(records[0].Field("count_value"), "");
}

TEST_F(InstallerExitTest, SecondHiddenInstanceLeavesAtOnce) {
    WriteIni(0);
    // This process holds the lock the way a first installer does.
    HANDLE first = CreateMutexW(nullptr, FALSE, L"qvxj_install_20170309");
    ASSERT_NE(first, nullptr);
    const RunResult run = Run({"-h", "-p", "D:\\Games"});
    CloseHandle(first);
    EXPECT_EQ(run.exitCode, 0) << run.errorOutput;
    EXPECT_TRUE(m_server->Requests().empty());
    EXPECT_FALSE(fs::exists(DriveD() / "Games"));
    EXPECT_FALSE(fs::exists(LogFolder()));
}

TEST_F(InstallerExitTest, InstalledClientIsStartedInsteadOfInstalled) {
    WriteIni(0);
    PutOldClient(DriveD() / "Client", "2.1.790");
    RegisterLauncher(L"D:\\Client\\QuorvelLauncher.exe");
    {
        SCOPED_TRACE("as new as the listed version: its launcher starts and nothing is installed");
        const RunResult run = Run({});
        EXPECT_EQ(run.exitCode, 0) << run.errorOutput;
        EXPECT_EQ(LauncherRuns(), (std::vector<std::vector<std::string>>{{"-i", "223", "-d"}}));
        EXPECT_TRUE(m_server->RequestsFor(LoopbackUpdateServer::kPackagePath).empty());
    }
    {
        SCOPED_TRACE("older than the minimum: the window must show, and there is no display");
        std::ofstream(DriveD() / "Client" / "rkupdate.ini") << "[Setting]\r\nVersion=2.1.783\r\n";
        const RunResult run = Run({});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.errorOutput.find("no display"), std::string::npos) << run.errorOutput;
        EXPECT_EQ(LauncherRuns().size(), 1u);
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
    const RunResult run = RunWhile({}, [&] {
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
    EXPECT_EQ(run.exitCode, 0) << run.errorOutput;
    EXPECT_EQ(PackageRuns().size(), 1u);
    EXPECT_EQ(LauncherRuns(), (std::vector<std::vector<std::string>>{{"-i", "223", "-d"}}));
    EXPECT_TRUE(fs::exists(DriveD() / "Quorvel网络" / "QuorvelTarnvik" / "QuorvelLauncher.exe"));
}
