#include "ui/core/VerticalLayoutUI.h"

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

const wchar_t* CVerticalLayoutUI::GetClassTag() const {
    return L"VerticalLayoutUI";
}

void* CVerticalLayoutUI::QueryFacet(std::wstring_view name) {
    if (name == L"VerticalLayout") return this;
    return CContainerUI::QueryFacet(name);
}

UINT CVerticalLayoutUI::GetBehaviourFlags() const {
    return IsUsable() && m_splitterHeight != 0 ? kBehaviourWantsSetCursor : 0;
}

void CVerticalLayoutUI::SetBounds(const RECT& bounds) {
    CControlUI::SetBounds(bounds);
    const RECT area = ClientArea();
    const int availableWidth = area.right - area.left;
    const int availableHeight = area.bottom - area.top;

    // First pass: what the sized children take, and how many share the rest.
    const int count = m_items.Count();
    std::vector<int> heights(count, 0);
    std::vector<std::pair<int, int>> limits;  // floor and ceiling of each child without a height
    long long taken = 0;
    int shown = 0;
    for (int i = 0; i < count; ++i) {
        CControlUI* child = GetChildAt(i);
        if (!child->IsShown() || child->IsFloating()) continue;
        const RECT& margin = child->GetOuterMargin();
        int height = child->GetPresetHeight();
        if (height == 0) {
            height = ClampGeometry(
                child->MeasureDesired(SIZE{availableWidth - margin.left - margin.right, availableHeight}).cy);
        }
        if (height == 0) {
            limits.emplace_back(child->GetHeightFloor(), child->GetHeightCeiling());
        } else {
            height = Clamp(height, child->GetHeightFloor(), child->GetHeightCeiling());
            taken += height;
        }
        heights[i] = height;
        taken += margin.top + margin.bottom;
        ++shown;
    }
    if (shown > 0) taken += static_cast<long long>(m_childGap) * (shown - 1);
    // A scrolling layout has no rest to share: the content decides its height.
    const int rest = m_vScrollEnabled ? 0 : static_cast<int>(std::max(0LL, availableHeight - taken));
    const std::vector<int> shares = ShareRest(rest, limits);

    // Second pass: place them.
    long long y = area.top - m_scrollOffset.cy;
    int neededWidth = 0;
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
        int height = heights[i];
        if (height == 0) {
            height = shares[adjustablesSeen++];
        }
        int width = child->GetPresetWidth();
        if (width == 0) width = availableWidth - margin.left - margin.right;
        width = Clamp(width, child->GetWidthFloor(), child->GetWidthCeiling());
        if (!first) y += m_childGap;
        first = false;
        const long long left = static_cast<long long>(area.left) + margin.left - m_scrollOffset.cx;
        const RECT rect{ClampCoordinate(left), ClampCoordinate(y + margin.top), ClampCoordinate(left + width),
                        ClampCoordinate(y + margin.top + height)};
        child->SetBounds(rect);
        y += margin.top + height + margin.bottom;
        neededWidth = std::max<int>(neededWidth, width + margin.left + margin.right);
    }
    UpdateScrollBars(area, neededWidth, ClampCoordinate(y - (area.top - m_scrollOffset.cy)));
}

RECT CVerticalLayoutUI::SplitterZone() const {
    RECT zone = m_bounds;
    if (m_splitterHeight > 0) {
        zone.top = std::max(zone.top, zone.bottom - m_splitterHeight);
    } else {
        zone.bottom = std::min(zone.bottom, zone.top - m_splitterHeight);
    }
    return zone;
}

void CVerticalLayoutUI::HandleEvent(UIEventRecord& event) {
    if (m_splitterHeight != 0 && IsUsable()) {
        switch (event.type) {
            case UIEventType::ButtonDown:
                if (Contains(SplitterZone(), event.mouse)) {
                    m_dragging = true;
                    m_dragStart = event.mouse;
                    m_dragStartHeight = m_bounds.bottom - m_bounds.top;
                    m_dragHeight = m_dragStartHeight;
                    return;
                }
                break;
            case UIEventType::MouseMove:
                if (m_dragging) {
                    const int moved = event.mouse.y - m_dragStart.y;
                    const int height = m_dragStartHeight + (m_splitterHeight > 0 ? moved : -moved);
                    m_dragHeight = Clamp(height, GetHeightFloor(), GetHeightCeiling());
                    if (m_splitterImmediate) {
                        SetPresetHeight(m_dragHeight);
                    } else {
                        Repaint();
                    }
                    return;
                }
                break;
            case UIEventType::ButtonUp:
                if (m_dragging) {
                    m_dragging = false;
                    SetPresetHeight(m_dragHeight);
                    return;
                }
                break;
            case UIEventType::SetCursor:
                if (m_dragging || Contains(SplitterZone(), event.mouse)) {
                    if (m_manager != nullptr) m_manager->SetCursorShape(UICursor::SizeNS);
                    return;
                }
                break;
            default:
                break;
        }
    }
    CContainerUI::HandleEvent(event);
}

void CVerticalLayoutUI::ApplyAttribute(std::wstring_view name, std::wstring_view value) {
    int number = 0;
    if (name == L"sepheight") {
        if (ParseInt(value, &number)) m_splitterHeight = ClampGeometry(number);
    } else if (name == L"sepimm") {
        m_splitterImmediate = ParseBool(value);
    } else {
        CContainerUI::ApplyAttribute(name, value);
    }
}

}  // namespace SkinUI
