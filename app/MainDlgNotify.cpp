// The main window's answers to the user: the close button with its quit box, the install
// button, the custom options that fold out below the agreement row, the folder picker, the
// agreement link and the directory field with its disk-space line.
#include "app/ClientFiles.h"
#include "app/InstallDir.h"
#include "app/MainApp.h"
#include "app/MainDlg.h"
#include "app/MsgBoxDlg.h"
#include "commonlib/logger/Log.h"
#include "commonlib/util/FolderPicker.h"
#include "commonlib/util/RunAtStartup.h"
#include "commonlib/util/StringFormat.h"
#include "platform/process/ShellOpen.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowPos.h"
#include "ui/basic/LabelUI.h"
#include "ui/basic/OptionUI.h"
#include "ui/basic/ProgressUI.h"
#include "ui/core/TabLayoutUI.h"

using SkinUI::CUIString;

namespace {

constexpr int kGameIdBandHeight = 36;
constexpr int kProgressPage = 1;
constexpr DWORD kNormalTipColor = 0xFFABAEB4;
constexpr DWORD kErrorTipColor = 0xFFFF0000;
constexpr wchar_t kFoldOutOpenImage[] = L"file='icon_up.png' dest='0,0,15,15'";
constexpr wchar_t kFoldOutClosedImage[] = L"file='icon_down.png' dest='0,0,15,15'";
constexpr wchar_t kAgreementTip[] = L"请点击阅读 软件许可协议 并勾选同意。";

}  // namespace

void CMainDlg::ChangeHeightBy(int delta) {
    if (m_beingCreated) {
        // The window has no size yet: the skin's, which it gets once it is made, changes instead.
        const SIZE size = m_pm.GetInitialSize();
        m_pm.ApplyWindowAttribute(L"size", FormatW(L"%d,%d", size.cx, size.cy + delta));
        return;
    }
    RECT rect{};
    GetWindowRect(m_hwnd, &rect);
    SetWindowPos(m_hwnd, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top + delta,
                 SWP_FRAMECHANGED);
    ShowWindow(m_hwnd, SW_SHOW);
}

void CMainDlg::OnNotify(SkinUI::UINotifyMsg& msg) {
    if (msg.sender == nullptr) {
        WindowImplBase::OnNotify(msg);
        return;
    }
    if (msg.type == L"timer") {
        if (msg.sender == m_proInstallProgress) SetProgress();
    } else if (msg.type == L"click") {
        if (msg.sender == m_btnClose) {
            OnCloseButton();
            return;
        }
        if (msg.sender == m_btnInstall) {
            if (!OnInstallButton()) return;
        } else if (msg.sender == m_btnFree) {
            OnFreeButton();
        } else if (msg.sender == m_btnSelect) {
            OnSelectButton();
        } else if (msg.sender == m_btnAgreement) {
            ShellExecuteW(m_hwnd, L"open", MainApp::GetInstance().Servers().agreementUrl.c_str(), nullptr, nullptr,
                          SW_SHOWNORMAL);
        } else if (msg.sender == m_btnAgreement1) {
            ShellExecuteW(m_hwnd, L"open", L"", nullptr, nullptr, SW_SHOWNORMAL);
        }
    } else if (msg.type == L"textchanged" && msg.sender == m_editInput) {
        m_installDir = m_editInput->GetCaption().ToWString();
        UpdateDiskSpaceLabel();
    }
    // The window may be gone after a modal loop above: the framework's handler copes.
    WindowImplBase::OnNotify(msg);
}

void CMainDlg::OnCloseButton() {
    if (m_quitBox != nullptr) return;
    auto* box = new CMsgBoxDlg(L"是否退出安装？", L"退出安装", L"");
    m_quitBox = box;
    if (box->CreateHwnd(m_hwnd, L"退出安装", WS_POPUP, 0) == nullptr) {
        m_quitBox = nullptr;
        return;
    }
    box->CenterOnOwner();
    box->ShowHwnd(true, true);
    const UINT answer = box->RunModal();
    m_quitBox = nullptr;
    if (answer == CMsgBoxDlg::kResultOk && IsWindow(m_hwnd)) PostClose(1);
}

