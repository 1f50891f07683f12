#include "app/InstallWorker.h"

#include <chrono>
#include <cstdio>

#include "app/ClientFiles.h"
#include "commonlib/core/Singleton.h"
#include "commonlib/logger/FileLogger.h"
#include "commonlib/logger/Log.h"
#include "commonlib/thread/MainThreadTask.h"
#include "commonlib/util/FileUtils.h"
#include "commonlib/util/Md5.h"
#include "commonlib/util/ProcessUtils.h"
#include "commonlib/util/RunAtStartup.h"
#include "commonlib/util/StringFormat.h"
#include "commonlib/util/StringUtils.h"
#include "platform/fs/DriveMap.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/KnownFolders.h"
#include "platform/process/CommandLine.h"
#include "platform/process/Process.h"
#include "platform/profile/ProfileApi.h"
#include "platform/strings/StringConv.h"
#include "platform/sync/Clock.h"
#include "platform/sync/KernelObject.h"
#include "platform/types/ErrorCodes.h"
#include "platform/window/MessageApi.h"

namespace {

constexpr DWORD kProgressPollMs = 20;
// The progress display reaches its end in about 5 s once the finished flag is set; past
// this the launcher is started without waiting for it.
constexpr DWORD kProgressWaitLimitMs = 15000;
// An old client's process that survives termination must not hold the cleanup for ever.
constexpr int kMaxProcessRounds = 20;
constexpr DWORD kProcessEndWaitMs = 100;
// What RunProcessAndWait reports when the program's exit code cannot be read: not a success.
constexpr DWORD kUnknownExitCode = 0xFFFFFFFF;

const wchar_t* const kOldClientFiles[] = {kLauncherName, L"rkupdate.ini",   L"uninst.exe",      L"Launcher.ini",
                                          L"tg.id",      L"preference.ini", L"GameSettings.ini"};

class SystemProcesses final : public IOldClientProcesses {
public:
    DWORD Find(const std::wstring& directory) override { return FindProcessByPath(directory); }
    bool End(DWORD pid) override {
        HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
        if (process == nullptr) return false;
        if (WaitForSingleObject(process, kProcessEndWaitMs) == WAIT_TIMEOUT) TerminateProcess(process, 0);
        CloseHandle(process);
        return true;
    }
};

// Tells the worker that a report has been delivered on the UI thread.
struct Delivery {
    std::mutex mutex;
    std::condition_variable done;
    bool delivered = false;
};

void DeliverReport(std::shared_ptr<InstallJob> job, InstallReport report, std::shared_ptr<Delivery> delivery) {
    if (job->host != nullptr) job->host->OnInstallReport(report);
    if (!delivery) return;
    std::lock_guard lock(delivery->mutex);
    delivery->delivered = true;
    delivery->done.notify_all();
}

void Report(const std::shared_ptr<InstallJob>& job, InstallReport report,
            std::shared_ptr<Delivery> delivery = nullptr) {
    if (!PostToMainThread(MakeMainThreadTask(&DeliverReport, job, report, delivery))) {
        XJ_LOG_ERROR("install report %d could not reach the UI thread", static_cast<int>(report));
        return;
    }
    if (!delivery) return;
    // Until the UI thread has taken it, however long it is busy, or the window goes.
    std::unique_lock lock(delivery->mutex);
    while (!delivery->delivered && !job->stopRequested)
        delivery->done.wait_for(lock, std::chrono::milliseconds(kProgressPollMs));
}

// The package ran and nothing usable came of it, or it did not run at all: no client
// files, no launcher, and a failure on record.
void EndWithoutClient(const std::shared_ptr<InstallJob>& job, InstallReport report) {
    InstallJob& j = *job;
    Report(job, report);
    j.finished = true;
    DeleteFileWithRetry(j.installerPath, 0);
    RemoveLogFolder(j);
    PostMessageW(j.window, WM_CLOSE, 1, 0);
}

std::string HostText(const std::wstring& winPath) {
    return platform::HostPath(winPath).value_or(std::string());
}

void WriteLauncherIniFile(const std::wstring& path, const InstallJob& job, const std::wstring& launcherPath) {
    EnsureUnicodeFile(path);
    if (job.internalEdition) {
        WritePrivateProfileStringW(kLauncherSection, L"TestInstallPath", launcherPath.c_str(), path.c_str());
    } else {
        WritePrivateProfileStringW(kLauncherSection, L"InstallPath", launcherPath.c_str(), path.c_str());
        WritePrivateProfileStringW(kLauncherSection, L"SouiInstallPath", launcherPath.c_str(), path.c_str());
    }
}

// The shell folder, made when missing: a client's ini file has nowhere else to go.
std::wstring SpecialFolder(int csidl) {
    WCHAR buffer[MAX_PATH] = {};
    return SHGetSpecialFolderPathW(nullptr, buffer, csidl, TRUE) ? std::wstring(buffer) : std::wstring();
}

}  // namespace

