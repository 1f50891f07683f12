// The rich edit control: a windowless editable text inside a skinned window, drawn and
// edited by the text services of "riched20.dll" through its text host (CTxtWinHost).
//
// It is a container, so it has an inset, scroll bars and children; the text services drive
// its scroll bars, and its children scroll with the text. Besides the framework's events it
// sees the raw messages of its paint window through the manager's message filters, and
// forwards those meant for the text (keys while focused, mouse inside the text area).
//
// UI thread only. The control owns its text host (through the host's reference count) and
// registers its message filter with its manager at initialisation; the destructor releases
// the host, stops the caret's blink timer, withdraws a drop target it registered and removes
// the filter. Without a host (before initialisation, or when the text services cannot be
// created) every text operation does nothing and answers empty: no text, no selection,
// Undo and Redo false, and only the hint text is drawn.
// Notifications (sender this control): "return" (wParam 0) when Enter is not wanted by the
// text; "richeditnotify" (wParam the EN_ code, lParam the text services' record) for the
// notifications the text services send.
#pragma once

#include "platform/textservices/TextServices.h"
#include "ui/core/ContainerUI.h"
#include "ui/core/UIEvents.h"

namespace SkinUI {

class CTxtWinHost;

class CRichEditUI : public CContainerUI, public IMessageFilterUI {
public:
    // The caret the control draws itself is this tall; it blinks every kCaretBlinkMs.
    static constexpr int kCaretHeight = 15;
    static constexpr UINT kCaretBlinkMs = 500;
    static constexpr int kDefaultMaxChar = 32767;
    // Readable on the window's usual background when the skin names no colour.
    static constexpr DWORD kDefaultHintColor = 0xFFA0A0A0;

    CRichEditUI();
    ~CRichEditUI() override;

    const wchar_t* GetClassTag() const override;
    void* QueryFacet(std::wstring_view name) override;
    UINT GetBehaviourFlags() const override;
    bool WantsTabKey() const override { return m_wantTab; }
    CUIString GetCaption() const override;
    void SetCaption(const CUIString& text) override;
    void SetBounds(const RECT& bounds) override;
    void HandleEvent(UIEventRecord& event) override;
    void ApplyAttribute(std::wstring_view name, std::wstring_view value) override;
    bool Render(HDC hdc, const RECT& paintRect) override;

    // The scroll position and range are the scroll bars' own.
    SIZE GetScrollOffset() const override;
    SIZE GetScrollExtent() const override;
    // Scrolls the text services and the children.
    void ScrollTo(SIZE offset) override;
    void ScrollLineLeft() override;
    void ScrollLineRight() override;
    void ScrollPageLeft() override;
    void ScrollPageRight() override;
    void ScrollToLeftEnd() override;
    void ScrollToRightEnd() override;

    virtual bool IsReadOnly() const { return m_readOnly; }
    virtual void SetReadOnly(bool readOnly);
    // Characters (GTL_* flags).
    virtual LONG GetTextLength(DWORD flags = GTL_DEFAULT);
    virtual void ReplaceSel(const wchar_t* text, bool canUndo);
    virtual CUIString GetSelectedText();
    // Perform the action; true only when the text services did.
    virtual bool Redo();
    virtual bool Undo();
    // Removes the whole text as one undoable step.
    virtual void Clear();
    virtual void Copy();
    virtual void Cut();
    virtual void Paste();
    virtual bool IsDragDropEnabled() const { return m_dragDropEnabled; }
    virtual void SetDragDropEnabled(bool enabled);
    // The one road into the text services; 1 (S_FALSE) without a host.
    virtual HRESULT SendTextMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    virtual bool HasVisibleWidth() const { return m_bounds.left != m_bounds.right; }
    virtual void OnTxNotify(DWORD code, void* data);

    // (0, -1) selects everything.
    LRESULT SetSelection(LONG start, LONG end);
    POINT PosFromChar(LONG index);
    LONG CharFromPos(POINT point);
    void SetHideSelection(bool hide);
    // The text services scrolled by themselves (to the caret, by keys): the vertical bar and
    // the children go where the text went.
    void FollowTextScroll(int verticalPosition);

    // From the text host.
    void PlaceCaret(int x, int y);
    void ShowSystemCaret(bool show);
    LRESULT FilterMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

    // What the text host reads when it is made, and what tests look at.
    DWORD GetStyle() const { return m_style; }
    bool IsRich() const { return m_rich; }
    int GetMaxChar() const { return m_maxChar; }
    DWORD GetTextColor() const { return m_textColor; }
    int GetFontIndex() const { return m_fontIndex; }
    bool WantsReturn() const { return m_wantReturn; }
    bool WantsCtrlReturn() const { return m_wantCtrlReturn; }
    bool HidesSelection() const { return m_hideSelection; }
    const CUIString& GetHintText() const { return m_hintText; }
    DWORD GetHintColor() const { return m_hintColor; }
    const RECT& GetHintPadding() const { return m_hintPadding; }
    const RECT& GetViewInset() const { return m_viewInset; }
    bool IsCaretOwnDrawn() const { return m_ownDrawCaret; }
    bool IsCaretHidden() const { return m_hideCaret; }
    bool IsCaretActive() const { return m_caretActive; }
    bool IsCaretPhaseOn() const { return m_caretPhaseOn; }
    CTxtWinHost* GetTextHost() const { return m_host; }

protected:
    void OnInitialize() override;

private:
    bool CreateHost(const CREATESTRUCTW& create);
    // The control less the inset and the shown bars; `verticalShown` says whether the
    // vertical bar took its width.
    RECT InnerRect(bool* verticalShown = nullptr) const;
    RECT TextRect(const RECT& inner) const;
    int NaturalHeight(int width);
    void MoveChildren(int dx, int dy);
    static void CaretBlinkTimerProc(HWND hwnd, UINT message, UINT_PTR id, DWORD time);
    void WithdrawDropTarget();

    CTxtWinHost* m_host = nullptr;
    bool m_vScrollForced = false;
    // Inside ScrollTo, which moves the children itself.
    bool m_scrollingText = false;
    bool m_wantTab = true;
    bool m_wantReturn = true;
    bool m_wantCtrlReturn = true;
    bool m_rich = false;
    bool m_readOnly = false;
    bool m_hideSelection = true;
    bool m_dragDropEnabled = false;
    // Registered with the paint window while drag and drop is on; our reference to it.
    IDropTarget* m_dropTarget = nullptr;
    DWORD m_textColor = 0;
    int m_fontIndex = -1;
    int m_maxChar = kDefaultMaxChar;
    DWORD m_style = ES_MULTILINE;
    RECT m_hintPadding{};
    DWORD m_hintColor = kDefaultHintColor;
    CUIString m_hintText;
    bool m_hideCaret = false;
    POINT m_caretPoint{-1, -1};
    RECT m_caretRect{};
    bool m_caretActive = false;
    bool m_caretPhaseOn = false;
    bool m_ownDrawCaret = false;
    RECT m_viewInset{};
};

}  // namespace SkinUI
