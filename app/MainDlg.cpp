#include "app/MainDlg.h"

#include <cstdio>

#include "app/ClientFiles.h"
#include "app/InstallDir.h"
#include "app/MainApp.h"
#include "app/MsgBoxDlg.h"
#include "app/Updater/Updater.h"
#include "commonlib/http/HttpCommand.h"
#include "commonlib/logger/Log.h"
#include "commonlib/util/FileUtils.h"
#include "commonlib/util/Md5.h"
#include "commonlib/util/StringFormat.h"
#include "commonlib/util/StringUtils.h"
#include "platform/resource/StringTable.h"
#include "platform/strings/StringConv.h"
#include "platform/sync/Clock.h"
#include "platform/types/ErrorCodes.h"
#include "platform/window/Menu.h"
#include "platform/window/MessageApi.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowPos.h"
#include "ui/basic/LabelUI.h"
#include "ui/basic/OptionUI.h"
#include "ui/basic/ProgressUI.h"

using SkinUI::CControlUI;
using SkinUI::CUIString;

namespace {

constexpr UINT kControlTimerId = 1;
constexpr UINT kControlTimerMs = 20;
constexpr int kBubbleHalfWidth = 14;
constexpr int kFontNormal = 3;
constexpr int kFontInstalling = 4;
constexpr UINT kPatcherStopMs = 3000;
constexpr wchar_t kDamagedText[] = L"文件已损坏，请重新下载！";
constexpr wchar_t kConnectionText[] = L"连接超时，请检查网络是否正常";

std::wstring LoadResourceString(UINT id, const wchar_t* fallback) {
    wchar_t buffer[256] = {};
    return LoadStringW(nullptr, id, buffer, 256) > 0 ? std::wstring(buffer) : std::wstring(fallback);
}

template <typename T>
T* Facet(CControlUI* control, const wchar_t* facet) {
    return control != nullptr ? static_cast<T*>(control->QueryFacet(facet)) : nullptr;
}

}  // namespace

CMainDlg::CMainDlg() : m_job(std::make_shared<InstallJob>()) {
    m_gameId = WStringToInt(LoadResourceString(2, L"0"));
    if (m_gameId == -1) {
        m_internalEdition = true;
        m_gameId = 0;
    } else if (m_gameId == -2) {
        m_internalEdition = true;
        m_publicTest = true;
        m_gameId = 0;
    } else if (m_gameId < 0) {
        m_internalEdition = true;
        m_gameId = -m_gameId;
    }
    m_channelId = LoadResourceString(1, L"0");
}

CMainDlg::~CMainDlg() {
    m_job->host = nullptr;
    m_worker.Stop();
    CancelVersionRequest();
    DestroyUpdater();
}

bool CMainDlg::StopInstallWorker(DWORD timeoutMs) {
    return m_worker.Stop(timeoutMs);
}

void CMainDlg::OnWindowReady() {
    SetWindowIcon();
    EnableMenuItem(GetSystemMenu(m_hwnd, FALSE), SC_CLOSE, MF_GRAYED | MF_DISABLED);
    BindControls();
    m_beingCreated = true;
    StartSequence();
    m_beingCreated = false;
}