CInstallWorker::~CInstallWorker() {
    if (!Stop()) m_thread.detach();
}

bool CInstallWorker::Start(std::shared_ptr<InstallJob> job) {
    if (IsRunning()) return false;
    if (m_thread.joinable()) m_thread.join();
    {
        std::lock_guard lock(m_state->mutex);
        m_state->running = true;
    }
    m_job = job;
    try {
        m_thread = std::thread([state = m_state, job = std::move(job)] {
            RunInstallJob(job);
            std::lock_guard lock(state->mutex);
            state->running = false;
            state->ended.notify_all();
        });
    } catch (const std::system_error&) {
        std::lock_guard lock(m_state->mutex);
        m_state->running = false;
        XJ_LOG_ERROR("the install worker could not start");
        return false;
    }
    return true;
}

bool CInstallWorker::IsRunning() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->running;
}

bool CInstallWorker::Stop(DWORD timeoutMs) {
    if (!m_thread.joinable()) return true;
    if (m_job) m_job->stopRequested = true;
    bool ended = false;
    {
        std::unique_lock lock(m_state->mutex);
        ended =
            m_state->ended.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return !m_state->running; });
    }
    if (ended) {
        m_thread.join();
        return true;
    }
    XJ_LOG_ERROR("the install worker did not end in %u ms", timeoutMs);
    return false;
}

void RunInstallJob(const std::shared_ptr<InstallJob>& job) {
    if (!job) return;
    if (!job->md5.empty() && !PackageMatchesMd5(job->installerPath, job->md5)) {
        PostMessageW(job->window, kInstallDamagedMessage, 0, 0);
        return;
    }
    StartInstallExe(job);
}

bool PackageMatchesMd5(const std::wstring& path, const std::wstring& md5) {
    const std::string host = HostText(path);
    std::FILE* stream = host.empty() ? nullptr : std::fopen(host.c_str(), "rb");
    if (stream == nullptr) {
        XJ_LOG_ERROR(L"the package %s cannot be opened", path.c_str());
        return false;
    }
    const std::wstring digest = MD5(stream).hex_digestW();
    XJ_LOG_INFO(L"package md5:%s descriptor md5:%s", digest.c_str(), md5.c_str());
    return !digest.empty() && ToLowerW(digest) == ToLowerW(md5);
}

