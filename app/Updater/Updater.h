// The updater module: one install attempt, from the update descriptor to the downloaded
// installer package.
//
//   UpdaterModule* module = new UpdaterModule(dir, UpdaterModule::Mode::Release, listener, 0);
//   module->CreateHelperWindow();
//   module->FetchList();            // descriptor, then the package download
//   ...
//   module->DestroyHelperWindow();  // always before delete
//   delete module;
//
// UI thread only. The HTTP layer and the download engine call the static callbacks with
// the module's hidden helper window as their user value; each callback only stores what it
// carries in the module and posts a private message to that window, whose procedure runs
// the handler later from the message loop. So the listener is never called from inside
// those layers, and a listener slot may stop or delete the module. Messages still queued
// when the helper window is destroyed are dropped with it.
//
// Every path ends in a listener call: a descriptor fetch in OnListResult, a started
// download in OnDownloadResult (a package whose final name cannot be taken because access
// is denied is downloaded once more first, silently). A helper window that cannot be made,
// a request that cannot start, a refused descriptor (one without an Md5, or whose Version
// is no plain file name part) and a download directory that cannot be created are
// reported as failures too.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/GameEventListener.h"
#include "app/UpdateInfo.h"
#include "commonlib/core/ProtoValue.h"
#include "commonlib/http/HttpCommand.h"
#include "platform/types/WinTypes.h"

// The helper window's private messages: wParam and lParam carry at most a result pair.
inline constexpr UINT kUpdaterListTextMessage = 2024;
inline constexpr UINT kUpdaterProgressMessage = 2025;
inline constexpr UINT kUpdaterDownloadDoneMessage = 2026;

// Type 3 codes of a descriptor that was fetched but refused: it names no Md5, so its
// package could not be checked; or a value that becomes part of a file name could lead
// out of the download folder.
inline constexpr int kCodeDescriptorWithoutMd5 = 2040;
inline constexpr int kCodeDescriptorValueRefused = 2041;
inline bool IsDescriptorRefusal(int type, int code) {
    return type == 3 && (code == kCodeDescriptorWithoutMd5 || code == kCodeDescriptorValueRefused);
}

class UpdaterModule {
public:
    enum class Mode : int { Release = 0, InternalTest = 1, PublicTest = 2 };

    // `dir` is the download directory (the install directory); `extra` is unused.
    UpdaterModule(std::wstring dir, Mode mode, IGameEventListener* listener, int extra);
    ~UpdaterModule();
    UpdaterModule(const UpdaterModule&) = delete;
    UpdaterModule& operator=(const UpdaterModule&) = delete;

    // 0, or the system error of the step that failed (the module then reports every fetch
    // as that failure).
    int CreateHelperWindow();
    // Stops the request and the download and removes the helper window.
    void DestroyHelperWindow();
    // Requests the descriptor: the first URL, the others as alternates, the spare command
    // addresses pinned for retries.
    void FetchList();

    // Callbacks of the HTTP layer and the download engine; `user` is the helper window.
    static void OnListText(void* user, const std::string& text, int type, int code);
    static void OnDownloadProgress(void* user, std::int64_t total, std::int64_t complete, std::uint32_t speed);
    static void OnDownloadDone(void* user, int type, int code);

    // The handlers of the private messages.
    void HandleListText(int type, int code);
    void HandleProgress();
    void HandleDownloadDone(int type, int code);

    // Creates `dir`, names the package and its bookkeeping file (`ext` ".tmp" for a first
    // attempt, ".tmptmp" for the retry) and starts the download. False, with nothing
    // started, when the directory cannot be created.
    bool StartDownload(const std::wstring& dir, const std::wstring& ext);
    // Starts the download again from the stored values, without the bookkeeping.
    void RestartDownload();
    void ReportResult(int type, int code, const wchar_t* text);

    static void LogPostFailure();

    // What the module holds, for tests.
    HWND HelperWindow() const { return m_helperWindow; }
    const std::wstring& HelperClassName() const { return m_helperClassName; }
    const std::vector<std::wstring>& UrlList() const { return m_urlList; }
    bool IsDownloadActive() const { return m_downloadActive != 0; }
    const std::wstring& Url() const { return m_url; }
    const std::wstring& Md5() const { return m_md5; }
    std::int64_t Size() const { return m_size; }
    const std::wstring& Version() const { return m_version; }
    const std::wstring& ThirdCdnHost() const { return m_thirdCdnHost; }
    std::int64_t ThirdCdnMinSpeed() const { return m_thirdCdnMinSpeed; }
    const std::wstring& BookkeepingName() const { return m_bookkeepingName; }

private:
    friend bool ReadInstallDescriptor(UpdaterModule& module, const std::wstring& path, int& type, int& code);
    // Hands a fetch result to HandleListText through the UI-thread queue, for failures that
    // come before there is a request.
    void PostListResult(int type, int code);
    static void RunPostedListResult(std::weak_ptr<UpdaterModule*> module, int type, int code);

    std::string m_listText;
    ProtoValue m_progress;
    HWND m_helperWindow = nullptr;
    DWORD m_helperWindowError = 0;
    std::vector<std::wstring> m_urlList;
    CUpdateInfo m_updateInfo;
    CHttpCommand m_command;
    int m_downloadActive = 0;
    std::wstring m_downloadDir;
    std::wstring m_helperClassName;
    IGameEventListener* m_listener;
    std::wstring m_url;
    std::wstring m_murl;
    std::wstring m_md5;
    std::int64_t m_size = 0;
    std::wstring m_version;
    std::wstring m_localPath;
    std::wstring m_bookkeepingName;
    std::int64_t m_thirdCdnMinSpeed = 0;
    std::wstring m_thirdCdnHost;
    std::wstring m_sslUrl;
    std::string m_requestBody;
    DWORD m_startDownloadError = 0;
    // Posted results find the module through this; replaced when the helper window goes.
    std::shared_ptr<UpdaterModule*> m_self;
};

// Writes the module's answer text (less a leading UTF-8 mark) to `path` as FF FE and
// UTF-16LE and reads the [Install] keys from it into the module. False, with (1, system
// error) in the pair, when the file cannot be written; false, with (3, 2040 or 2041) in the
// pair and the module unchanged, when the descriptor is refused; otherwise true with the
// pair unchanged.
bool ReadInstallDescriptor(UpdaterModule& module, const std::wstring& path, int& type, int& code);

// The helper window's procedure.
LRESULT UpdaterHelperWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
