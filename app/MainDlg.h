// The installer's main window, and the object that drives an install: the start
// sequence, the update (descriptor, package download) through the updater module, whose
// listener it is, the progress bar, the install worker and the message boxes.
//
// UI thread only, except that the install worker reaches the window through its handle
// (timers 11 and 16, kInstallDamagedMessage, WM_CLOSE) and through tasks it posts to the
// UI thread (InstallWorker.h). The object lives on the program's stack for the whole run;
// its window ends with WM_CLOSE, which is never refused, and its last message posts
// WM_QUIT with the exit code (InstallExitCode.h).
//
// Window timers: 11 (100 ms) the install-phase progress, 12 (5 s) the retry of a failed
// update, 16 (100 ms) the progress redraw while the MD5 check runs, 19 (3 s) the limit of
// the installed client's version check.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/GameEventListener.h"
#include "app/InstallExitCode.h"
#include "app/InstallStats.h"
#include "app/InstallWorker.h"
#include "app/Updater/MakePatch.h"
#include "ui/window/WindowImplBase.h"

class CHttpCommand;
class CMsgBoxDlg;
class UpdaterModule;

namespace SkinUI {
class CLabelUI;
class COptionUI;
class CProgressUI;
}  // namespace SkinUI

inline constexpr UINT_PTR kRetryTimer = 12;
inline constexpr UINT kRetryTimerMs = 5000;
inline constexpr UINT_PTR kVersionCheckTimer = 19;
inline constexpr UINT kVersionCheckTimerMs = 3000;
inline constexpr UINT kRedrawProgressMessage = WM_USER + 101;
// A hidden run gives up on the retry tick that takes the count past this.
inline constexpr int kHiddenRetryTicks = 10;

class CMainDlg : public SkinUI::WindowImplBase, public IGameEventListener, public IInstallJobHost {
public:
    CMainDlg();
    ~CMainDlg() override;

    int GameId() const { return m_gameId; }
    bool IsInternalEdition() const { return m_internalEdition; }
    bool IsPublicTest() const { return m_publicTest; }
    const std::wstring& ChannelId() const { return m_channelId; }
    const std::wstring& InstallDir() const { return m_installDir; }
    const std::wstring& DownloadDir() const { return m_downloadDir; }
    const std::wstring& LauncherPath() const { return m_launcherPath; }
    InstallExitCode ExitCode() const { return m_exitCode; }

    // Without a display the window cannot be shown: where the run would show it, it says
    // so on standard error and ends with InstallExitCode::NoWindow instead.
    void SetCanShowWindow(bool canShow) { m_canShowWindow = canShow; }
    // Asks a running install worker to stop and waits up to `timeoutMs`; false when it is
    // still running (inside the package's run).
    bool StopInstallWorker(DWORD timeoutMs);

    // Listener slots, called by the updater's helper window.
    void OnProgress(std::int64_t total, std::int64_t completed, int speed, int reserved) override;
    void OnDownloadResult(int type, int code, const std::wstring& text) override;
    void OnListReady(int type, int ignored) override;
    void OnListResult(int type, int code, const std::wstring& version, const std::wstring& md5) override;
    void OnInstallReport(InstallReport report) override;

    void StartUpdate();
    void SetProgress();
    bool CalcMd5();
    void SendInstallEvent();
    void ReportInstallStats(bool success);

    // A modal box owned by `parent`; returns its answer (1 for OK).
    UINT ShowTipBox(HWND parent, const std::wstring& text, const std::wstring& okCaption,
                    const std::wstring& cancelCaption, const std::wstring& codeLine, bool showSecondButton,
                    const std::wstring& title = L"提示信息");
    // A shown box with its OK button only, not yet run; the caller runs it with RunModal.
    CMsgBoxDlg* ShowRetryBox(HWND parent, const std::wstring& text, const std::wstring& okCaption,
                             const std::wstring& cancelCaption, const std::wstring& codeLine,
                             const std::wstring& title = L"提示信息");

    virtual bool ReadTgIdFile(std::string& out);
    virtual bool ReadClientVersionIni(std::string& out);

    // The state the progress display works on; tests look at it.
    InstallJob& CurrentJob() { return *m_job; }
    int LastDrawnWidth() const { return m_lastWidth; }
    void SetDownloadCounts(std::int64_t total, std::int64_t completed) {
        m_downloadTotal = total;
        m_downloadCompleted = completed;
    }
    void SetInstalling(bool installing) { m_installing = installing; }
    UpdaterModule* Updater() const { return m_updater; }
    CMsgBoxDlg* OpenRetryBox() const { return m_retryBox; }
    CMsgBoxDlg* OpenQuitBox() const { return m_quitBox; }

protected:
    LPCWSTR RegisteredClassName() const override { return L"InstallPackages"; }
    std::wstring SkinFolder() const override { return L"no use"; }
    std::wstring SkinFileName() const override { return L"InstallPackages.xml"; }
    void OnWindowReady() override;
    LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnLastMessage(HWND hwnd) override;
    void OnNotify(SkinUI::UINotifyMsg& msg) override;

