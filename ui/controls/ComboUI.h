// The drop-down selection control. Its face shows the selected item (or a default text) over
// a state image; its items are list rows that it holds as children but never lays out or
// paints itself. Clicking the face (or F4) opens a CComboWnd under it (or above it near the
// bottom of the screen), a pop-up window that shows the very same item controls in a scrolling
// column; choosing an item closes the pop-up and leaves the item selected.
//
// UI thread only. The combo owns its items as any container. While the pop-up is open the
// items are lent to the pop-up's layout and paint manager; the pop-up gives them back when it
// closes, an item that leaves the open combo is taken back from the pop-up first, and a combo
// that dies with the pop-up open takes them all back and destroys the pop-up, which never
// touches the combo again. "dropdown" and "itemselect" (wParam the new index, lParam the old
// one) are raised synchronously; their receivers may change the combo.
#pragma once

#include "ui/controls/ListInterfaces.h"
#include "ui/core/ContainerUI.h"

namespace SkinUI {

class CComboWnd;

class CComboUI : public CContainerUI, public IListOwnerUI {
public:
    // Bits of the button state.
    static constexpr UINT kStateFocused = 0x01;
    static constexpr UINT kStateDisabled = 0x04;
    static constexpr UINT kStateHot = 0x08;
    static constexpr UINT kStatePushed = 0x10;
    static constexpr UINT kStateCaptured = 0x40;

    CComboUI();
    ~CComboUI() override;

    const wchar_t* GetClassTag() const override;
    // "Combo", "IListOwner", then the container's facets.
    void* QueryFacet(std::wstring_view name) override;
    UINT GetBehaviourFlags() const override;
    // Opens the pop-up; true when it is open.
    bool Trigger() override;
    // The selected item's caption; empty with nothing selected.
    CUIString GetCaption() const override;
    // The items get empty rectangles: they are laid out only in the pop-up.
    void SetBounds(const RECT& bounds) override;
    void SetUsable(bool usable) override;
    // Hit tests never reach the items, whose rectangles belong to the pop-up while it is open.
    CControlUI* FindControl(FindProc proc, void* data, UINT flags) override;
    void HandleEvent(UIEventRecord& event) override;
    void ApplyAttribute(std::wstring_view name, std::wstring_view value) override;
    // The preset size; without a preset height, the default font's height plus 12.
    SIZE MeasureDesired(SIZE available) override;
    // The face only: back colour and image, state image, caption, frame.
    bool Render(HDC hdc, const RECT& paintRect) override;
    void RenderStateImage(HDC hdc) override;
    void RenderCaption(HDC hdc) override;

    // --- IContainerUI: items are numbered and the selection follows them ---
    bool MoveChildTo(CControlUI* control, int index) override;
    bool AppendChild(CControlUI* control) override;
    bool InsertChildAt(CControlUI* control, int index) override;
    bool RemoveChild(CControlUI* control) override;
    bool RemoveChildAt(int index) override;
    void RemoveAllChildren() override;

    // --- IListOwnerUI ---
    UIListStyle* GetListStyle() override { return &m_style; }
    int GetSelectedIndex() const override { return m_selected; }
    // Closes an open pop-up (posted), then selects the item at `index` (the last one for an
    // index past the end); false, with nothing selected, when it cannot be selected.
    bool SelectItem(int index, bool takeFocus = false) override;
    void HandleItemEvent(UIEventRecord& event) override;

    CUIString GetDropBoxAttributes() const { return m_dropBoxAttributes; }
    // Width (0: the combo's) and greatest height of the pop-up.
    SIZE GetDropBoxSize() const { return m_dropBoxSize; }
    const RECT& GetTextPadding() const { return m_textPadding; }
    const CUIString& GetDefaultText() const { return m_defaultText; }
    UINT GetButtonState() const { return m_buttonState; }
    // The open pop-up, or null.
    CComboWnd* GetDropDown() const { return m_popup; }

protected:
    // Sets or clears the focused and disabled bits from the control's own state.
    void UpdateStateBits();
    // The rectangle the caption is drawn in: the bounds less the text padding.
    RECT CaptionArea() const;
    // Draws the selected item's text into `area`, or the default text when nothing is selected
    // and `withDefaultText`.
    void DrawSelection(HDC hdc, const RECT& area, bool withDefaultText);

    UINT m_buttonState = 0;

private:
    friend class CComboWnd;
    void RenumberItems(int from, int to);

    CComboWnd* m_popup = nullptr;
    int m_selected = -1;
    RECT m_textPadding{};
    CUIString m_dropBoxAttributes;
    SIZE m_dropBoxSize{0, 150};
    CUIString m_defaultText;
    CUIString m_normalImage;
    CUIString m_hotImage;
    CUIString m_pushedImage;
    CUIString m_focusedImage;
    CUIString m_disabledImage;
    UIListStyle m_style;
};

}  // namespace SkinUI
