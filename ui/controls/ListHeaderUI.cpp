#include "ui/controls/ListHeaderUI.h"

#include <algorithm>

#include "ui/core/PaintManager.h"

namespace SkinUI {

namespace {

// Room above and below the default font in a header without a height of its own.
constexpr int kHeaderTextRoom = 6;

}  // namespace

const wchar_t* CListHeaderUI::GetClassTag() const {
    return L"ListHeaderUI";
}

void* CListHeaderUI::QueryFacet(std::wstring_view name) {
    if (name == L"ListHeader") return this;
    return CHorizontalLayoutUI::QueryFacet(name);
}

SIZE CListHeaderUI::MeasureDesired(SIZE available) {
    long long width = 0;
    int tallest = 0;
    for (int i = 0; i < m_items.Count(); ++i) {
        const SIZE desired = OwnChildAt(i)->MeasureDesired(available);
        width += desired.cx;
        tallest = std::max<int>(tallest, desired.cy);
    }
    SIZE size{ClampGeometry(width), GetPresetHeight()};
    if (size.cy == 0 && m_manager != nullptr)
        size.cy = std::max(tallest, m_manager->DefaultFontHeight() + kHeaderTextRoom);
    return size;
}

}  // namespace SkinUI
