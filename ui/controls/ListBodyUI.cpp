#include "ui/controls/ListBodyUI.h"

#include <algorithm>

#include "ui/basic/ScrollBarUI.h"
#include "ui/controls/ListHeaderUI.h"
#include "ui/controls/ListUI.h"

namespace SkinUI {

namespace {

int Clamp(long long value, int floor, int ceiling) {
    // The floor first, then the ceiling, as everywhere in layout.
    return static_cast<int>(std::min<long long>(std::max<long long>(value, floor), ceiling));
}

bool Shown(const CScrollBarUI* bar) {
    return bar != nullptr && bar->IsShown();
}

// Bars clamp the positions they are given, and layout may change their ranges: a few passes
// always settle, as a later pass only ever clamps what an earlier one left.
constexpr int kMaxLayoutPasses = 3;

}  // namespace

SIZE CListBodyUI::GetScrollOffset() const {
    return SIZE{m_hScrollBar != nullptr ? m_hScrollBar->GetOffset() : 0,
                m_vScrollBar != nullptr ? m_vScrollBar->GetOffset() : 0};
}

SIZE CListBodyUI::GetScrollExtent() const {
    return SIZE{m_hScrollBar != nullptr ? m_hScrollBar->GetExtent() : 0,
                m_vScrollBar != nullptr ? m_vScrollBar->GetExtent() : 0};
}

void CListBodyUI::SetBounds(const RECT& bounds) {
    CControlUI::SetBounds(bounds);
    for (int pass = 0; pass < kMaxLayoutPasses; ++pass) {
        const SIZE used = PlaceRows();
        const SIZE now = GetScrollOffset();
        if (now.cx == used.cx && now.cy == used.cy) break;
    }
}

SIZE CListBodyUI::PlaceRows() {
    RECT client{m_bounds.left + m_inset.left, m_bounds.top + m_inset.top, m_bounds.right - m_inset.right,
                m_bounds.bottom - m_inset.bottom};
    if (Shown(m_vScrollBar)) client.right -= m_vScrollBar->GetPresetWidth();
    if (Shown(m_hScrollBar)) client.bottom -= m_hScrollBar->GetPresetHeight();
    client.right = std::max(client.right, client.left);
    client.bottom = std::max(client.bottom, client.top);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    const int measureWidth =
        ClampGeometry(static_cast<long long>(width) + (Shown(m_hScrollBar) ? m_hScrollBar->GetExtent() : 0));

    // First pass: what the rows of fixed height take, and how many share the rest.
    const int count = m_items.Count();
    long long fixedHeight = 0;
    int shown = 0;
    int adjustable = 0;
    long long neededWidth = 0;
    for (int i = 0; i < count; ++i) {
        CControlUI* child = OwnChildAt(i);
        if (!child->IsShown() || child->IsFloating()) continue;
        ++shown;
        const SIZE desired = child->MeasureDesired(SIZE{measureWidth, height});
        const RECT& margin = child->GetOuterMargin();
        if (desired.cy == 0) {
            ++adjustable;
        } else {
            fixedHeight += Clamp(desired.cy, child->GetHeightFloor(), child->GetHeightCeiling());
        }
        fixedHeight += margin.top + margin.bottom;
        neededWidth = std::max<long long>(
            neededWidth, Clamp(std::max<LONG>(0, desired.cx), child->GetWidthFloor(), child->GetWidthCeiling()));
    }
    if (shown > 1) fixedHeight += static_cast<long long>(m_childGap) * (shown - 1);
    // Every row spans the header's columns.
    CListHeaderUI* header = m_owner != nullptr ? m_owner->GetHeaderControl() : nullptr;
    if (header != nullptr && header->ChildCount() > 0) {
        neededWidth = std::max<LONG>(0, header->MeasureDesired(SIZE{width, height}).cx);
    }
    const long long rest = std::max<long long>(0, height - fixedHeight);
    const int share = adjustable > 0 ? static_cast<int>(rest / adjustable) : 0;

    // Second pass: place them from the bars' positions.
    const SIZE used = GetScrollOffset();
    const long long x = client.left - (Shown(m_hScrollBar) ? used.cx : 0);
    long long y = client.top - (Shown(m_vScrollBar) ? used.cy : 0);
    long long remaining = height;
    long long neededHeight = 0;
    int adjustableSeen = 0;
    for (int i = 0; i < count; ++i) {
        CControlUI* child = OwnChildAt(i);
        if (!child->IsShown()) continue;
        if (child->IsFloating()) {
            PlaceFloatingChild(i);
            continue;
        }
        const RECT& margin = child->GetOuterMargin();
        remaining -= margin.top;
        const SIZE desired = child->MeasureDesired(SIZE{measureWidth, ClampGeometry(remaining)});
        int rowHeight = 0;
        if (desired.cy == 0) {
            // Departs from the original behaviour (the rest as it runs, less margins): the shares add up exactly.
            // The last stretching row takes exactly what the others left of the rest.
            const long long own =
                ++adjustableSeen == adjustable ? rest - static_cast<long long>(share) * (adjustable - 1) : share;
            rowHeight = Clamp(own, child->GetHeightFloor(), child->GetHeightCeiling());
        } else {
            rowHeight = Clamp(desired.cy, child->GetHeightFloor(), child->GetHeightCeiling());
        }
        const int rowWidth = Clamp(std::max<long long>(neededWidth, measureWidth - margin.left - margin.right),
                                   child->GetWidthFloor(), child->GetWidthCeiling());
        const long long left = x + margin.left;
        const long long top = y + margin.top;
        child->SetBounds(RECT{ClampCoordinate(left), ClampCoordinate(top), ClampCoordinate(left + rowWidth),
                              ClampCoordinate(top + rowHeight + margin.bottom)});
        y += rowHeight + margin.top + margin.bottom + m_childGap;
        neededHeight += rowHeight + margin.top + margin.bottom;
        remaining -= rowHeight + m_childGap + margin.bottom;
    }
    if (shown > 1) neededHeight += static_cast<long long>(m_childGap) * (shown - 1);

    const int needed = ClampGeometry(neededWidth);
    if (m_hScrollBar != nullptr) {
        if (needed > width) {
            if (m_hScrollBar->IsShown()) {
                m_hScrollBar->SetExtent(needed - width);
            } else {
                m_hScrollBar->Show(true);
                m_hScrollBar->SetExtent(needed - width);
                m_hScrollBar->SetOffset(0);
                client.bottom -= m_hScrollBar->GetPresetHeight();
            }
        } else if (m_hScrollBar->IsShown()) {
            m_hScrollBar->Show(false);
            m_hScrollBar->SetExtent(0);
            m_hScrollBar->SetOffset(0);
            client.bottom += m_hScrollBar->GetPresetHeight();
        }
        client.bottom = std::max(client.bottom, client.top);
    }
    UpdateScrollBars(client, needed, ClampGeometry(neededHeight));
    return used;
}

void CListBodyUI::ScrollTo(SIZE offset) {
    int dx = 0;
    int dy = 0;
    if (Shown(m_vScrollBar)) {
        const int before = m_vScrollBar->GetOffset();
        m_vScrollBar->SetOffset(offset.cy);
        dy = m_vScrollBar->GetOffset() - before;
    }
    if (Shown(m_hScrollBar)) {
        const int before = m_hScrollBar->GetOffset();
        m_hScrollBar->SetOffset(offset.cx);
        dx = m_hScrollBar->GetOffset() - before;
    }
    if (dx == 0 && dy == 0) return;

    if (dx != 0 && m_owner != nullptr) {
        // The header's items and the columns follow the rows sideways.
        CListHeaderUI* header = m_owner->GetHeaderControl();
        UIListStyle* style = m_owner->GetListStyle();
        const int columns = std::min(header->ChildCount(), kMaxListColumns);
        style->columnCount = columns;
        const bool headerShown = header->IsShown();
        if (!headerShown) {
            for (int i = 0; i < header->ChildCount(); ++i)
                header->GetChildAt(i)->SetShownByParent(true);
        }
        for (int i = 0; i < columns; ++i) {
            CControlUI* item = header->GetChildAt(i);
            if (!item->IsShown() || item->IsFloating()) continue;
            RECT moved = item->GetBounds();
            moved.left -= dx;
            moved.right -= dx;
            item->SetBounds(moved);
            style->columns[i] = item->GetBounds();
        }
        if (!headerShown) {
            for (int i = 0; i < header->ChildCount(); ++i)
                header->GetChildAt(i)->SetShownByParent(false);
        }
    }
    ShiftChildren(dx, dy);
    Repaint();
}

void CListBodyUI::HandleEvent(UIEventRecord& event) {
    if (m_owner != nullptr) {
        m_owner->CListUI::HandleEvent(event);
    } else {
        CControlUI::HandleEvent(event);
    }
}

}  // namespace SkinUI