void StartInstallExe(const std::shared_ptr<InstallJob>& job) {
    InstallJob& j = *job;
    XJ_LOG_INFO("StartInstallExe begin");
    KillTimer(j.window, kMd5ProgressTimer);
    // The event says the install begins: it is on its way before the package runs.
    Report(job, InstallReport::InstallEvent, std::make_shared<Delivery>());
    SetTimer(j.window, kInstallProgressTimer, kInstallTimerMs, nullptr);
    if (j.stopRequested) return;
    if (j.cleanOldClient) EndProcessAndDelFile(j);

    const std::wstring commandLine = InstallerCommandLine(j.installerPath, j.installDir);
    XJ_LOG_INFO(L"run:%s", commandLine.c_str());
    DWORD packageExit = 0;
    const DWORD runError = RunProcessAndWait(j.installerPath, commandLine, &packageExit);
    if (runError != 0) {
        // Departs from the original behaviour (the install went on): a package that never ran installs nothing.
        XJ_LOG_ERROR(L"the package could not be started, error %u", runError);
        EndWithoutClient(job, InstallReport::PackageNotStarted);
        return;
    }
    // Departs from the original behaviour, which went on as after a good run whatever the
    // package did: only a package that ended well and left the launcher the ini files will
    // name has installed the client.
    const std::wstring launcher = j.installDir + L"\\" + kLauncherName;
    if (packageExit != 0 || !PathFileExistsW(launcher.c_str())) {
        XJ_LOG_ERROR(L"the install failed: the package ended with %u, the launcher %s is %s", packageExit,
                     launcher.c_str(), PathFileExistsW(launcher.c_str()) ? L"there" : L"missing");
        EndWithoutClient(job, InstallReport::InstallFailed);
        return;
    }

    if (j.channelId != L"0") WriteTgIdFile(j.installDir, j.channelId);
    WritePreferenceIni(j);
    Report(job, InstallReport::Installed);
    WriteLauncherIni(j);
    LaunchClientAfterInstall(j);
    RemoveLogFolder(j);
    PostMessageW(j.window, WM_CLOSE, 1, 0);
}

void EndProcessAndDelFile(InstallJob& job) {
    XJ_LOG_INFO(L"EndProcessAndDelFile, path:%s", job.installDir.c_str());
    // The names below are common ones ("bin", "GameSettings.ini"): only a folder that holds the
    // client's launcher is the client's.
    if (!PathFileExistsW((job.installDir + L"\\" + kLauncherName).c_str())) {
        XJ_LOG_ERROR(L"no launcher in %s: nothing there is cleared", job.installDir.c_str());
        return;
    }
    EnableDebugPrivilege();
    SystemProcesses system;
    IOldClientProcesses& processes = job.oldClientProcesses ? *job.oldClientProcesses : system;
    for (int round = 0; round < kMaxProcessRounds; ++round) {
        const DWORD pid = processes.Find(job.installDir);
        if (pid == 0 || !processes.End(pid)) break;
        XJ_LOG_INFO("TerminateProcess, pid:%u", pid);
    }
    DeleteFolderTree(job.installDir + L"\\bin\\");
    DeleteFolderTree(job.installDir + L"\\patch\\");
    for (const wchar_t* name : kOldClientFiles)
        DeleteFileWithRetry(job.installDir + L"\\" + name, 0);
    XJ_LOG_INFO("EndProcessAndDelFile end");
}

std::wstring InstallerCommandLine(const std::wstring& installerPath, const std::wstring& installDir) {
    // The package is another program: it gets the directory as this system names it,
    // without a trailing separator, which would escape the closing quotation mark.
    std::wstring dir = platform::WideFromHostName(HostText(installDir));
    if (dir.empty()) dir = installDir;
    while (dir.size() > 1 && (dir.back() == L'/' || dir.back() == L'\\'))
        dir.pop_back();
    // Departs from the original behaviour, which put the folder between quotation marks as it
    // stood: escaped, a folder name holding quotation marks arrives whole.
    return FormatW(L"\"%s\" /S %s /launch=off", installerPath.c_str(),
                   platform::QuoteCommandLineArgument(L"/unpack=" + dir).c_str());
}

