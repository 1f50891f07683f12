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

// `part` (client co-ordinates) relative to the control, as an image's "dest" is.
inline RECT PartInControl(const CControlUI& control, const RECT& part) {
    const RECT& origin = control.GetBounds();
    return RECT{part.left - origin.left, part.top - origin.top, part.right - origin.left, part.bottom - origin.top};
}

// Draws `image` stretched over `part`, in client co-ordinates.
inline void DrawPartImage(CControlUI& control, HDC hdc, const CUIString& image, const RECT& part) {
    if (image.IsEmpty() || part.right <= part.left || part.bottom <= part.top) return;
    control.DrawSkinImageAt(hdc, image, PartInControl(control, part));
}

}  // namespace SkinUI