    // What the window does before the user acts (the hidden install, the installed-client
    // check); run once at the end of OnWindowReady.
    virtual void StartSequence();
    bool CheckTestClient();
    bool FindInstalledLauncher();
    void CheckVersionAndLaunch(const std::wstring& text, int type, int code);
    static void OnVersionListFetched(void* context, const std::string& text, int type, int code);
    // Shows the window, or ends the run when there is no display to show it on.
    void ShowMainWindow();

    // The install directory rules on this window's directory and edition (InstallDir.h).
    std::wstring GetDefaultFolderName() const;
    std::wstring ChooseInstallDrive() const;
    // Writes the space line, or what is wrong with the directory, into `lb_tip`.
    void UpdateDiskSpaceLabel();

private:
    void BindControls();
    void OnRetryTimer();
    void OnVersionCheckTimeout();
    void AdvanceInstallProgress();
    LRESULT OnInstallDamaged();
    void OnCloseButton();
    // The buttons' clicks; false when the click must not reach the framework's handler.
    bool OnInstallButton();
    void OnFreeButton();
    void OnSelectButton();
    void SetInstallDirCaption();
    // Grows (or with a negative `delta` shrinks) the window, keeping its top and width.
    void ChangeHeightBy(int delta);
    // A failed update: the failure record, the log line, the retry timer and, outside
    // hidden mode, one retry box at a time. `cause` is what a hidden run exits with if
    // no retry succeeds.
    void HandleUpdateFailure(int type, int code, InstallExitCode cause);
    // The install (and download) directory cannot be made: retried like a failed update
    // where a person can choose another; a hidden run ends with NoInstallDirectory.
    void OnInstallFolderNotMade(DWORD error);
    // Answers an open retry box with "no" once the step it was about has succeeded.
    void CloseRetryBox();
    void DestroyUpdater();
    void CancelVersionRequest();
    InstallStatsContext StatsContext() const;
    std::shared_ptr<InstallJob> MakeJob();

    SkinUI::CProgressUI* m_proInstallProgress = nullptr;
    SkinUI::CControlUI* m_lbDownload = nullptr;
    SkinUI::CLabelUI* m_lbTip1 = nullptr;
    SkinUI::CControlUI* m_lbTip2 = nullptr;
    SkinUI::CControlUI* m_btnMin = nullptr;
    SkinUI::CControlUI* m_btnClose = nullptr;
    SkinUI::CControlUI* m_vltBk = nullptr;
    SkinUI::CControlUI* m_aboutFree = nullptr;
    SkinUI::CControlUI* m_hlayoutInstall = nullptr;
    SkinUI::CControlUI* m_btnInstall = nullptr;
    SkinUI::CControlUI* m_tbMain = nullptr;
    SkinUI::CControlUI* m_btnFree = nullptr;
    SkinUI::CControlUI* m_editInput = nullptr;
    SkinUI::CControlUI* m_btnSelect = nullptr;
    SkinUI::CControlUI* m_btnAgreement = nullptr;
    SkinUI::CControlUI* m_btnAgreement1 = nullptr;
    SkinUI::CControlUI* m_lbTip = nullptr;
    SkinUI::CControlUI* m_changeAd = nullptr;
    SkinUI::COptionUI* m_optAgree = nullptr;
    SkinUI::COptionUI* m_optAuto = nullptr;

    std::wstring m_installDir;
    std::wstring m_launcherPath;
    std::wstring m_downloadDir;
    int m_gameId = 0;
    std::wstring m_installerPath;
    bool m_internalEdition = false;
    bool m_publicTest = false;
    std::wstring m_channelId = L"0";
    DWORD m_startTick = 0;
    CPatcher m_patcher;
    CMsgBoxDlg* m_quitBox = nullptr;
    CMsgBoxDlg* m_retryBox = nullptr;
    UpdaterModule* m_updater = nullptr;
    bool m_boxGate = true;
    bool m_launcherFound = false;
    std::wstring m_md5;
    std::wstring m_version;
    std::int64_t m_downloadTotal = 0;
    std::int64_t m_downloadCompleted = 0;
    bool m_installing = false;
    CHttpCommand* m_versionRequest = nullptr;
    ChannelCodeMap m_channelCodes;

    int m_lastWidth = 0;
    int m_hiddenRetryTicks = 0;
    bool m_canShowWindow = true;
    // Inside OnWindowReady, before the window has taken its skin's size.
    bool m_beingCreated = false;
    InstallExitCode m_exitCode = InstallExitCode::Success;
    InstallExitCode m_lastFailure = InstallExitCode::DescriptorFailed;
    // The install phase's shared state; a new one for every install attempt.
    std::shared_ptr<InstallJob> m_job;
    CInstallWorker m_worker;
};
