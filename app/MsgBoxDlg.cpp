#include "app/MsgBoxDlg.h"

using SkinUI::CControlUI;
using SkinUI::CUIString;

CMsgBoxDlg::CMsgBoxDlg(std::wstring text, std::wstring title, std::wstring codeLine)
    : m_text(std::move(text)), m_title(std::move(title)), m_codeLine(std::move(codeLine)) {}

void CMsgBoxDlg::OnWindowReady() {
    // Departs from the original behaviour, which gave the box no icon: the desktop shows a
    // box without an owner (the second instance's) as a window of its own.
    SetWindowIcon();
    m_btnClose = m_pm.ControlByName(L"btn_close");
    m_btnOk = m_pm.ControlByName(L"btn_ok");
    m_btnCancel = m_pm.ControlByName(L"btn_cancel");
    m_lbText = m_pm.ControlByName(L"lb_text");
    m_lbTitle = m_pm.ControlByName(L"lb_title");
    m_hltBtn0 = m_pm.ControlByName(L"hlt_btn_0");
    m_lbCode = m_pm.ControlByName(L"lb_code");
    if (m_lbText) m_lbText->SetCaption(CUIString(m_text));
    if (m_lbTitle) m_lbTitle->SetCaption(CUIString(m_title));
    if (m_lbCode) m_lbCode->SetCaption(CUIString(m_codeLine));
}

void CMsgBoxDlg::SetButtonTexts(const std::wstring& okCaption, const std::wstring& cancelCaption) {
    if (m_btnOk && !okCaption.empty()) m_btnOk->SetCaption(CUIString(okCaption));
    if (m_btnCancel && !cancelCaption.empty()) m_btnCancel->SetCaption(CUIString(cancelCaption));
}

void CMsgBoxDlg::ShowControl(const wchar_t* name, bool show) {
    if (CControlUI* control = m_pm.ControlByName(name)) control->Show(show);
}

void CMsgBoxDlg::OnNotify(SkinUI::UINotifyMsg& msg) {
    if (msg.type == L"click" && msg.sender != nullptr) {
        if (msg.sender == m_btnCancel || msg.sender == m_btnClose) {
            PostClose(kResultCancel);
        } else if (msg.sender == m_btnOk) {
            PostClose(kResultOk);
        }
    }
    WindowImplBase::OnNotify(msg);
}

bool CMsgBoxDlg::OnDefaultKey(WPARAM) {
    return false;
}

void CMsgBoxDlg::OnLastMessage(HWND hwnd) {
    WindowImplBase::OnLastMessage(hwnd);
    delete this;
}
