// The installer's message box: a title, a text, an optional grey code line, OK and an
// optional cancel button, and a close button.
//
// UI thread only. Made on the heap; it deletes itself after its window's last message, so
// a caller never touches it once a modal run has returned. Results: 1 for OK, 2 for
// cancel and close. Escape does nothing: a box is answered by a button.
#pragma once

#include <string>

#include "ui/window/WindowImplBase.h"

class CMsgBoxDlg : public SkinUI::WindowImplBase {
public:
    static constexpr UINT kResultOk = 1;
    static constexpr UINT kResultCancel = 2;

    CMsgBoxDlg(std::wstring text, std::wstring title, std::wstring codeLine);

    // A non-empty caption replaces the skin's "确定" or "取消".
    void SetButtonTexts(const std::wstring& okCaption, const std::wstring& cancelCaption);
    // Shows or hides a named control of the box ("btn_close", "hlt_btn_0").
    void ShowControl(const wchar_t* name, bool show);

protected:
    LPCWSTR RegisteredClassName() const override { return L"quorvelim"; }
    std::wstring SkinFileName() const override { return L"MessageBox.xml"; }
    void OnWindowReady() override;
    void OnNotify(SkinUI::UINotifyMsg& msg) override;
    bool OnDefaultKey(WPARAM key) override;
    void OnLastMessage(HWND hwnd) override;

private:
    ~CMsgBoxDlg() override = default;

    std::wstring m_text;
    std::wstring m_title;
    std::wstring m_codeLine;
    SkinUI::CControlUI* m_btnCancel = nullptr;
    SkinUI::CControlUI* m_btnOk = nullptr;
    SkinUI::CControlUI* m_btnClose = nullptr;
    SkinUI::CControlUI* m_lbTitle = nullptr;
    SkinUI::CControlUI* m_lbText = nullptr;
    SkinUI::CControlUI* m_hltBtn0 = nullptr;
    SkinUI::CControlUI* m_lbCode = nullptr;
};
