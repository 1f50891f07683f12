#include "app/InstallWorker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>
#include <tuple>

#include "app/AppTestEnvironment.h"
#include "commonlib/util/Md5.h"
#include "platform/process/CommandLine.h"
#include "platform/strings/StringConv.h"
#include "support/MessagePump.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using testsupport::TempDir;

namespace {

class InstallWorkerTest : public ::testing::Test {
protected:
    fs::path Home() const { return m_dir / "home"; }
    TempDir m_dir{TempDir::Home::Redirect};
};

// Old-client processes that never go away, however often they are ended.
class UndyingProcesses final : public IOldClientProcesses {
public:
    DWORD Find(const std::wstring&) override {
        ++finds;
        return finds < 1000 ? 4242 : 0;  // an unbounded loop would still end, much later
    }
    bool End(DWORD) override {
        ++ends;
        return true;
    }
    int finds = 0;
    int ends = 0;
};

// The window's side of a job on the UI thread: each report, and whether the package had run
// by the time it arrived.
class RecordingHost final : public IInstallJobHost {
public:
    explicit RecordingHost(fs::path packageMark) : m_packageMark(std::move(packageMark)) {}
    void OnInstallReport(InstallReport report) override { reports.emplace_back(report, fs::exists(m_packageMark)); }
    std::vector<std::pair<InstallReport, bool>> reports;

private:
    fs::path m_packageMark;
};

class InstallWorkerReportTest : public AppTestEnvironment {};

}  // namespace

TEST_F(InstallWorkerReportTest, TheInstallEventIsHandedOverBeforeThePackageRunsHoweverBusyTheUiThread) {
    WriteIni("[Debug]\nLog=0\n");
    StartApp();
    const fs::path mark = m_dir / "package-ran";
    m_dir.WriteFile("home/dl/qvinstaller.exe", "#!/bin/sh\ntouch '" + mark.string() + "'\n");
    auto job = std::make_shared<InstallJob>();
    job->installerPath = L"C:\\dl\\qvinstaller.exe";
    job->installDir = L"C:\\Games\\QuorvelTarnvik";
    job->channelId = L"0";
    job->runLauncher = false;
    RecordingHost host(mark);
    job->host = &host;
    CInstallWorker worker;
    ASSERT_TRUE(worker.Start(job));
    // The UI thread is busy elsewhere for a while: the package waits for it.
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_FALSE(fs::exists(mark)) << "the package ran before the install event was handed over";
    EXPECT_TRUE(testsupport::PumpMessagesUntil([&] { return host.reports.size() >= 2; }, std::chrono::seconds(30)));
    EXPECT_TRUE(worker.Stop(30000));
    testsupport::DispatchPending();
    ASSERT_GE(host.reports.size(), 1u);
    EXPECT_EQ(host.reports[0], std::make_pair(InstallReport::InstallEvent, false));
    EXPECT_TRUE(fs::exists(mark));
}

TEST_F(InstallWorkerTest, OldClientCleanupEndsWhenAProcessSurvives) {
    InstallJob job;
    job.installDir = L"C:\\Games\\QuorvelTarnvik";
    auto processes = std::make_shared<UndyingProcesses>();
    job.oldClientProcesses = processes;
    m_dir.WriteFile("home/Games/QuorvelTarnvik/QuorvelLauncher.exe", "old");
    m_dir.WriteFile("home/Games/QuorvelTarnvik/patch/a.patch", "old");
    m_dir.WriteFile("home/Games/QuorvelTarnvik/Launcher.ini", "old");
    m_dir.WriteFile("home/Games/QuorvelTarnvik/keep.txt", "mine");
    EndProcessAndDelFile(job);
    EXPECT_LE(processes->ends, 20);
    // The files go all the same.
    EXPECT_FALSE(fs::exists(Home() / "Games/QuorvelTarnvik/patch"));
    EXPECT_FALSE(fs::exists(Home() / "Games/QuorvelTarnvik/Launcher.ini"));
    EXPECT_TRUE(fs::exists(Home() / "Games/QuorvelTarnvik/keep.txt"));
}

TEST_F(InstallWorkerTest, OldClientCleanupTouchesNoFolderWithoutTheLauncher) {
    InstallJob job;
    job.installDir = L"C:\\";
    job.cleanOldClient = true;
    auto processes = std::make_shared<UndyingProcesses>();
    job.oldClientProcesses = processes;
    m_dir.WriteFile("home/bin/notes.sh", "mine");
    m_dir.WriteFile("home/GameSettings.ini", "mine");
    EndProcessAndDelFile(job);
    EXPECT_EQ(processes->finds, 0) << "no process is ended either";
    EXPECT_EQ(TempDir::ReadFile(Home() / "bin/notes.sh"), "mine");
    EXPECT_EQ(TempDir::ReadFile(Home() / "GameSettings.ini"), "mine");
}

