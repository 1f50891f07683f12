#include "app/MainApp.h"

#include "app/SpareDnsTable.h"
#include "app/Updater/Updater.h"
#include "commonlib/core/Singleton.h"
#include "commonlib/http/DNSThread.h"
#include "commonlib/http/HttpEngine.h"
#include "commonlib/http/HttpTrust.h"
#include "commonlib/logger/BigDataLog.h"
#include "commonlib/logger/ConsoleLogger.h"
#include "commonlib/logger/DownloadLog.h"
#include "commonlib/logger/FileLogger.h"
#include "commonlib/logger/Log.h"
#include "commonlib/logger/TraceLogger.h"
#include "commonlib/nettool/NetToolThread.h"
#include "commonlib/peer/DownloadModule.h"
#include "commonlib/peer/DownloadReports.h"
#include "commonlib/thread/MainThreadTask.h"
#include "commonlib/util/FileUtils.h"
#include "commonlib/util/StringFormat.h"
#include "commonlib/util/StringUtils.h"
#include "platform/display/Display.h"
#include "platform/profile/ProfileApi.h"
#include "platform/sync/Clock.h"
#include "platform/window/MessageApi.h"

namespace {

constexpr wchar_t kIniName[] = L"xjzurazarevuz.ini";
constexpr wchar_t kDebugSection[] = L"Debug";
constexpr DWORD kIniBuffer = 260;
constexpr UINT_PTR kEngineTimerId = 100;
constexpr UINT kEngineTimerMs = 500;
constexpr wchar_t kProductTag[] = L"vidi_zazeroroda";
constexpr wchar_t kVersionTag[] = L"1.0.2|vidi_zazeroroda";

std::wstring ReadDebugValue(const std::wstring& iniPath, const wchar_t* key, const std::wstring& defaultValue) {
    wchar_t buffer[kIniBuffer];
    GetPrivateProfileStringW(kDebugSection, key, defaultValue.c_str(), buffer, kIniBuffer, iniPath.c_str());
    return buffer;
}

}  // namespace

MainApp& MainApp::GetInstance() {
    static MainApp instance;
    return instance;
}

MainApp::MainApp() : m_programDir(GetExeDir()), m_servers(MakerServers::BuiltIn()) {
    m_downloadLogUrl = m_servers.downloadLogUrl;
}

std::wstring MainApp::IniPath() const {
    return m_programDir + L"\\" + kIniName;
}

std::wstring MainApp::LogFolder() const {
    return m_programDir + L"\\MiniLog";
}