std::wstring LauncherCommandLine(const std::wstring& launcherPath, int gameId, const std::wstring& channelId) {
    std::wstring line = FormatW(L"\"%s\" -i \"%d\" -d", launcherPath.c_str(), gameId);
    // Departs from the original behaviour, which appended the channel id bare: quoted, a
    // channel id with a blank stays one argument.
    if (channelId != L"0") line += L" --tgid " + platform::QuoteCommandLineArgument(channelId);
    return line;
}

DWORD RunProcessAndWait(const std::wstring& application, const std::wstring& commandLine, DWORD* exitCode) {
    std::vector<WCHAR> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup;
    PROCESS_INFORMATION info;
    if (!CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info)) {
        const DWORD error = GetLastError();
        return error != 0 ? error : ERROR_GEN_FAILURE;
    }
    WaitForSingleObject(info.hProcess, INFINITE);
    DWORD code = 0;
    if (GetExitCodeProcess(info.hProcess, &code)) {
        XJ_LOG_INFO("the package ended with %u", code);
    } else {
        code = kUnknownExitCode;
    }
    if (exitCode != nullptr) *exitCode = code;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return 0;
}

bool WriteTgIdFile(const std::wstring& dir, const std::wstring& id) {
    CreateDirByXj(dir);
    const std::string host = HostText(dir + L"\\tg.id");
    std::FILE* file = host.empty() ? nullptr : std::fopen(host.c_str(), "wb");
    if (file == nullptr) return false;
    const std::string bytes = platform::Utf8FromWide(id);
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

void WritePreferenceIni(const InstallJob& job) {
    const std::wstring path = job.installDir + L"\\preference.ini";
    if (job.startupWithOS)
        WritePrivateProfileStringW(L"Config", L"StartupWithOS", *job.startupWithOS ? L"1" : L"0", path.c_str());
    WritePrivateProfileStringW(L"Config", L"FromGameClientID",
                               FormatW(L"%u", static_cast<unsigned>(job.gameId)).c_str(), path.c_str());
}

void WriteLauncherIni(const InstallJob& job) {
    const std::wstring launcherPath = job.installDir + L"\\" + kLauncherName;
    const std::wstring appData = SpecialFolder(CSIDL_COMMON_APPDATA);
    if (!appData.empty()) WriteLauncherIniFile(appData + L"\\" + kLauncherIniName, job, launcherPath);
    const std::wstring documents = SpecialFolder(CSIDL_COMMON_DOCUMENTS);
    if (!documents.empty()) {
        const std::wstring folder = documents + L"\\" + kLauncherDocumentsFolder;
        CreateDirByXj(folder);
        WriteLauncherIniFile(folder + L"\\" + kLauncherIniName, job, launcherPath);
    }
    if (job.hidden && !GetRunAtStartup(kLauncherRunValue).empty())
        SetRunAtStartup(kLauncherRunValue, L"\"" + launcherPath + L"\" --auto");
}

void LaunchClientAfterInstall(InstallJob& job) {
    job.finished = true;
    XJ_LOG_INFO("progress_time:%d", job.progress.load());
    const ULONGLONG deadline = GetTickCount64() + kProgressWaitLimitMs;
    while (job.progress < kInstallProgressEnd && !job.stopRequested && GetTickCount64() < deadline)
        Sleep(kProgressPollMs);
    XJ_LOG_INFO("progress_time:%d", job.progress.load());
    if (job.runLauncher && !job.stopRequested) {
        const std::wstring launcher = job.installDir + L"\\" + kLauncherName;
        const DWORD error = RunProcess(launcher, LauncherCommandLine(launcher, job.gameId, job.channelId));
        if (error != 0) XJ_LOG_ERROR(L"the launcher %s could not be started, error %u", launcher.c_str(), error);
    }
    DeleteFileWithRetry(job.installerPath, 0);
}

void RemoveLogFolder(const InstallJob& job) {
    if (!job.removeLogFolder) return;
    CSingleton<FileLogger>::GetInstance().Close();
    DeleteFolderTree(job.logFolder + L"\\");
}