bool CMainDlg::OnInstallButton() {
    if (m_optAgree != nullptr && !m_optAgree->IsSelected()) {
        ShowTipBox(m_hwnd, kAgreementTip, L"", L"", L"", false);
        return false;
    }
    const std::wstring typed = m_installDir;
    m_installDir = ChooseInstallDrive();
    if (m_installDir.empty()) {
        m_installDir = GetDefaultFolderName();
        SetInstallDirCaption();
        if (m_aboutFree != nullptr && !m_aboutFree->IsShown() && m_btnFree != nullptr)
            m_pm.RaiseNotify(m_btnFree, L"click");
        return false;
    }
    // A directory that cannot take the install is replaced without asking; the log keeps both.
    if (!typed.empty() && m_installDir != typed)
        XJ_LOG_INFO(L"the directory \"%s\" cannot take the install; \"%s\" is used", typed.c_str(),
                    m_installDir.c_str());
    XJ_LOG_INFO(L"install directory:%s", m_installDir.c_str());
    if (m_downloadDir.empty()) m_downloadDir = m_installDir;

    int shrink = m_gameId != 0 ? kGameIdBandHeight : 0;
    if (m_aboutFree != nullptr && m_aboutFree->IsShown()) shrink += m_aboutFree->GetPresetHeight();
    if (m_hlayoutInstall != nullptr && m_hlayoutInstall->IsShown()) shrink += m_hlayoutInstall->GetPresetHeight();
    ChangeHeightBy(-shrink);
    if (auto* tabs = m_tbMain ? static_cast<SkinUI::CTabLayoutUI*>(m_tbMain->QueryFacet(L"TabLayout")) : nullptr)
        tabs->ShowPage(kProgressPage);

    if (m_optAuto != nullptr && m_optAuto->IsSelected())
        SetRunAtStartup(kLauncherRunValue, L"\"" + m_downloadDir + L"\\" + kLauncherName + L"\" --auto");
    StartUpdate();
    return true;
}

void CMainDlg::OnFreeButton() {
    if (m_aboutFree == nullptr) return;
    if (!m_aboutFree->IsShown()) {
        ChangeHeightBy(m_aboutFree->GetPresetHeight());
        m_aboutFree->Show(true);
        m_installDir = ChooseInstallDrive();
        if (m_installDir.empty()) m_installDir = GetDefaultFolderName();
        SetInstallDirCaption();
        m_btnFree->SetBackImage(CUIString(kFoldOutOpenImage));
    } else {
        ChangeHeightBy(-m_aboutFree->GetPresetHeight());
        m_aboutFree->Show(false);
        m_btnFree->SetBackImage(CUIString(kFoldOutClosedImage));
    }
}

void CMainDlg::OnSelectButton() {
    std::wstring folder = PickFolder(m_hwnd, m_installDir);
    // The picker runs its own message loop: the window may have closed meanwhile.
    if (!IsWindow(m_hwnd)) return;
    if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    if (folder.empty()) return;
    m_installDir = folder + (m_internalEdition ? L"\\Tarnvik内部版" : L"\\QuorvelTarnvik");
    SetInstallDirCaption();
}

// The field's "textchanged" brings the directory back and refreshes the space line.
void CMainDlg::SetInstallDirCaption() {
    if (m_editInput != nullptr) m_editInput->SetCaption(CUIString(m_installDir));
}

std::wstring CMainDlg::GetDefaultFolderName() const {
    return DefaultFolderName(m_internalEdition);
}

std::wstring CMainDlg::ChooseInstallDrive() const {
    return ::ChooseInstallDrive(m_installDir, m_internalEdition);
}

void CMainDlg::UpdateDiskSpaceLabel() {
    auto* label = m_lbTip ? static_cast<SkinUI::CLabelUI*>(m_lbTip->QueryFacet(L"Label")) : nullptr;
    if (label == nullptr) return;
    const InstallDirCheck check = CheckInstallDir(m_installDir);
    label->SetCaption(CUIString(DiskSpaceText(check)));
    label->SetTextColor(check.problem == InstallDirProblem::None ? kNormalTipColor : kErrorTipColor);
    label->Repaint();
}
