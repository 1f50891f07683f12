// A push button: a label with state images and text colours (normal, hot, pushed, focused,
// disabled) that raises "click" when the left button is released over it after being pressed
// there, or when Space or Return is pressed while it has the focus.
//
// UI thread only. "click" is raised synchronously through the paint manager; its receivers
// may delete the button, so nothing touches the button after raising it.
#pragma once

#include "ui/basic/LabelUI.h"

namespace SkinUI {

// Bits of a button's state.
inline constexpr UINT kButtonHot = 0x1;
inline constexpr UINT kButtonPushed = 0x2;
inline constexpr UINT kButtonCaptured = 0x4;

class CButtonUI : public CLabelUI {
public:
    const wchar_t* GetClassTag() const override;
    void* QueryFacet(std::wstring_view name) override;
    // A focus stop while usable; asks for set-cursor events to show the hand.
    UINT GetBehaviourFlags() const override;
    void HandleEvent(UIEventRecord& event) override;
    // Raises "click" when shown and usable.
    bool Trigger() override;
    void SetUsable(bool usable) override;
    // Adds "normalimage", "hotimage", "pushedimage", "focusedimage", "disabledimage",
    // "hottextcolor", "pushedtextcolor", "focusedtextcolor".
    void ApplyAttribute(std::wstring_view name, std::wstring_view value) override;
    void RenderStateImage(HDC hdc) override;

    UINT GetButtonState() const { return m_buttonState; }

protected:
    DWORD CurrentTextColor() const override;
    // The image for the state, empty when the skin gives none.
    virtual const CUIString& CurrentStateImage() const;
    bool Contains(POINT pt) const;

    UINT m_buttonState = 0;
    CUIString m_normalImage;
    CUIString m_hotImage;
    CUIString m_pushedImage;
    CUIString m_focusedImage;
    CUIString m_disabledImage;
    DWORD m_hotTextColor = 0;
    DWORD m_pushedTextColor = 0;
    DWORD m_focusedTextColor = 0;
};

}  // namespace SkinUI
