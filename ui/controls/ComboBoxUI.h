// A combo with another face: instead of whole-face state images it draws one strip image
// ("arrowimage") of five arrow pictures side by side (normal, hot, pushed, focused, disabled)
// and paints only the one for the current state at the right edge; the selected item is drawn
// in the rest of the face. Without a selection the face stays empty (no default text).
// Everything else is the combo's.
//
// UI thread only; as CComboUI.
#pragma once

#include "ui/controls/ComboUI.h"

namespace SkinUI {

class CComboBoxUI : public CComboUI {
public:
    // How many pictures the arrow strip holds.
    static constexpr int kArrowParts = 5;

    const wchar_t* GetClassTag() const override;
    // Adds "arrowimage"; the rest is the combo's.
    void ApplyAttribute(std::wstring_view name, std::wstring_view value) override;
    // The arrow part for the state, or the combo's state images without an arrow image. An
    // arrow image that cannot be drawn is dropped for good.
    void RenderStateImage(HDC hdc) override;
    // The selected item, left of the arrow.
    void RenderCaption(HDC hdc) override;

private:
    CUIString m_arrowImage;
    int m_arrowWidth = 0;
};

}  // namespace SkinUI