std::wstring MainApp::LogFilePath() {
    if (m_logDateText.empty()) {
        SYSTEMTIME now{};
        GetLocalTime(&now);
        m_logDateText =
            FormatW(L"%d%02d%02d_%02d%02d%02d", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
    }
    const std::wstring folder = LogFolder();
    CreateDirByXj(folder);
    return FormatW(L"%s\\vidi_zazeroroda%s.xjelog", folder.c_str(), m_logDateText.c_str());
}

void MainApp::MakeLoggers() {
    CSingleton<FileLogger>::GetInstance();
    CSingleton<TraceLogger>::GetInstance();
    CSingleton<ConsoleLogger>::GetInstance();
}

bool MainApp::Init(CMainDlg* mainWindow, int windowGameId) {
    MakeLoggers();
    m_mainWindow = mainWindow;
    ReadSettings();
    StartServices();

    std::wstring versionTag = kVersionTag;
    std::wstring productTag = kProductTag;
    if (windowGameId != 0) {
        versionTag = FormatW(L"%s|GameId:%d", versionTag.c_str(), windowGameId);
        productTag = FormatW(L"%s|id:%d", productTag.c_str(), windowGameId);
    }
    InitDownloadLogging(m_downloadLogUrl.c_str(), versionTag.c_str(), productTag.c_str());

    const SpareDnsTable& table = SpareDnsTable::GetInstance();
    CSingleton<CNetToolThread>::GetInstance().AddNSLookUpTaskWithServers(
        WideToAnsi(table.TestHost()), WideToAnsi(table.ResolverList()), this, &OnSpareDNSResult);
    return true;
}

void MainApp::ReadSettings() {
    const std::wstring iniPath = IniPath();
    m_logSetting = WStringToInt(ReadDebugValue(iniPath, L"Log", L"1"));
    if (m_logSetting != 0) CSingleton<FileLogger>::GetInstance().Open(LogFilePath());

    m_servers = MakerServers::Load(iniPath);
    m_downloadLogUrl = m_servers.downloadLogUrl;
    if (!SetHttpExtraCaFile(m_servers.caFile)) {
        XJ_LOG_ERROR(L"[Servers] CaFile=%s cannot be read or holds no certificate: HTTPS trusts the system's CAs alone",
                     m_servers.caFile.c_str());
    }
    BigDataLog::GetInstance().SetUrl(ReadDebugValue(iniPath, L"BigServerUrl", m_servers.statisticsUrl));
}

void MainApp::StartServices() {
    if (!m_queueStarted) {
        m_queueStarted = true;
        m_displayStarted =
            platform::StartDisplay(m_hidden ? platform::DisplayKind::Headless : platform::DisplayKind::Auto);
        GetMainThreadQueueLock();
        CreateMainThreadWindow();
    }
    if (!m_enginesStarted) {
        m_enginesStarted = true;
        // Filled once per run: the start-up lookup's answer may change it later.
        SpareDnsTable::GetInstance().Fill(m_servers);
        // The commands' re-resolution and the network analyses' lookups ask the same
        // resolvers as the start-up lookup, never the built-in public ones.
        SetHttpDnsResolvers(WideToAnsi(m_servers.resolvers));
        CSingleton<CNetToolThread>::GetInstance().SetDefaultResolvers(WideToAnsi(m_servers.resolvers));
        InitHttpCommandMgr();
        StartDownloadModule();
        SetDownloadCallbacks(&UpdaterModule::OnDownloadProgress, &UpdaterModule::OnDownloadDone);
        m_engineTicks = 0;
        m_engineTimer = SetTimer(nullptr, kEngineTimerId, kEngineTimerMs, &EngineTimerProc);
    }
}

bool MainApp::Uninit() {
    m_mainWindow = nullptr;
    BigDataLog::GetInstance().ReleaseCommand();
    DownloadLog::GetInstance().Uninit();
    if (m_enginesStarted) {
        UninitHttpCommandMgr();
        StopDownloadModule();
        KillTimer(nullptr, m_engineTimer);
        m_engineTimer = 0;
        m_enginesStarted = false;
    }
    ShutdownMainThreadQueue();
    // The queue's window is gone: a later Init must make it again.
    m_queueStarted = false;
    if (m_displayStarted) platform::StopDisplay();
    m_displayStarted = false;
    return true;
}

void MainApp::OnEngineTimer() {
    CHttpMgr* download = GetDownloadHttpMgr();
    CHttpMgr* command = GetHttpCommandMgr();
    if (m_engineTicks % 2 == 0) {
        if (download) download->CheckTimeouts();
        if (command) command->CheckTimeouts();
    }
    if (download) download->StartDueRequests();
    if (command) command->StartDueRequests();
    ++m_engineTicks;
}

void EngineTimerProc(HWND, UINT, UINT_PTR, DWORD) {
    MainApp::GetInstance().OnEngineTimer();
}

void OnSpareDNSResult(int code, void* user, const std::string& domain, const std::string& addressList) {
    const unsigned id = static_cast<unsigned>(reinterpret_cast<uintptr_t>(user));
    const bool answered = code == 0 && !addressList.empty();
    if (answered) {
        XJ_LOG_INFO("dns_result_callback OnSpareDNSResult 解析成功 code:%d, domain:%s, ip_list:%s, id:0x%x", 0,
                    domain.c_str(), addressList.c_str(), id);
    } else {
        XJ_LOG_INFO("dns_result_callback OnSpareDNSResult 失败 code:%d, domain:%s ,id:0x%x", code, domain.c_str(), id);
    }
    if (!answered) return;
    SpareDnsTable& table = SpareDnsTable::GetInstance();
    if (table.ApplyLookupAnswer(Utf8ToWide(addressList)))
        XJ_LOG_INFO(L"解析ip列表为:%s", table.DownloadAddressList().c_str());
}
