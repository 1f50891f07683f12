// The install worker: after the package download, checks the package's MD5, runs it
// silently into the install directory, writes the client's files, has the statistics
// sent, starts the client's launcher and closes the main window.
//
// The main window fills an InstallJob on the UI thread and starts the worker with it; from
// then on the job's settings are read-only and only its atomics are shared. The worker
// never touches the window object: it reaches the window through its handle (posted
// messages and timers, which any thread may use) and the UI thread through tasks that
// find the window's host in the job, or nothing once the window is gone. So the job
// outlives the window, and the owner ends the worker with a bounded wait (Stop).
//
// Timers and messages it uses on the window: it kills timer 16 and arms timer 11
// (100 ms) before the package runs, posts kInstallDamagedMessage when the package cannot
// be read or its MD5 differs, and posts WM_CLOSE with 1 when it is done.
//
// The install event is delivered on the UI thread before the package runs: the worker
// waits for that, however busy the UI thread is, until the window goes. The install has
// succeeded only when the package ended with 0 and left the client's launcher in the
// install directory; otherwise the worker reports InstallFailed and writes no client file.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/types/WinTypes.h"
#include "platform/window/WinMessages.h"

inline constexpr UINT kInstallDamagedMessage = WM_USER + 100;
inline constexpr UINT_PTR kInstallProgressTimer = 11;
inline constexpr UINT_PTR kMd5ProgressTimer = 16;
inline constexpr UINT kInstallTimerMs = 100;
// The install-phase progress value the worker waits for before it starts the launcher.
inline constexpr int kInstallProgressEnd = 450;

// What the worker asks of the UI thread; each arrives there as a task.
enum class InstallReport : int {
    InstallEvent = 0,       // the install phase begins
    Installed = 1,          // the client's files are written: the success record
    PackageNotStarted = 2,  // the package could not be started: the failure record
    InstallFailed = 3,      // the package failed or left no launcher: the failure record
};

class IInstallJobHost {
public:
    virtual ~IInstallJobHost() = default;
    // UI thread.
    virtual void OnInstallReport(InstallReport report) = 0;
};

// The processes of an old client, for the cleanup before a reinstall; tests replace them.
class IOldClientProcesses {
public:
    virtual ~IOldClientProcesses() = default;
    // Another process whose image lies below `directory`, 0 when none.
    virtual DWORD Find(const std::wstring& directory) = 0;
    // Gives it 100 ms to end, then terminates it; false when it cannot be opened.
    virtual bool End(DWORD pid) = 0;
};

struct InstallJob {
    // Settings, fixed before the worker starts. Paths are Windows form.
    HWND window = nullptr;
    std::wstring installerPath;
    std::wstring installDir;
    std::wstring md5;        // the descriptor's; empty skips the check
    std::wstring channelId;  // "0" means none
    int gameId = 0;
    bool internalEdition = false;
    // Remove an old client's processes and files first: only when the launcher found at
    // start-up lies in the install directory itself, never in a folder the user chose.
    bool cleanOldClient = false;
    bool hidden = false;
    bool runLauncher = true;
    std::optional<bool> startupWithOS;  // the skin's start-with-system option, when it has one
    bool removeLogFolder = false;
    std::wstring logFolder;
    std::shared_ptr<IOldClientProcesses> oldClientProcesses;  // null: the real ones

    // Shared: the install-phase progress (advanced on the UI thread), the finished flag
    // (set by the worker), and the stop request (set by the owner).
    std::atomic<int> progress{0};
    std::atomic<bool> finished{false};
    std::atomic<bool> stopRequested{false};

    // UI thread only: the window's side, cleared when the window goes.
    IInstallJobHost* host = nullptr;
};

class CInstallWorker {
public:
    CInstallWorker() = default;
    // Stops with the default wait; a worker still running then is left to end by itself,
    // holding its job.
    ~CInstallWorker();
    CInstallWorker(const CInstallWorker&) = delete;
    CInstallWorker& operator=(const CInstallWorker&) = delete;

    // Starts the worker on `job`; false when one is still running or no thread can start.
    bool Start(std::shared_ptr<InstallJob> job);
    bool IsRunning() const;
    // Asks the worker to stop at its next step and waits up to `timeoutMs` for it. True
    // when no worker runs any more; false when it is still inside a step (the package's
    // run), and Stop may be called again.
    bool Stop(DWORD timeoutMs = 5000);

private:
    struct State {
        std::mutex mutex;
        std::condition_variable ended;
        bool running = false;
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
    std::shared_ptr<InstallJob> m_job;
    std::thread m_thread;
};

// The worker's steps, one by one, on the calling thread (tests run them directly).
// The whole run: MD5 check, then StartInstallExe or kInstallDamagedMessage.
void RunInstallJob(const std::shared_ptr<InstallJob>& job);
bool PackageMatchesMd5(const std::wstring& path, const std::wstring& md5);
void StartInstallExe(const std::shared_ptr<InstallJob>& job);
void EndProcessAndDelFile(InstallJob& job);
// The package's command line (the install directory goes in host form).
std::wstring InstallerCommandLine(const std::wstring& installerPath, const std::wstring& installDir);
// The launcher's command line: "<launcher>" -i "<id>" -d [--tgid <channel>].
std::wstring LauncherCommandLine(const std::wstring& launcherPath, int gameId, const std::wstring& channelId);
// 0 when the program ran, with its exit code in `exitCode` (0xFFFFFFFF when it cannot be
// read); else the system error of its start.
DWORD RunProcessAndWait(const std::wstring& application, const std::wstring& commandLine, DWORD* exitCode = nullptr);
// "tg.id" in `dir`, created with its parents: the id's UTF-8 bytes, nothing else.
bool WriteTgIdFile(const std::wstring& dir, const std::wstring& id);
void WritePreferenceIni(const InstallJob& job);
void WriteLauncherIni(const InstallJob& job);
void LaunchClientAfterInstall(InstallJob& job);
void RemoveLogFolder(const InstallJob& job);