void CMainDlg::BindControls() {
    m_proInstallProgress = Facet<SkinUI::CProgressUI>(m_pm.ControlByName(L"pro_InstallProgress"), L"Progress");
    m_lbDownload = m_pm.ControlByName(L"lb_download");
    m_lbTip1 = Facet<SkinUI::CLabelUI>(m_pm.ControlByName(L"lb_tip1"), L"Label");
    if (m_lbTip1) m_lbTip1->Show(false);
    m_lbTip2 = m_pm.ControlByName(L"lb_tip2");
    if (m_lbTip2) m_lbTip2->Show(false);
    m_btnMin = m_pm.ControlByName(L"btn_min");
    m_btnClose = m_pm.ControlByName(L"btn_close");
    m_vltBk = m_pm.ControlByName(L"vlt_bk");
    m_btnInstall = m_pm.ControlByName(L"btn_install");
    m_tbMain = m_pm.ControlByName(L"tb_main");
    if (m_proInstallProgress) m_pm.StartControlTimer(m_proInstallProgress, kControlTimerId, kControlTimerMs);
    m_btnFree = m_pm.ControlByName(L"btn_free");
    m_editInput = m_pm.ControlByName(L"edit_input");
    m_btnSelect = m_pm.ControlByName(L"btn_select");
    m_btnAgreement = m_pm.ControlByName(L"btn_agreement");
    m_btnAgreement1 = m_pm.ControlByName(L"btn_agreement1");
    m_lbTip = m_pm.ControlByName(L"lb_tip");
    m_changeAd = m_pm.ControlByName(L"change_ad");
    m_optAgree = Facet<SkinUI::COptionUI>(m_pm.ControlByName(L"opt_agree"), L"Option");
    m_optAuto = Facet<SkinUI::COptionUI>(m_pm.ControlByName(L"opt_auto"), L"Option");
    if (m_optAuto) m_optAuto->Select(true);
    m_aboutFree = m_pm.ControlByName(L"about_free");
    m_hlayoutInstall = m_pm.ControlByName(L"hlayout_install");
}

void CMainDlg::ShowMainWindow() {
    if (!m_canShowWindow) {
        std::fputs("The installer has no display to show its window on: set DISPLAY, or run it hidden (-h).\n", stderr);
        XJ_LOG_ERROR("no display to show the window on");
        m_exitCode = InstallExitCode::NoWindow;
        PostClose(1);
        return;
    }
    ShowHwnd(true, true);
}

LRESULT CMainDlg::OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            switch (wParam) {
                case kInstallProgressTimer:
                    AdvanceInstallProgress();
                    break;
                case kRetryTimer:
                    OnRetryTimer();
                    break;
                case kMd5ProgressTimer:
                    SetProgress();
                    break;
                case kVersionCheckTimer:
                    OnVersionCheckTimeout();
                    break;
                default:
                    break;
            }
            break;
        case WM_CLOSE:
            if (m_quitBox != nullptr) {
                m_quitBox->PostClose(CMsgBoxDlg::kResultOk);
                return 0;
            }
            DestroyUpdater();
            m_patcher.Stop(kPatcherStopMs);
            break;
        case kInstallDamagedMessage:
            if (OnInstallDamaged() == 0) return 0;
            break;
        case kRedrawProgressMessage:
            SetProgress();
            break;
        default:
            break;
    }
    return WindowImplBase::OnWindowMessage(message, wParam, lParam);
}

void CMainDlg::OnLastMessage(HWND hwnd) {
    // The archive copy is the framework's; the program's own handle is closed at shut-down.
    ReleaseSkinArchive();
    WindowImplBase::OnLastMessage(hwnd);
    // The worker may still run: it must find nobody to report to, and stop waiting for a
    // progress display that no longer moves.
    m_job->host = nullptr;
    m_job->stopRequested = true;
    PostQuitMessage(static_cast<int>(m_exitCode));
}

void CMainDlg::OnRetryTimer() {
    if (MainApp::GetInstance().IsHidden() && ++m_hiddenRetryTicks > kHiddenRetryTicks) {
        XJ_LOG_ERROR("the update failed %d times; the hidden install gives up", m_hiddenRetryTicks);
        m_exitCode = m_lastFailure;
        PostClose(1);
    }
    if (m_updater == nullptr) return;
    KillTimer(m_hwnd, kRetryTimer);
    if (m_updater->UrlList().empty()) return;
    if (!CreateDirByXj(m_downloadDir)) {
        OnInstallFolderNotMade(GetLastError());
        return;
    }
    m_updater->FetchList();
}

void CMainDlg::OnInstallFolderNotMade(DWORD error) {
    XJ_LOG_ERROR(L"the install directory %s cannot be made, error %u", m_downloadDir.c_str(), error);
    if (!MainApp::GetInstance().IsHidden()) {
        HandleUpdateFailure(1, static_cast<int>(error), InstallExitCode::NoInstallDirectory);
        return;
    }
    // Departs from the original behaviour, which retried this like a lost connection: no
    // retry makes the folder, so a hidden run says so and ends.
    ReportInstallStats(false);
    std::fprintf(stderr, "The install directory %s cannot be made (error %u).\n",
                 platform::Utf8FromWide(m_downloadDir).c_str(), static_cast<unsigned>(error));
    m_exitCode = InstallExitCode::NoInstallDirectory;
    PostClose(1);
}

