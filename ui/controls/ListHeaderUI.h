// The column header of a list: a horizontal layout of CListHeaderItemUI captions whose laid-out
// rectangles become the list's columns.
//
// UI thread only. A header belongs to its list and owns its items.
#pragma once

#include "ui/core/HorizontalLayoutUI.h"

namespace SkinUI {

class CListHeaderUI : public CHorizontalLayoutUI {
public:
    const wchar_t* GetClassTag() const override;
    void* QueryFacet(std::wstring_view name) override;
    // The width is the sum of every item's desired width, shown or not; the height the preset
    // one, else the tallest item's but at least the default font's height + 6 (0 detached).
    SIZE MeasureDesired(SIZE available) override;
};

}  // namespace SkinUI
