// Tooltips: the "tooltip" text of the control under a resting mouse, shown in a small pop-up
// window owned by the paint window. A CUITooltip watches one paint manager's window messages
// (as a message filter, never handling them) and opens the tip when the manager reports a
// hover over a control with a tooltip text; moving to another control, leaving the window,
// pressing a button or key, turning the wheel, losing the focus or the window being disabled
// (a modal box over it) closes it.
//
// UI thread only. The tooltip registers itself with the manager on construction and removes
// itself and destroys its pop-up on destruction, so it must not outlive the manager; whoever
// binds the manager to a window (the window base) owns one per manager. While open it holds
// the text and the box where it is shown (client co-ordinates of the paint window, below and
// right of the mouse, inside the window's client size where it fits). The pop-up never takes
// the activation or the focus. A pop-up that cannot be made leaves the tip's state as it is.
#pragma once

#include "ui/core/ControlUI.h"
#include "ui/core/UIEvents.h"

namespace SkinUI {

class CUIPaintManager;

class CUITooltip : public IMessageFilterUI {
public:
    static constexpr int kPadding = 4;
    // How far below the mouse the box starts, clear of the cursor.
    static constexpr int kCursorGap = 20;
    static constexpr DWORD kBackColor = 0xFFFFFFE1;
    static constexpr DWORD kFrameColor = 0xFF767676;

    explicit CUITooltip(CUIPaintManager* manager);
    ~CUITooltip();
    CUITooltip(const CUITooltip&) = delete;
    CUITooltip& operator=(const CUITooltip&) = delete;

    LRESULT FilterMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

    bool IsOpen() const { return m_control != nullptr; }
    // Only for comparing: the control may have been deleted while its tip is open.
    const CControlUI* GetControl() const { return m_control; }
    const CUIString& GetText() const { return m_text; }
    const RECT& GetBox() const { return m_box; }
    // The pop-up window; null before the first tip.
    HWND GetPopup() const { return m_popup; }

    // Opens the tip of `control` at `mouse`; closes it when the control has no tooltip text.
    void Open(CControlUI* control, POINT mouse);
    void Close();

private:
    static LRESULT PopupProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void ShowPopup();
    void PaintPopup();

    CUIPaintManager* m_manager;
    HWND m_popup = nullptr;
    CControlUI* m_control = nullptr;
    CUIString m_text;
    RECT m_box{};
    POINT m_mouse{};
};

}  // namespace SkinUI