void CMainDlg::OnVersionCheckTimeout() {
    KillTimer(m_hwnd, kVersionCheckTimer);
    XJ_LOG_ERROR("get version overtime");
    CancelVersionRequest();
    ShowMainWindow();
}

void CMainDlg::AdvanceInstallProgress() {
    int value = m_job->progress + 3;
    if (m_job->finished) {
        value += 6;
    } else if (value > 337) {
        value -= 2;
    } else if (value > 225) {
        value -= 1;
    }
    m_job->progress = value;
    if (value > kInstallProgressEnd) {
        KillTimer(m_hwnd, kInstallProgressTimer);
    } else {
        SetProgress();
    }
}

LRESULT CMainDlg::OnInstallDamaged() {
    KillTimer(m_hwnd, kMd5ProgressTimer);
    ReportInstallStats(false);
    XJ_LOG_INFO(L"%s", kDamagedText);
    if (MainApp::GetInstance().IsHidden()) {
        m_exitCode = InstallExitCode::Md5Mismatch;
        PostClose(1);
        return 1;
    }
    const UINT answer = ShowTipBox(m_hwnd, kDamagedText, L"重新下载", L"退出安装", L"", true);
    if (answer == CMsgBoxDlg::kResultOk) {
        DeleteFileWithRetry(m_installerPath, 3);
        m_downloadCompleted = 0;
        m_installing = false;
        if (m_lbTip1) {
            m_lbTip1->SetFontIndex(kFontNormal);
            m_lbTip1->Repaint();
        }
        SetProgress();
        StartUpdate();
        return 0;
    }
    PostClose(1);
    return 1;
}

void CMainDlg::OnProgress(std::int64_t total, std::int64_t completed, int, int) {
    m_downloadTotal = total;
    m_downloadCompleted = completed;
    m_boxGate = true;
    CloseRetryBox();
    SetProgress();
}

void CMainDlg::OnDownloadResult(int type, int code, const std::wstring&) {
    if (type == 0 && code == 0) {
        CloseRetryBox();
        m_downloadTotal = 1;
        m_downloadCompleted = 1;
        SetProgress();
        CalcMd5();
        return;
    }
    HandleUpdateFailure(type, code, InstallExitCode::DownloadFailed);
}

void CMainDlg::OnListReady(int type, int) {
    if (type != 0 && type != 4) return;
    KillTimer(m_hwnd, kRetryTimer);
    if (m_updater == nullptr) return;
    DeleteFileWithRetry(m_installDir + L"\\qvinstaller.exe", 0);
    m_updater->RestartDownload();
}

void CMainDlg::OnListResult(int type, int code, const std::wstring& version, const std::wstring& md5) {
    m_md5 = md5;
    m_version = version;
    if (type == 0) {
        CloseRetryBox();
        return;
    }
    HandleUpdateFailure(
        type, code,
        IsDescriptorRefusal(type, code) ? InstallExitCode::DescriptorRefused : InstallExitCode::DescriptorFailed);
}

void CMainDlg::HandleUpdateFailure(int type, int code, InstallExitCode cause) {
    m_lastFailure = cause;
    ReportInstallStats(false);
    // Departs from the original behaviour (the text alone): the line carries the failure's result pair.
    XJ_LOG_INFO(L"%s et:%d ec:%d", kConnectionText, type, code);
    SetTimer(m_hwnd, kRetryTimer, kRetryTimerMs, nullptr);
    if (!m_boxGate || MainApp::GetInstance().IsHidden()) return;
    m_boxGate = false;
    CMsgBoxDlg* box = ShowRetryBox(m_hwnd, kConnectionText, L"重试", L"", FormatW(L"code:%d type:%d", code, type));
    UINT answer = CMsgBoxDlg::kResultCancel;
    if (box != nullptr) {
        m_retryBox = box;
        answer = box->RunModal();
        m_retryBox = nullptr;
    }
    m_boxGate = true;
    if (answer != CMsgBoxDlg::kResultOk) return;
    // Departs from the original behaviour (Retry always restarted): a run under way is never started twice.
    if (m_installing || (m_updater != nullptr && m_updater->IsDownloadActive())) {
        XJ_LOG_INFO("retry asked while the update runs: nothing more started");
        return;
    }
    StartUpdate();
}

