// A single-line text box drawn and edited by the framework itself (no native edit window):
// a caret, a selection made with the mouse or Shift with the arrow keys, Home and End,
// clipboard copy, cut and paste, a password mode that shows every character as the
// password character, a digits-only mode, a read-only mode and a maximum length for what the
// user types or pastes.
//
// UI thread only. Typed text arrives as character events (WM_CHAR), one character each, so
// Chinese text from an input method is taken like Latin text; control characters are not
// text. Every change of the text raises "textchanged" (also from SetCaption, but not while
// the skin is being built, before the control is attached under its parent); Return raises
// "return". Both are raised synchronously and their receivers may change the text again.
// The caret blinks through a control timer of the paint manager while the control has the
// focus. In password mode nothing is copied or cut, so the clipboard never holds a password.
#pragma once

#include "ui/basic/LabelUI.h"

namespace SkinUI {

class CEditUI : public CLabelUI {
public:
    static constexpr int kDefaultMaxChars = 255;
    static constexpr UINT_PTR kCaretTimerId = 20;
    static constexpr UINT kCaretBlinkMs = 500;

    CEditUI();

    const wchar_t* GetClassTag() const override;
    void* QueryFacet(std::wstring_view name) override;
    UINT GetBehaviourFlags() const override;
    // Replaces the whole text (not limited by the maximum length); the caret goes to its
    // end. Raises "textchanged" when the text changed.
    void SetCaption(const CUIString& text) override;
    void SetUsable(bool usable) override;
    // The text scrolls anew for the new width, keeping the caret in view.
    void SetBounds(const RECT& bounds) override;
    void HandleEvent(UIEventRecord& event) override;
    // Adds "maxchar", "password", "passwordchar", "numberonly", "readonly",
    // "selectedbkcolor", "normalimage", "hotimage", "focusedimage", "disabledimage".
    void ApplyAttribute(std::wstring_view name, std::wstring_view value) override;
    void RenderStateImage(HDC hdc) override;
    void RenderCaption(HDC hdc) override;

    int GetMaxChars() const { return m_maxChars; }
    // Not below 0; text already longer stays as it is.
    void SetMaxChars(int count);
    bool IsPasswordMode() const { return m_password; }
    void SetPasswordMode(bool password);
    bool IsNumberOnly() const { return m_numberOnly; }
    void SetNumberOnly(bool numberOnly) { m_numberOnly = numberOnly; }
    bool IsReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }

    int GetCaretIndex() const { return m_caret; }
    // The selection as [start, end), start <= end; equal when nothing is selected.
    void GetSelection(int* start, int* end) const;
    // The caret goes to `end`, the anchor to `start`; both clamped to the text.
    void SetSelection(int start, int end);
    void SelectAll();
    CUIString GetSelectedText() const;
    // Puts `text` in place of the selection as if typed: refused (false, nothing changed)
    // when read-only, when it breaks digits-only mode or when the result would exceed the
    // maximum length.
    bool ReplaceSelection(std::wstring_view text);
    // False when nothing was done (no selection, password mode, clipboard unavailable).
    bool Copy();
    bool Cut();
    bool Paste();

    // The caret's left edge in client co-ordinates.
    int CaretX() const;

private:
    std::wstring DisplayText() const;
    int TextWidth(int chars) const;
    int IndexAtX(int x) const;
    void MoveCaret(int index, bool extend);
    void KeepCaretVisible();
    void RestartBlink();
    void StopBlink();
    bool HandleKey(WORD key);
    void ChangeText(std::wstring text, int caret);

    int m_maxChars = kDefaultMaxChars;
    bool m_password = false;
    wchar_t m_passwordChar = L'*';
    bool m_numberOnly = false;
    bool m_readOnly = false;
    DWORD m_selectedBackColor = 0xFFA6C8FF;

    int m_caret = 0;
    int m_anchor = 0;
    int m_scrollX = 0;
    bool m_caretOn = false;
    bool m_selecting = false;
    bool m_shiftDown = false;
    bool m_controlDown = false;
    bool m_hot = false;

    CUIString m_normalImage;
    CUIString m_hotImage;
    CUIString m_focusedImage;
    CUIString m_disabledImage;
};

}  // namespace SkinUI
