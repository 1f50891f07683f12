#include "ui/core/LinearLayoutUI.h"

#include <algorithm>
#include <vector>

#include "ui/core/AttributeText.h"
#include "ui/core/PaintManager.h"

namespace SkinUI {

namespace {

int Clamp(int value, int low, int high) {
    return std::max(low, std::min(value, high));
}

// A control's sizing along one axis.
struct Extent {
    int preset;
    int floor;
    int ceiling;
};

Extent ExtentOf(const CControlUI& control, bool vertical) {
    if (vertical) return {control.GetPresetHeight(), control.GetHeightFloor(), control.GetHeightCeiling()};
    return {control.GetPresetWidth(), control.GetWidthFloor(), control.GetWidthCeiling()};
}

// Near and far edge of a rectangle (or margin) along one axis.
struct Span {
    long long nearEdge;
    long long farEdge;
};

Span SpanOf(const RECT& rect, bool vertical) {
    return vertical ? Span{rect.top, rect.bottom} : Span{rect.left, rect.right};
}

int Length(const RECT& rect, bool vertical) {
    return vertical ? rect.bottom - rect.top : rect.right - rect.left;
}

}  // namespace

UINT CLinearLayoutUI::GetBehaviourFlags() const {
    return IsUsable() && m_splitterSize != 0 ? (kBehaviourWantsSetCursor | kBehaviourHandlesMouse) : 0;
}

void CLinearLayoutUI::SetBounds(const RECT& bounds) {
    CControlUI::SetBounds(bounds);
    const bool along = m_vertical;
    const bool across = !m_vertical;
    const RECT area = ClientArea();
    const int available = Length(area, along);
    const int crossAvailable = Length(area, across);

    // First pass: what the sized children take, and how many share the rest.
    const int count = m_items.Count();
    std::vector<int> sizes(count, 0);
    // A sized child clamped to 0 ("maxwidth" 0) still takes no share.
    std::vector<bool> sharing(count, false);
    std::vector<std::pair<int, int>> limits;  // floor and ceiling of each child without a size
    long long taken = 0;
    int shown = 0;
    for (int i = 0; i < count; ++i) {
        CControlUI* child = OwnChildAt(i);
        if (!child->IsShown() || child->IsFloating()) continue;
        const Extent extent = ExtentOf(*child, along);
        const Span margin = SpanOf(child->GetOuterMargin(), along);
        const Span crossMargin = SpanOf(child->GetOuterMargin(), across);
        int size = extent.preset;
        if (size == 0) {
            const int crossOffer = crossAvailable - static_cast<int>(crossMargin.nearEdge + crossMargin.farEdge);
            const SIZE desired =
                child->MeasureDesired(along ? SIZE{crossOffer, available} : SIZE{available, crossOffer});
            size = ClampGeometry(along ? desired.cy : desired.cx);
        }
        if (size == 0) {
            limits.emplace_back(extent.floor, extent.ceiling);
            sharing[i] = true;
        } else {
            size = Clamp(size, extent.floor, extent.ceiling);
            taken += size;
        }
        sizes[i] = size;
        taken += margin.nearEdge + margin.farEdge;
        ++shown;
    }
    if (shown > 0) taken += static_cast<long long>(m_childGap) * (shown - 1);
    // A scrolling layout has no rest to share: the content decides its size.
    const bool scrolls = along ? m_vScrollEnabled : m_hScrollEnabled;
    const int rest = scrolls ? 0 : static_cast<int>(std::max(0LL, available - taken));
    const std::vector<int> shares = ShareRest(rest, limits);

    // Second pass: place them.
    const long long offset = along ? m_scrollOffset.cy : m_scrollOffset.cx;
    const long long crossOffset = along ? m_scrollOffset.cx : m_scrollOffset.cy;
    const long long start = SpanOf(area, along).nearEdge - offset;
    long long pos = start;
    int neededCross = 0;
    size_t adjustablesSeen = 0;
    bool first = true;
    for (int i = 0; i < count; ++i) {
        CControlUI* child = OwnChildAt(i);
        if (!child->IsShown()) continue;
        if (child->IsFloating()) {
            PlaceFloatingChild(i);
            continue;
        }
        const Span margin = SpanOf(child->GetOuterMargin(), along);
        const Span crossMargin = SpanOf(child->GetOuterMargin(), across);
        const int size = sharing[i] ? shares[adjustablesSeen++] : sizes[i];
        const Extent crossExtent = ExtentOf(*child, across);
        int crossSize = crossExtent.preset;
        if (crossSize == 0) crossSize = crossAvailable - static_cast<int>(crossMargin.nearEdge + crossMargin.farEdge);
        crossSize = Clamp(crossSize, crossExtent.floor, crossExtent.ceiling);
        if (!first) pos += m_childGap;
        first = false;
        const long long nearEdge = pos + margin.nearEdge;
        const long long crossNear = SpanOf(area, across).nearEdge + crossMargin.nearEdge - crossOffset;
        const RECT rect = along ? RECT{ClampCoordinate(crossNear), ClampCoordinate(nearEdge),
                                       ClampCoordinate(crossNear + crossSize), ClampCoordinate(nearEdge + size)}
                                : RECT{ClampCoordinate(nearEdge), ClampCoordinate(crossNear),
                                       ClampCoordinate(nearEdge + size), ClampCoordinate(crossNear + crossSize)};
        child->SetBounds(rect);
        pos += margin.nearEdge + size + margin.farEdge;
        neededCross =
            std::max<int>(neededCross, crossSize + static_cast<int>(crossMargin.nearEdge + crossMargin.farEdge));
    }
    const int needed = ClampCoordinate(pos - start);
    UpdateScrollBars(area, along ? neededCross : needed, along ? needed : neededCross);
}

RECT CLinearLayoutUI::SplitterZone() const {
    RECT zone = m_bounds;
    LONG& nearEdge = m_vertical ? zone.top : zone.left;
    LONG& farEdge = m_vertical ? zone.bottom : zone.right;
    if (m_splitterSize > 0) {
        nearEdge = std::max(nearEdge, farEdge - m_splitterSize);
    } else {
        farEdge = std::min(farEdge, nearEdge - m_splitterSize);
    }
    return zone;
}

void CLinearLayoutUI::HandleEvent(UIEventRecord& event) {
    if (m_splitterSize != 0 && IsUsable()) {
        const auto setSize = [this](int size) {
            if (m_vertical) {
                SetPresetHeight(size);
            } else {
                SetPresetWidth(size);
            }
        };
        switch (event.type) {
            case UIEventType::ButtonDown:
                if (RectContains(SplitterZone(), event.mouse)) {
                    m_dragging = true;
                    m_dragStart = event.mouse;
                    m_dragStartSize = Length(m_bounds, m_vertical);
                    m_dragSize = m_dragStartSize;
                    return;
                }
                break;
            case UIEventType::MouseMove:
                if (m_dragging) {
                    const int moved = m_vertical ? event.mouse.y - m_dragStart.y : event.mouse.x - m_dragStart.x;
                    const Extent extent = ExtentOf(*this, m_vertical);
                    m_dragSize =
                        Clamp(m_dragStartSize + (m_splitterSize > 0 ? moved : -moved), extent.floor, extent.ceiling);
                    if (m_splitterImmediate) {
                        setSize(m_dragSize);
                    } else {
                        Repaint();
                    }
                    return;
                }
                break;
            case UIEventType::ButtonUp:
                if (m_dragging) {
                    m_dragging = false;
                    setSize(m_dragSize);
                    return;
                }
                break;
            case UIEventType::CaptureLost:
                // The drag is dropped: the splitter stays where it was last applied.
                if (m_dragging) {
                    m_dragging = false;
                    Repaint();
                    return;
                }
                break;
            case UIEventType::SetCursor:
                if (m_dragging || RectContains(SplitterZone(), event.mouse)) {
                    if (m_manager != nullptr)
                        m_manager->SetCursorShape(m_vertical ? UICursor::SizeNS : UICursor::SizeWE);
                    return;
                }
                break;
            default:
                break;
        }
    }
    CContainerUI::HandleEvent(event);
}

void CLinearLayoutUI::ApplyAttribute(std::wstring_view name, std::wstring_view value) {
    int number = 0;
    if (name == m_splitterName) {
        if (ParseInt(value, &number)) m_splitterSize = ClampGeometry(number);
    } else if (name == L"sepimm") {
        m_splitterImmediate = ParseBool(value);
    } else {
        CContainerUI::ApplyAttribute(name, value);
    }
}

}  // namespace SkinUI