void CMainDlg::CloseRetryBox() {
    // Departs from the original behaviour (only progress closed it): the box goes once its step succeeds.
    if (m_retryBox != nullptr) m_retryBox->PostClose(CMsgBoxDlg::kResultCancel);
}

void CMainDlg::OnInstallReport(InstallReport report) {
    switch (report) {
        case InstallReport::InstallEvent:
            SendInstallEvent();
            break;
        case InstallReport::Installed:
            ReportInstallStats(true);
            break;
        case InstallReport::PackageNotStarted:
            ReportInstallStats(false);
            m_exitCode = InstallExitCode::PackageNotStarted;
            break;
        case InstallReport::InstallFailed:
            ReportInstallStats(false);
            m_exitCode = InstallExitCode::InstallFailed;
            break;
    }
}

void CMainDlg::StartUpdate() {
    m_startTick = GetTickCount();
    Md5SharedFileSize() = 0;
    Md5SharedPercent() = 0;
    m_lastWidth = 0;
    KillTimer(m_hwnd, kRetryTimer);
    if ((m_gameId == 0 || m_internalEdition) && m_changeAd) m_changeAd->SetBackImage(CUIString(L"file='ad00.png'"));
    DestroyUpdater();
    UpdaterModule::Mode mode = UpdaterModule::Mode::Release;
    if (m_internalEdition) mode = m_publicTest ? UpdaterModule::Mode::PublicTest : UpdaterModule::Mode::InternalTest;
    m_updater = new UpdaterModule(m_downloadDir, mode, this, 0);
    m_updater->CreateHelperWindow();
    if (CreateDirByXj(m_downloadDir)) {
        m_updater->FetchList();
        return;
    }
    OnInstallFolderNotMade(GetLastError());
}

void CMainDlg::SetProgress() {
    if (m_proInstallProgress == nullptr) return;
    const RECT bar = m_proInstallProgress->GetBounds();
    const int barWidth = bar.right - bar.left;
    int width = 0;
    float ratio = 0.0f;
    if (m_downloadTotal > 0) {
        ratio = static_cast<float>(m_downloadCompleted) / static_cast<float>(m_downloadTotal);
        const float install = 0.9f * static_cast<float>(m_job->progress) / kInstallProgressEnd +
                              0.1f * static_cast<float>(Md5SharedPercent().load()) / 100.0f;
        width = static_cast<int>(0.9f * barWidth * ratio + install * 0.1f * barWidth);
    }
    // Departs from the original behaviour (an unknown size redrew every time): it is compared and hides the bubble.
    if (width == m_lastWidth) return;
    m_lastWidth = width;
    if (!m_installing && m_lbTip1) {
        RECT window{};
        GetWindowRect(m_hwnd, &window);
        const int height = window.bottom - window.top;
        const int percent = static_cast<int>(ratio * 100);
        if (width > kBubbleHalfWidth && percent > 0) {
            m_lbTip1->Show(true);
            m_lbTip1->SetBounds(RECT{width - kBubbleHalfWidth, height - 34, width + kBubbleHalfWidth, height - 11});
            CUIString text;
            text.FormatShort(L"%d%%", percent);
            m_lbTip1->SetCaption(text);
        } else {
            m_lbTip1->Show(false);
        }
    }
    CUIString image;
    image.FormatShort(L" file='progress_fore.png' source='0,10,470,16'  dest='0,0,%d,6' ", width);
    m_proInstallProgress->SetBackImage(image);
    m_proInstallProgress->SetProgress(width);
}

