#include "ui/core/HorizontalLayoutUI.h"

#include <algorithm>
#include <vector>

#include "ui/core/AttributeText.h"
#include "ui/core/PaintManager.h"

namespace SkinUI {

namespace {

int Clamp(int value, int low, int high) {
    return std::max(low, std::min(value, high));
}

bool Contains(const RECT& rect, POINT pt) {
    return pt.x >= rect.left && pt.x < rect.right && pt.y >= rect.top && pt.y < rect.bottom;
}

}  // namespace

const wchar_t* CHorizontalLayoutUI::GetClassTag() const {
    return L"HorizontalLayoutUI";
}

void* CHorizontalLayoutUI::QueryFacet(std::wstring_view name) {
    if (name == L"HorizontalLayout") return this;
    return CContainerUI::QueryFacet(name);
}

UINT CHorizontalLayoutUI::GetBehaviourFlags() const {
    return IsUsable() && m_splitterWidth != 0 ? kBehaviourWantsSetCursor : 0;
}

void CHorizontalLayoutUI::SetBounds(const RECT& bounds) {
    CControlUI::SetBounds(bounds);
    const RECT area = ClientArea();
    const int availableWidth = area.right - area.left;
    const int availableHeight = area.bottom - area.top;

    // First pass: what the sized children take, and how many share the rest.
    const int count = m_items.Count();
    std::vector<int> widths(count, 0);
    std::vector<std::pair<int, int>> limits;  // floor and ceiling of each child without a width
    long long taken = 0;
    int shown = 0;
    for (int i = 0; i < count; ++i) {
        CControlUI* child = GetChildAt(i);
        if (!child->IsShown() || child->IsFloating()) continue;
        const RECT& margin = child->GetOuterMargin();
        int width = child->GetPresetWidth();
        if (width == 0) {
            width = ClampGeometry(
                child->MeasureDesired(SIZE{availableWidth, availableHeight - margin.top - margin.bottom}).cx);
        }
        if (width == 0) {
            limits.emplace_back(child->GetWidthFloor(), child->GetWidthCeiling());
        } else {
            width = Clamp(width, child->GetWidthFloor(), child->GetWidthCeiling());
            taken += width;
        }
        widths[i] = width;
        taken += margin.left + margin.right;
        ++shown;
    }
    if (shown > 0) taken += static_cast<long long>(m_childGap) * (shown - 1);
    // A scrolling layout has no rest to share: the content decides its width.
    const int rest = m_hScrollEnabled ? 0 : static_cast<int>(std::max(0LL, availableWidth - taken));
    const std::vector<int> shares = ShareRest(rest, limits);

    // Second pass: place them.
    long long x = area.left - m_scrollOffset.cx;
    int neededHeight = 0;
    size_t adjustablesSeen = 0;
    bool first = true;
    for (int i = 0; i < count; ++i) {
        CControlUI* child = GetChildAt(i);
        if (!child->IsShown()) continue;
        if (child->IsFloating()) {
            PlaceFloatingChild(i);
            continue;
        }
        const RECT& margin = child->GetOuterMargin();
        int width = widths[i];
        if (width == 0) {
            width = shares[adjustablesSeen++];
        }
        int height = child->GetPresetHeight();
        if (height == 0) height = availableHeight - margin.top - margin.bottom;
        height = Clamp(height, child->GetHeightFloor(), child->GetHeightCeiling());
        if (!first) x += m_childGap;
        first = false;
        const long long top = static_cast<long long>(area.top) + margin.top - m_scrollOffset.cy;
        const RECT rect{ClampCoordinate(x + margin.left), ClampCoordinate(top),
                        ClampCoordinate(x + margin.left + width), ClampCoordinate(top + height)};
        child->SetBounds(rect);
        x += margin.left + width + margin.right;
        neededHeight = std::max<int>(neededHeight, height + margin.top + margin.bottom);
    }
    UpdateScrollBars(area, ClampCoordinate(x - (area.left - m_scrollOffset.cx)), neededHeight);
}

RECT CHorizontalLayoutUI::SplitterZone() const {
    RECT zone = m_bounds;
    if (m_splitterWidth > 0) {
        zone.left = std::max(zone.left, zone.right - m_splitterWidth);
    } else {
        zone.right = std::min(zone.right, zone.left - m_splitterWidth);
    }
    return zone;
}

void CHorizontalLayoutUI::HandleEvent(UIEventRecord& event) {
    if (m_splitterWidth != 0 && IsUsable()) {
        switch (event.type) {
            case UIEventType::ButtonDown:
                if (Contains(SplitterZone(), event.mouse)) {
                    m_dragging = true;
                    m_dragStart = event.mouse;
                    m_dragStartWidth = m_bounds.right - m_bounds.left;
                    m_dragWidth = m_dragStartWidth;
                    return;
                }
                break;
            case UIEventType::MouseMove:
                if (m_dragging) {
                    const int moved = event.mouse.x - m_dragStart.x;
                    const int width = m_dragStartWidth + (m_splitterWidth > 0 ? moved : -moved);
                    m_dragWidth = Clamp(width, GetWidthFloor(), GetWidthCeiling());
                    if (m_splitterImmediate) {
                        SetPresetWidth(m_dragWidth);
                    } else {
                        Repaint();
                    }
                    return;
                }
                break;
            case UIEventType::ButtonUp:
                if (m_dragging) {
                    m_dragging = false;
                    SetPresetWidth(m_dragWidth);
                    return;
                }
                break;
            case UIEventType::SetCursor:
                if (m_dragging || Contains(SplitterZone(), event.mouse)) {
                    if (m_manager != nullptr) m_manager->SetCursorShape(UICursor::SizeWE);
                    return;
                }
                break;
            default:
                break;
        }
    }
    CContainerUI::HandleEvent(event);
}

void CHorizontalLayoutUI::ApplyAttribute(std::wstring_view name, std::wstring_view value) {
    int number = 0;
    if (name == L"sepwidth") {
        if (ParseInt(value, &number)) m_splitterWidth = ClampGeometry(number);
    } else if (name == L"sepimm") {
        m_splitterImmediate = ParseBool(value);
    } else {
        CContainerUI::ApplyAttribute(name, value);
    }
}

}  // namespace SkinUI
