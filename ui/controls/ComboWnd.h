// The drop-down window of a combo: a borderless, owned tool pop-up with a paint manager of its
// own, whose root is a vertical layout with a border and a vertical scroll bar that shows the
// combo's items. It opens under the combo, or above it when it would reach below the work area
// of the combo's monitor, as tall as its items (plus the border) up to the combo's drop-box
// height. It closes on Return, on Escape (which restores the selection it opened with), on a
// release of the left button over anything but its scroll bar, when it loses the focus to
// another window, and when the combo selects an item; the mouse wheel scrolls it 10 pixels a
// notch, and other keys move the combo's selection.
//
// UI thread only: the thread of the combo's window. The combo creates the object with new and
// it deletes itself after its window's last message; a combo that dies first abandons it, and
// from then on the pop-up never touches the combo. The items stay the combo's: the pop-up's
// layout only borrows them (it does not own its children), and they return to the combo's paint
// manager when the pop-up closes.
#pragma once

#include "ui/core/PaintManager.h"
#include "ui/window/WindowWnd.h"

namespace SkinUI {

class CComboUI;
class CControlUI;
class CVerticalLayoutUI;

class CComboWnd : public CWindowWnd {
public:
    // What the mouse wheel scrolls per notch.
    static constexpr int kWheelStep = 10;

    // Places, creates and shows the pop-up for `combo`. False when the window could not be
    // created; the object is then the caller's to delete unless its window got as far as its
    // last message (then it is gone, and the combo no longer points at it).
    bool Init(CComboUI* combo);
    // Scrolls the item at `index` into view; nothing while the combo has no selection.
    void EnsureItemVisible(int index);
    // Moves the layout's scroll position by `delta` pixels (clamped to its range).
    void ScrollBy(int delta);

    // For a combo that dies while the pop-up is open: the items go back to it, the pop-up
    // forgets it and destroys its window (the object goes with the window's last message,
    // which may come only once a message of the pop-up that is still running returns).
    void Abandon();

    // The combo's items changed while the pop-up is open: it shows them as the combo now
    // holds them. A removed item is back with the combo's paint manager before the combo
    // may free it.
    void ItemAdded(CControlUI* item, int index);
    void ItemRemoved(CControlUI* item);
    void ItemMoved(CControlUI* item, int index);

    CUIPaintManager& PaintManager() { return m_pm; }
    CVerticalLayoutUI* Layout() const { return m_layout; }

protected:
    LPCWSTR RegisteredClassName() const override { return L"ComboWnd"; }
    UINT ClassStyleBits() const override { return CS_DROPSHADOW; }
    LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnLastMessage(HWND hwnd) override;

private:
    void CreateLayout();
    // The items go back to the combo's paint manager and the combo as their parent; with
    // `relayout`, the combo lays them out again (as empty rectangles).
    void GiveItemsBack(bool relayout = true);
    LRESULT DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam);

    CUIPaintManager m_pm;
    CComboUI* m_combo = nullptr;
    // The root of m_pm, which owns it.
    CVerticalLayoutUI* m_layout = nullptr;
    int m_oldSelection = -1;
    bool m_closing = false;
};

}  // namespace SkinUI
