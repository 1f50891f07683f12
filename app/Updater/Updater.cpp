#include "app/Updater/Updater.h"

#include <json/json.h>

#include <algorithm>
#include <ctime>

#include "app/MainApp.h"
#include "app/SpareDnsTable.h"
#include "commonlib/core/FileEx.h"
#include "commonlib/core/Singleton.h"
#include "commonlib/logger/ConsoleLogger.h"
#include "commonlib/logger/FileLogger.h"
#include "commonlib/logger/Log.h"
#include "commonlib/logger/ReportSupport.h"
#include "commonlib/peer/DownloadModule.h"
#include "commonlib/thread/MainThreadTask.h"
#include "commonlib/util/FileUtils.h"
#include "commonlib/util/ProcessUtils.h"
#include "commonlib/util/StringFormat.h"
#include "commonlib/util/StringUtils.h"
#include "platform/fs/FileSystem.h"
#include "platform/profile/ProfileApi.h"
#include "platform/resource/Resource.h"
#include "platform/strings/StringConv.h"
#include "platform/types/ErrorCodes.h"
#include "platform/window/MessageApi.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowClass.h"

namespace {

constexpr wchar_t kPackageName[] = L"qvinstaller.exe";
constexpr wchar_t kFirstAttempt[] = L".tmp";
constexpr wchar_t kRetryAttempt[] = L".tmptmp";
constexpr wchar_t kInstallFailed[] = L"安装失败";
constexpr DWORD kUpdateUrlBuffer = 256;
constexpr DWORD kDescriptorValueBuffer = 2048;
// The descriptor file: write, others may read, not inherited, created anew, binary.
constexpr UINT kDescriptorFileFlags =
    CFileEx::kWrite | CFileEx::kShareRead | CFileEx::kNoInherit | CFileEx::kCreate | CFileEx::kBinary;

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// Every module of a run gets a class of its own, numbered from 1.
int NextHelperWindowNumber() {
    static int counter = 0;
    return ++counter;
}

UpdaterModule* ModuleOf(HWND hwnd) {
    return reinterpret_cast<UpdaterModule*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

std::wstring ReadDescriptorValue(const std::wstring& path, const wchar_t* key, const wchar_t* defaultValue) {
    wchar_t buffer[kDescriptorValueBuffer];
    GetPrivateProfileStringW(L"Install", key, defaultValue, buffer, kDescriptorValueBuffer, path.c_str());
    return buffer;
}

bool IsControl(wchar_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// Whether a value may become part of a file name: nothing that leads to another folder or
// drive, that a name lookup reads as a pattern, or that no file name holds.
bool IsPlainNamePart(const std::wstring& value) {
    if (value.find(L"..") != std::wstring::npos) return false;
    return std::none_of(value.begin(), value.end(), [](wchar_t c) {
        return IsControl(c) || std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos;
    });
}

// The value for a log line, control characters shown as '?'.
std::wstring Printable(std::wstring value) {
    std::replace_if(value.begin(), value.end(), IsControl, L'?');
    return value;
}

std::string BuildRequestBody() {
    Json::Value body(Json::objectValue);
    body["game"] = "XJ_vidi_zazeroroda";
    body["type"] = 2;
    return StyledJsonText(body);
}

MakerServers::ListMode ListModeOf(UpdaterModule::Mode mode) {
    switch (mode) {
        case UpdaterModule::Mode::InternalTest:
            return MakerServers::ListMode::Internal;
        case UpdaterModule::Mode::PublicTest:
            return MakerServers::ListMode::PublicTest;
        default:
            return MakerServers::ListMode::Release;
    }
}

}  // namespace

UpdaterModule::UpdaterModule(std::wstring dir, Mode mode, IGameEventListener* listener, int)
    : m_downloadDir(std::move(dir)),
      m_listener(listener),
      m_requestBody(BuildRequestBody()),
      m_self(std::make_shared<UpdaterModule*>(this)) {
    const MainApp& app = MainApp::GetInstance();
    const std::wstring iniPath = app.IniPath();
    if (PathFileExistsW(iniPath.c_str())) {
        wchar_t buffer[kUpdateUrlBuffer];
        GetPrivateProfileStringW(L"Debug", L"UpdateURL", L"", buffer, kUpdateUrlBuffer, iniPath.c_str());
        if (buffer[0] != L'\0') m_urlList.push_back(buffer);
    }
    if (m_urlList.empty()) m_urlList = app.Servers().DescriptorUrls(ListModeOf(mode));
}

UpdaterModule::~UpdaterModule() = default;

int UpdaterModule::CreateHelperWindow() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    m_helperClassName = FormatW(L"_UPDATE_MODULE_HELPER_WINDOW_QUORVEL%d", NextHelperWindowNumber());

    WNDCLASSW wc{};
    wc.lpfnWndProc = &UpdaterHelperWndProc;
    wc.hInstance = instance;
    wc.lpszClassName = m_helperClassName.c_str();
    if (RegisterClassW(&wc) == 0) {
        const DWORD error = GetLastError();
        CSingleton<ConsoleLogger>::GetInstance().LogAt(LogLevel::Error, __LINE__, __FILE__, "[UM]regclass %d",
                                                       static_cast<int>(error));
        CSingleton<FileLogger>::GetInstance().LogAt(LogLevel::Error, __LINE__, __FILE__, "[UM]rcls %d:%d", 1,
                                                    static_cast<int>(error));
        m_helperWindowError = error;
        return static_cast<int>(error);
    }
    m_helperWindow =
        CreateWindowExW(0, m_helperClassName.c_str(), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    if (!m_helperWindow) {
        const DWORD error = GetLastError();
        UnregisterClassW(m_helperClassName.c_str(), instance);
        CSingleton<ConsoleLogger>::GetInstance().LogAt(LogLevel::Error, __LINE__, __FILE__, "[UM]unregclass %d",
                                                       static_cast<int>(error));
        CSingleton<FileLogger>::GetInstance().LogAt(LogLevel::Error, __LINE__, __FILE__, "[UM]urcls %d:%d", 1,
                                                    static_cast<int>(error));
        m_helperWindowError = error;
        return static_cast<int>(error);
    }
    SetWindowLongPtrW(m_helperWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_helperWindowError = 0;
    return 0;
}

void UpdaterModule::DestroyHelperWindow() {
    m_command.Stop();
    StopDownload(m_url.c_str(), m_localPath.c_str());
    m_listText.clear();
    m_downloadActive = 0;
    m_updateInfo.Clear();
    // Results posted for this window are dropped with it, like its queued messages.
    m_self = std::make_shared<UpdaterModule*>(this);
    if (m_helperWindow) {
        DestroyWindow(m_helperWindow);
        m_helperWindow = nullptr;
        UnregisterClassW(m_helperClassName.c_str(), GetModuleHandleW(nullptr));
    }
}

void UpdaterModule::FetchList() {
    if (!m_helperWindow) {
        // Without the window no answer could reach the module: report instead of waiting forever.
        PostListResult(1, static_cast<int>(m_helperWindowError ? m_helperWindowError : ERROR_INVALID_WINDOW_HANDLE));
        return;
    }
    const std::wstring& url = m_urlList.front();
    std::wstring alternates;
    if (m_urlList.size() > 1) {
        for (const std::wstring& entry : m_urlList) {
            if (!alternates.empty()) alternates += L';';
            alternates += entry;
        }
    }
    m_command.m_checkHost = 1;
    if (!m_command.Get(url, &UpdaterModule::OnListText, m_helperWindow, HttpErrorReporting::Off,
                       SpareDnsTable::GetInstance().CommandAddressList(), alternates)) {
        XJ_LOG_ERROR(L"[UM] descriptor request of %s could not start", url.c_str());
        PostListResult(static_cast<int>(HttpResultType::Program), static_cast<int>(HttpProgramCode::NothingToFetch));
    }
}

void UpdaterModule::PostListResult(int type, int code) {
    if (!PostToMainThread(MakeMainThreadTask(&UpdaterModule::RunPostedListResult, std::weak_ptr<UpdaterModule*>(m_self),
                                             type, code))) {
        LogPostFailure();
    }
}

void UpdaterModule::RunPostedListResult(std::weak_ptr<UpdaterModule*> module, int type, int code) {
    if (const auto self = module.lock()) (*self)->HandleListText(type, code);
}

void UpdaterModule::OnListText(void* user, const std::string& text, int type, int code) {
    const HWND hwnd = static_cast<HWND>(user);
    UpdaterModule* module = ModuleOf(hwnd);
    if (!module) return;
    module->m_listText = text;
    if (!PostMessageW(hwnd, kUpdaterListTextMessage, static_cast<WPARAM>(type), static_cast<LPARAM>(code)))
        LogPostFailure();
}

void UpdaterModule::OnDownloadProgress(void* user, std::int64_t total, std::int64_t complete, std::uint32_t speed) {
    const HWND hwnd = static_cast<HWND>(user);
    UpdaterModule* module = ModuleOf(hwnd);
    if (!module) return;
    ProtoValue& process = module->m_progress[L"process"];
    process[L"total"] = total;
    process[L"complete"] = complete;
    process[L"speed"] = static_cast<std::int64_t>(speed);
    if (!PostMessageW(hwnd, kUpdaterProgressMessage, 0, 0)) LogPostFailure();
}

void UpdaterModule::OnDownloadDone(void* user, int type, int code) {
    if (!PostMessageW(static_cast<HWND>(user), kUpdaterDownloadDoneMessage, static_cast<WPARAM>(type),
                      static_cast<LPARAM>(code))) {
        LogPostFailure();
    }
}

void UpdaterModule::LogPostFailure() {
    const unsigned error = GetLastError();
    CSingleton<ConsoleLogger>::GetInstance().LogAt(LogLevel::Error, __LINE__, __FILE__, "[UM] post_message failed:%u",
                                                   error);
    CSingleton<FileLogger>::GetInstance().LogAt(LogLevel::Error, __LINE__, __FILE__, "[UM] post message failed:%u",
                                                error);
}

LRESULT UpdaterHelperWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    UpdaterModule* module = ModuleOf(hwnd);
    if (!module) return DefWindowProcW(hwnd, message, wParam, lParam);
    switch (message) {
        case kUpdaterListTextMessage:
            module->HandleListText(static_cast<int>(wParam), static_cast<int>(lParam));
            return 0;
        case kUpdaterProgressMessage:
            module->HandleProgress();
            return 0;
        case kUpdaterDownloadDoneMessage:
            module->HandleDownloadDone(static_cast<int>(wParam), static_cast<int>(lParam));
            return 0;
        case 2027:
        case 2028:
        case 2029:
        case 2030:
        case 2031:
        case WM_TIMER:
            return 0;
        default:
            return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

void UpdaterModule::HandleListText(int type, int code) {
    m_command.Stop();
    if (type == 0) {
        const std::wstring path =
            FormatW(L"%s\\xjinstall_%d.ini", m_downloadDir.c_str(), static_cast<int>(std::time(nullptr)));
        if (ReadInstallDescriptor(*this, path, type, code) && !StartDownload(m_downloadDir, kFirstAttempt)) {
            type = static_cast<int>(HttpResultType::System);
            code = static_cast<int>(m_startDownloadError);
        }
        DeleteFileWithRetry(path, 0);
    }
    m_listener->OnListResult(type, code, m_version, m_md5);
}

bool ReadInstallDescriptor(UpdaterModule& module, const std::wstring& path, int& type, int& code) {
    CFileEx file;
    CFileExException error;
    if (!file.Open(path, kDescriptorFileFlags, &error)) {
        type = static_cast<int>(HttpResultType::System);
        code = static_cast<int>(error.Code());
        return false;
    }
    try {
        // Departs from the original behaviour: a leading UTF-8 mark is dropped, since kept it hides the section.
        std::string_view answer = module.m_listText;
        if (answer.starts_with(kUtf8Mark)) answer.remove_prefix(kUtf8Mark.size());
        const std::string text = platform::Utf16LeBytesFromWide(Utf8ToWide(answer));
        file.Seek(0, CFileEx::kBegin);
        file.Write("\xFF\xFE", 2);
        if (!text.empty()) file.Write(text.data(), static_cast<UINT>(text.size()));
        file.Flush();
        file.Close();
    } catch (const CFileExException& failure) {
        type = static_cast<int>(HttpResultType::System);
        code = static_cast<int>(failure.Code());
        file.Abort();
        return false;
    }

    // Read aside first: a refused descriptor leaves the module with what it held.
    const std::wstring url = ReadDescriptorValue(path, L"Url", L"");
    const std::wstring murl = ReadDescriptorValue(path, L"murl", L"");
    const std::int64_t size = WStringToInt64(ReadDescriptorValue(path, L"Size", L"0"));
    const std::wstring md5 = ReadDescriptorValue(path, L"Md5", L"");
    const std::wstring version = ReadDescriptorValue(path, L"Version", L"");
    const std::wstring thirdCdnHost = ReadDescriptorValue(path, L"ThirdCDNHost", L"");
    const std::int64_t thirdCdnMinSpeed = WStringToInt64(ReadDescriptorValue(path, L"ThirdCDNMinSpeed", L"0"));
    const std::wstring sslUrl = ReadDescriptorValue(path, L"SSLUrl", L"");
    if (md5.empty()) {
        // Departs from the original behaviour, which skips the check: nothing could check such a package.
        XJ_LOG_ERROR("[UM] descriptor refused: it names no Md5, so its package could not be checked");
        type = static_cast<int>(HttpResultType::Program);
        code = kCodeDescriptorWithoutMd5;
        return false;
    }
    if (!IsPlainNamePart(version)) {
        // Departs from the original behaviour: the version is part of a file name that a failed
        // download deletes, and such a value could name a file outside the download folder.
        XJ_LOG_ERROR(L"[UM] descriptor refused: its Version \"%s\" is no plain file name part",
                     Printable(version).c_str());
        type = static_cast<int>(HttpResultType::Program);
        code = kCodeDescriptorValueRefused;
        return false;
    }
    module.m_url = sslUrl.empty() ? url : sslUrl;
    module.m_murl = murl;
    module.m_size = size;
    module.m_md5 = md5;
    module.m_version = version;
    module.m_thirdCdnHost = thirdCdnHost;
    module.m_thirdCdnMinSpeed = thirdCdnMinSpeed;
    module.m_sslUrl = sslUrl;
    return true;
}

bool UpdaterModule::StartDownload(const std::wstring& dir, const std::wstring& ext) {
    if (!CreateDirByXj(dir)) {
        m_startDownloadError = GetLastError();
        if (m_startDownloadError == 0) m_startDownloadError = ERROR_PATH_NOT_FOUND;
        return false;
    }
    m_localPath = FormatW(L"%s\\%s", dir.c_str(), kPackageName);
    const size_t dot = m_localPath.rfind(L'.');
    const std::wstring stem = dot == std::wstring::npos ? m_localPath : m_localPath.substr(0, dot);
    m_bookkeepingName = FormatW(L"%s_%s%s", stem.c_str(), m_version.c_str(), ext.c_str());
    m_downloadActive = 1;
    ::StartDownload(m_md5.c_str(), m_thirdCdnHost.c_str(), m_url.c_str(),
                    SpareDnsTable::GetInstance().DownloadAddressList().c_str(), m_localPath.c_str(), m_size,
                    m_helperWindow, m_thirdCdnMinSpeed, m_requestBody);
    return true;
}

void UpdaterModule::RestartDownload() {
    ::StartDownload(m_md5.c_str(), m_thirdCdnHost.c_str(), m_url.c_str(),
                    SpareDnsTable::GetInstance().DownloadAddressList().c_str(), m_localPath.c_str(), m_size,
                    m_helperWindow, m_thirdCdnMinSpeed, m_requestBody);
}

void UpdaterModule::HandleProgress() {
    if (m_downloadActive == 0) return;
    const ProtoValue progress = std::move(m_progress);
    // Emptied before the listener runs: a slot may delete the module.
    m_progress.clear();
    if (!progress.hasKey(L"process")) return;
    const ProtoValue& process = progress[L"process"];
    m_listener->OnProgress(process[L"total"].integer(), process[L"complete"].integer(),
                           static_cast<int>(process[L"speed"].integer()), 0);
}

void UpdaterModule::HandleDownloadDone(int type, int code) {
    if (m_downloadActive == 0) return;
    StopDownload(m_url.c_str(), m_localPath.c_str());
    m_downloadActive = 0;
    if (type == 0) {
        EnableDebugPrivilege();
        KillProcessesByName(kPackageName);
        ReportResult(0, code, nullptr);
        return;
    }
    if (GetFileSizeByPath(m_bookkeepingName) <= 0) DeleteFileWithRetry(m_bookkeepingName, 0);
    if (type == static_cast<int>(HttpResultType::System) && code == static_cast<int>(ERROR_ACCESS_DENIED) &&
        SubstrFromLast(m_bookkeepingName, L".") == kFirstAttempt) {
        if (!StartDownload(m_downloadDir, kRetryAttempt)) {
            ReportResult(static_cast<int>(HttpResultType::System), static_cast<int>(m_startDownloadError),
                         kInstallFailed);
        }
        return;
    }
    ReportResult(type, code, kInstallFailed);
}

void UpdaterModule::ReportResult(int type, int code, const wchar_t* text) {
    m_listener->OnDownloadResult(type, code, text ? std::wstring(text) : std::wstring());
}
