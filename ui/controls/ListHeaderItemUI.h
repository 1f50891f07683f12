// One column caption of a list header. It shows a caption and state images, raises
// "headerclick" when pressed, and, when dragable, lets the user resize its column by dragging a
// separator strip at its edge (the right edge for a positive "sepwidth", the left for a
// negative one); the list lays itself out again at each step of the drag.
//
// UI thread only. An item belongs to its header.
#pragma once

#include "platform/gdi/GdiTypes.h"
#include "ui/core/ControlUI.h"

namespace SkinUI {

class CListHeaderItemUI : public CControlUI {
public:
    // State bits.
    static constexpr UINT kStateFocused = 0x01;
    static constexpr UINT kStateHot = 0x08;
    static constexpr UINT kStatePushed = 0x10;
    static constexpr UINT kStateDragging = 0x40;
    // How far the grab zone reaches from the separator strip into the item.
    static constexpr int kGrabMargin = 4;
    static constexpr int kMinimumWidth = 16;

    CListHeaderItemUI();

    const wchar_t* GetClassTag() const override;
    void* QueryFacet(std::wstring_view name) override;
    UINT GetBehaviourFlags() const override;
    void SetUsable(bool usable) override;
    void HandleEvent(UIEventRecord& event) override;
    void ApplyAttribute(std::wstring_view name, std::wstring_view value) override;
    SIZE MeasureDesired(SIZE available) override;
    void RenderStateImage(HDC hdc) override;
    void RenderCaption(HDC hdc) override;

    UINT GetState() const { return m_state; }
    bool IsDragable() const { return m_dragable; }
    int GetSeparatorWidth() const { return m_separatorWidth; }
    // The separator strip, and the strip widened into the item where a press starts a drag.
    RECT SeparatorRect() const;
    RECT GrabZone() const;
    void SetTextInset(const RECT& padding);

private:
    // The header's parent (the list) lays everything out again.
    void RelayoutList();

    POINT m_lastMouse{};
    bool m_dragable = true;
    UINT m_state = 0;
    int m_separatorWidth = 4;
    DWORD m_textColor = 0;
    int m_font = -1;
    UINT m_textStyle = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    bool m_showHtml = false;
    RECT m_textPadding{2, 0, 2, 0};
    CUIString m_normalImage;
    CUIString m_hotImage;
    CUIString m_pushedImage;
    CUIString m_focusedImage;
    CUIString m_separatorImage;
    CUIString m_separatorModifier;
};

}  // namespace SkinUI
