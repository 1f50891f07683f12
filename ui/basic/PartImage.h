// Drawing of a control's parts (a thumb, an arrow, the filled share of a bar): the images of a
// part for its mouse states, and an image drawn over a part of the control.
//
// UI thread only, like the controls that use them. Drawing fails quietly: an empty image or part,
// or an image the skin lacks, draws nothing.
#pragma once

#include "ui/core/ControlUI.h"

namespace SkinUI {

struct PartImages {
    CUIString normal;
    CUIString hot;
    CUIString pushed;

    // The image for the state; a state the skin gives no image for shows the normal one.
    const CUIString& For(bool isPushed, bool isHot) const {
        if (isPushed && !pushed.IsEmpty()) return pushed;
        if (isHot && !hot.IsEmpty()) return hot;
        return normal;
    }
};

// Draws `image` stretched over `part`, in client co-ordinates.
inline void DrawPartImage(CControlUI& control, HDC hdc, const CUIString& image, const RECT& part) {
    if (image.IsEmpty() || part.right <= part.left || part.bottom <= part.top) return;
    // The skin's "dest" is relative to the control.
    const RECT& origin = control.GetBounds();
    CUIString modifier;
    modifier.FormatShort(L"dest='%d,%d,%d,%d'", static_cast<int>(part.left - origin.left),
                         static_cast<int>(part.top - origin.top), static_cast<int>(part.right - origin.left),
                         static_cast<int>(part.bottom - origin.top));
    control.DrawSkinImage(hdc, image, modifier.Data());
}

}  // namespace SkinUI
