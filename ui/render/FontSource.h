// The fonts of a window's skin as the render engine sees them: a table by index with a
// default. The paint manager implements it (following its resource parents).
//
// Called on the UI thread while painting or measuring. The handles belong to the source and
// stay valid for the paint pass; the engine never deletes them.
#pragma once

#include "platform/types/WinTypes.h"

namespace SkinUI {

class IFontSourceUI {
public:
    virtual ~IFontSourceUI() = default;
    // The font of that index; the default font when the index is out of range (-1 included).
    // Null only when the source has no fonts at all; text then uses the DC's font.
    virtual HFONT FontHandleAt(int index) = 0;
};

}  // namespace SkinUI