std::shared_ptr<InstallJob> CMainDlg::MakeJob() {
    auto job = std::make_shared<InstallJob>();
    MainApp& app = MainApp::GetInstance();
    job->window = m_hwnd;
    job->installerPath = m_installerPath;
    job->installDir = m_installDir;
    job->md5 = m_md5;
    job->channelId = m_channelId;
    job->gameId = m_gameId;
    job->internalEdition = m_internalEdition;
    job->cleanOldClient = m_launcherFound && SameDirectory(m_installDir, GetParentPath(m_launcherPath));
    job->hidden = app.IsHidden();
    job->runLauncher = app.RunFlag();
    if (m_optAuto) job->startupWithOS = m_optAuto->IsSelected();
    job->removeLogFolder = app.GetLogSetting() == 1;
    job->logFolder = app.LogFolder();
    job->host = this;
    return job;
}

bool CMainDlg::CalcMd5() {
    XJ_LOG_INFO("CalcMd5");
    // The old attempt's job may still be read by a worker that is ending; this one is new.
    m_job->host = nullptr;
    m_installerPath = m_downloadDir + L"\\qvinstaller.exe";
    const std::int64_t size = GetFileSizeByPath(m_installerPath);
    Md5SharedFileSize() = size;
    Md5SharedPercent() = 0;
    m_lastWidth = 0;
    m_installing = true;
    XJ_LOG_INFO(L"file:%s, size:%lld", m_installerPath.c_str(), static_cast<long long>(size));
    if (m_lbTip1) {
        m_lbTip1->SetFontIndex(kFontInstalling);
        m_lbTip1->Repaint();
        m_lbTip1->SetCaption(CUIString(L"安装中"));
    }
    m_job = MakeJob();
    if (!m_worker.Start(m_job)) XJ_LOG_ERROR("the install worker did not start");
    SetTimer(m_hwnd, kMd5ProgressTimer, kInstallTimerMs, nullptr);
    return true;
}

InstallStatsContext CMainDlg::StatsContext() const {
    InstallStatsContext context;
    context.gameId = m_gameId;
    context.channelId = m_channelId;
    context.descriptorVersion = m_version;
    context.installDir = m_installDir;
    context.startTick = m_startTick;
    return context;
}

void CMainDlg::SendInstallEvent() {
    ::SendInstallEvent(StatsContext());
}

void CMainDlg::ReportInstallStats(bool success) {
    ::ReportInstallStats(StatsContext(), success, m_channelCodes);
}

bool CMainDlg::ReadTgIdFile(std::string& out) {
    return ::ReadTgIdFile(m_installDir, out);
}

bool CMainDlg::ReadClientVersionIni(std::string& out) {
    return ::ReadClientVersionIni(m_installDir, out);
}

UINT CMainDlg::ShowTipBox(HWND parent, const std::wstring& text, const std::wstring& okCaption,
                          const std::wstring& cancelCaption, const std::wstring& codeLine, bool showSecondButton,
                          const std::wstring& title) {
    auto* box = new CMsgBoxDlg(text, title, codeLine);
    if (box->CreateHwnd(parent, title.c_str(), WS_POPUP, 0) == nullptr) return CMsgBoxDlg::kResultCancel;
    box->CenterOnOwner();
    box->ShowHwnd(true, true);
    box->SetButtonTexts(okCaption, cancelCaption);
    box->ShowControl(L"btn_close", true);
    box->ShowControl(L"hlt_btn_0", showSecondButton);
    return box->RunModal();
}

CMsgBoxDlg* CMainDlg::ShowRetryBox(HWND parent, const std::wstring& text, const std::wstring& okCaption,
                                   const std::wstring& cancelCaption, const std::wstring& codeLine,
                                   const std::wstring& title) {
    auto* box = new CMsgBoxDlg(text, title, codeLine);
    if (box->CreateHwnd(parent, title.c_str(), WS_POPUP, 0) == nullptr) return nullptr;
    box->CenterOnOwner();
    box->ShowHwnd(true, true);
    box->SetButtonTexts(okCaption, cancelCaption);
    box->ShowControl(L"btn_close", true);
    box->ShowControl(L"hlt_btn_0", false);
    return box;
}

void CMainDlg::DestroyUpdater() {
    if (m_updater == nullptr) return;
    m_updater->DestroyHelperWindow();
    delete m_updater;
    m_updater = nullptr;
}

void CMainDlg::CancelVersionRequest() {
    if (m_versionRequest == nullptr) return;
    m_versionRequest->Stop();
    delete m_versionRequest;
    m_versionRequest = nullptr;
}