TEST_F(InstallWorkerTest, WhatItChecksAndWrites) {
    // The package's digest in any case; the MD5 progress of an empty package divides by nothing.
    m_dir.WriteFile("home/dl/qvinstaller.exe", "package bytes");
    m_dir.WriteFile("home/dl/empty.exe", "");
    std::string upper = MD5("package bytes", 13).hex_digest();
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    const std::tuple<const wchar_t*, std::string, bool> packages[] = {
        {L"C:\\dl\\qvinstaller.exe", upper, true},
        {L"C:\\dl\\missing.exe", upper, false},
        {L"C:\\dl\\empty.exe", MD5("", 0).hex_digest(), true},
    };
    for (const auto& [path, md5, matches] : packages) {
        Md5SharedFileSize() = 0;
        EXPECT_EQ(PackageMatchesMd5(path, platform::WideFromUtf8(md5)), matches) << platform::Utf8FromWide(path);
        EXPECT_TRUE(Md5SharedPercent() >= 0 && Md5SharedPercent() <= 100);
    }

    ASSERT_TRUE(WriteTgIdFile(L"C:\\Games\\Tarnvik", L"渠道42"));
    EXPECT_EQ(TempDir::ReadFile(Home() / "Games/Tarnvik/tg.id"), platform::Utf8FromWide(L"渠道42"));
    // The package gets the directory as one argument, in the host's form, without a trailing separator.
    EXPECT_EQ(InstallerCommandLine(L"C:\\dl\\qvinstaller.exe", L"C:\\My Games\\"),
              L"\"C:\\dl\\qvinstaller.exe\" /S \"/unpack=" + platform::WideFromUtf8((Home() / "My Games").string()) +
                  L"\" /launch=off");
    EXPECT_EQ(LauncherCommandLine(L"D:\\c\\QuorvelLauncher.exe", 57, L"abc"),
              L"\"D:\\c\\QuorvelLauncher.exe\" -i \"57\" -d --tgid \"abc\"");
    // Whatever a folder or a channel id holds reaches the other program as one argument.
    using Args = std::vector<std::wstring>;
    const std::wstring quoted = platform::WideFromUtf8((Home() / "Games/Tarnvik \"beta\"").string());
    EXPECT_EQ(
        platform::SplitCommandLine(InstallerCommandLine(L"C:\\dl\\qvinstaller.exe", L"C:\\Games\\Tarnvik \"beta\"\\")),
        (Args{L"C:\\dl\\qvinstaller.exe", L"/S", L"/unpack=" + quoted, L"/launch=off"}));
    EXPECT_EQ(platform::SplitCommandLine(LauncherCommandLine(L"D:\\c\\QuorvelLauncher.exe", 57, L"渠道 \"42\"")),
              (Args{L"D:\\c\\QuorvelLauncher.exe", L"-i", L"57", L"-d", L"--tgid", L"渠道 \"42\""}));
}

TEST_F(InstallWorkerTest, StopWaitsBoundedlyForAWorkerInsideThePackage) {
    // A package that takes its time; the worker holds its job while the owner moves on.
    const fs::path started = m_dir / "started";
    m_dir.WriteFile("home/dl/qvinstaller.exe", "#!/bin/sh\ntouch '" + started.string() +
                                                   "'\nsleep 2\nd=${2#/unpack=}\n: > \"$d/QuorvelLauncher.exe\"\n");
    fs::create_directories(Home() / "Games/QuorvelTarnvik");
    auto job = std::make_shared<InstallJob>();
    job->installerPath = L"C:\\dl\\qvinstaller.exe";
    job->installDir = L"C:\\Games\\QuorvelTarnvik";
    job->channelId = L"0";
    job->runLauncher = true;
    CInstallWorker worker;
    ASSERT_TRUE(worker.Start(job));
    for (int i = 0; i < 6000 && !fs::exists(started); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(fs::exists(started));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(worker.Stop(50));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    job.reset();
    EXPECT_TRUE(worker.Stop(60000));
    // Asked to stop, it wrote the client's files but started no launcher and waited for no
    // progress display.
    EXPECT_TRUE(fs::exists(Home() / "Games/QuorvelTarnvik/preference.ini"));
    EXPECT_FALSE(fs::exists(Home() / "dl/qvinstaller.exe"));
}
