#include "ui/core/ContainerUI.h"

#include <algorithm>

#include "platform/window/WinMessages.h"
#include "ui/basic/ScrollBarUI.h"
#include "ui/core/AttributeText.h"
#include "ui/core/PaintManager.h"
#include "ui/render/RenderClip.h"

namespace SkinUI {

namespace {

int Clamp(int value, int low, int high) {
    return std::max(low, std::min(value, high));
}

bool ParseNonNegative(std::wstring_view text, int* out) {
    int value = 0;
    if (!ParseInt(text, &value) || value < 0) return false;
    *out = value;
    return true;
}

}  // namespace

CContainerUI::CContainerUI() = default;

CContainerUI::~CContainerUI() {
    // Children are told first, so a child's destructor sees a parent that still exists.
    // Children we do not own outlive us: they must not keep pointing at a dead parent.
    for (int i = 0; i < m_items.Count(); ++i) {
        auto* child = static_cast<CControlUI*>(m_items.ItemAt(i));
        if (m_ownsChildren) {
            delete child;
        } else {
            DropChild(child);
        }
    }
    m_items.Clear();
    delete m_vScrollBar;
    delete m_hScrollBar;
}

const wchar_t* CContainerUI::GetClassTag() const {
    return L"ContainerUI";
}

void* CContainerUI::QueryFacet(std::wstring_view name) {
    if (name == L"Container") return this;
    if (name == L"IContainer") return static_cast<IContainerUI*>(this);
    return CControlUI::QueryFacet(name);
}

CControlUI* CContainerUI::GetChildAt(int index) const {
    return static_cast<CControlUI*>(m_items.ItemAt(index));
}

int CContainerUI::IndexOfChild(CControlUI* control) const {
    return m_items.IndexOf(control);
}

bool CContainerUI::MoveChildTo(CControlUI* control, int index) {
    const int from = m_items.IndexOf(control);
    if (from < 0 || index < 0 || index >= m_items.Count()) return false;
    if (from == index) return true;
    m_items.RemoveAt(from);
    m_items.InsertAt(index, control);
    RequestRelayout();
    return true;
}

int CContainerUI::ChildCount() const {
    return m_items.Count();
}

bool CContainerUI::AppendChild(CControlUI* control) {
    return InsertChildAt(control, m_items.Count());
}

bool CContainerUI::InsertChildAt(CControlUI* control, int index) {
    if (control == nullptr || control == this) return false;
    // Only a child of ours, or one lent to a container that does not own its children, can be
    // listed here already; skipping the search for the rest keeps filling a long list linear.
    if ((control->m_parent == this || !m_ownsChildren) && m_items.IndexOf(control) >= 0) return false;
    // A control that is one of our ancestors would make the tree a cycle.
    for (const CControlUI* ancestor = m_parent; ancestor != nullptr; ancestor = ancestor->m_parent) {
        if (ancestor == control) return false;
    }
    if (!m_items.InsertAt(index, control)) return false;
    control->AttachManager(m_manager, this, true);
    control->SetShownByParent(IsShown());
    RequestRelayout();
    return true;
}

bool CContainerUI::RemoveChild(CControlUI* control) {
    return RemoveChildAt(m_items.IndexOf(control));
}

bool CContainerUI::RemoveChildAt(int index) {
    CControlUI* control = OwnChildAt(index);
    if (control == nullptr) return false;
    m_items.RemoveAt(index);
    DropChild(control);
    RequestRelayout();
    return true;
}

void CContainerUI::RemoveAllChildren() {
    while (m_items.Count() > 0) {
        CControlUI* control = OwnChildAt(m_items.Count() - 1);
        m_items.RemoveAt(m_items.Count() - 1);
        DropChild(control);
    }
    m_scrollOffset = SIZE{};
    RequestRelayout();
}

void CContainerUI::DropChild(CControlUI* control) {
    if (m_manager != nullptr) m_manager->ForgetSubtree(control);
    if (!m_ownsChildren) {
        // The child may have joined another container since; that link is not ours to cut.
        if (control->m_parent == this) control->m_parent = nullptr;
        return;
    }
    if (m_manager != nullptr && m_manager->IsDispatching()) {
        control->m_parent = nullptr;
        m_manager->QueueDelayedDelete(control);
    } else {
        delete control;
    }
}

void CContainerUI::SetContentInset(const RECT& inset) {
    m_inset = ClampGeometry(inset);
    RequestRelayout();
}

void CContainerUI::SetChildGap(int gap) {
    gap = std::max(0, ClampGeometry(gap));
    if (gap == m_childGap) return;
    m_childGap = gap;
    RequestRelayout();
}

int CContainerUI::NextSelectableIndex(int index, bool forward) const {
    const int count = ChildCount();
    if (count <= 0) return -1;
    index = Clamp(index, 0, count - 1);
    auto selectable = [this](int i) {
        CControlUI* child = GetChildAt(i);
        return child != nullptr && child->QueryFacet(L"ListItem") != nullptr && child->IsShown() && child->IsUsable();
    };
    if (forward) {
        for (int i = index; i < count; ++i) {
            if (selectable(i)) return i;
        }
        return -1;
    }
    for (int i = index; i >= 0; --i) {
        if (selectable(i)) return i;
    }
    for (int i = 0; i < count; ++i) {
        if (selectable(i)) return i;
    }
    return -1;
}

void CContainerUI::AttachManager(CUIPaintManager* manager, CControlUI* parent, bool initialise) {
    for (int i = 0; i < m_items.Count(); ++i)
        OwnChildAt(i)->AttachManager(manager, this, initialise);
    if (m_vScrollBar != nullptr) m_vScrollBar->AttachManager(manager, this, initialise);
    if (m_hScrollBar != nullptr) m_hScrollBar->AttachManager(manager, this, initialise);
    CControlUI::AttachManager(manager, parent, initialise);
}

CControlUI* CContainerUI::FindControl(FindProc proc, void* data, UINT flags) {
    if ((flags & kFindShown) != 0 && !IsShown()) return nullptr;
    if ((flags & kFindUsable) != 0 && !IsUsable()) return nullptr;
    const bool hitTest = (flags & kFindHitTest) != 0;
    if (hitTest && !RectContains(m_bounds, *static_cast<const POINT*>(data))) return nullptr;
    if (hitTest && !m_mouseChildren) return CControlUI::FindControl(proc, data, flags);

    if ((flags & kFindMeFirst) != 0) {
        if (CControlUI* me = CControlUI::FindControl(proc, data, flags)) return me;
    }
    // The bars lie over the children's area, so they are tested first.
    for (CScrollBarUI* bar : {m_vScrollBar, m_hScrollBar}) {
        if (bar == nullptr) continue;
        if (CControlUI* found = bar->FindControl(proc, data, flags)) return found;
    }
    const bool searchChildren = !hitTest || RectContains(ClientArea(), *static_cast<const POINT*>(data));
    if (searchChildren) {
        const int count = m_items.Count();
        for (int n = 0; n < count; ++n) {
            const int i = (flags & kFindTopFirst) != 0 ? count - 1 - n : n;
            if (CControlUI* found = OwnChildAt(i)->FindControl(proc, data, flags)) return found;
        }
    }
    if ((flags & kFindMeFirst) != 0) return nullptr;
    return CControlUI::FindControl(proc, data, flags);
}

void CContainerUI::Show(bool show) {
    if (m_visible == show) return;
    CControlUI::Show(show);
    for (int i = 0; i < m_items.Count(); ++i)
        OwnChildAt(i)->SetShownByParent(IsShown());
}

void CContainerUI::SetShownByParent(bool shown) {
    CControlUI::SetShownByParent(shown);
    for (int i = 0; i < m_items.Count(); ++i)
        OwnChildAt(i)->SetShownByParent(IsShown());
}

RECT CContainerUI::ClientArea() const {
    RECT area{m_bounds.left + m_inset.left, m_bounds.top + m_inset.top, m_bounds.right - m_inset.right,
              m_bounds.bottom - m_inset.bottom};
    // Only a bar that exists takes room.
    if (m_vScrollBar != nullptr && m_scrollExtent.cy > 0) area.right -= m_vScrollThickness;
    if (m_hScrollBar != nullptr && m_scrollExtent.cx > 0) area.bottom -= m_hScrollThickness;
    if (area.right < area.left) area.right = area.left;
    if (area.bottom < area.top) area.bottom = area.top;
    return area;
}

void CContainerUI::SetBounds(const RECT& bounds) {
    CControlUI::SetBounds(bounds);
    const RECT area = ClientArea();
    int neededWidth = 0;
    int neededHeight = 0;
    for (int i = 0; i < m_items.Count(); ++i) {
        CControlUI* child = OwnChildAt(i);
        if (!child->IsShown()) continue;
        if (child->IsFloating()) {
            PlaceFloatingChild(i);
            continue;
        }
        const RECT& margin = child->GetOuterMargin();
        const RECT rect{area.left + margin.left - m_scrollOffset.cx, area.top + margin.top - m_scrollOffset.cy,
                        area.right - margin.right - m_scrollOffset.cx, area.bottom - margin.bottom - m_scrollOffset.cy};
        child->SetBounds(rect);
        neededWidth = std::max<int>(neededWidth, rect.right - rect.left + margin.left + margin.right);
        neededHeight = std::max<int>(neededHeight, rect.bottom - rect.top + margin.top + margin.bottom);
    }
    UpdateScrollBars(area, neededWidth, neededHeight);
}

void CContainerUI::PlaceFloatingChild(int index) {
    CControlUI* child = OwnChildAt(index);
    if (child == nullptr || !child->IsFloating()) return;
    const RECT area = ClientArea();
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    double anchors[4];
    child->GetFloatAnchors(anchors);
    const RECT& pos = child->GetFloatPos();
    SIZE size{child->GetPresetWidth(), child->GetPresetHeight()};
    if (size.cx == 0 || size.cy == 0) {
        const SIZE desired = child->MeasureDesired(SIZE{width, height});
        if (size.cx == 0) size.cx = desired.cx;
        if (size.cy == 0) size.cy = desired.cy;
    }
    size.cx = ClampGeometry(size.cx);
    size.cy = ClampGeometry(size.cy);
    const long long left = area.left + static_cast<long long>(anchors[0] * width) + pos.left;
    const long long top = area.top + static_cast<long long>(anchors[1] * height) + pos.top;
    // Equal anchors keep the preset size; different ones stretch with the parent.
    const long long right =
        anchors[2] == anchors[0] ? left + size.cx : area.left + static_cast<long long>(anchors[2] * width) + pos.right;
    const long long bottom =
        anchors[3] == anchors[1] ? top + size.cy : area.top + static_cast<long long>(anchors[3] * height) + pos.bottom;
    const RECT rect{ClampCoordinate(left), ClampCoordinate(top), ClampCoordinate(right), ClampCoordinate(bottom)};
    child->m_placedByParent = true;
    child->SetBounds(rect);
    child->m_placedByParent = false;
}

void CContainerUI::AdoptFloatingPlace(CControlUI* child, const RECT& rect) {
    if (child == nullptr || child->m_parent != this) return;
    const RECT area = ClientArea();
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    double anchors[4];
    child->GetFloatAnchors(anchors);
    const auto atX = [&](double fraction) { return area.left + static_cast<long long>(fraction * width); };
    const auto atY = [&](double fraction) { return area.top + static_cast<long long>(fraction * height); };
    RECT& pos = child->m_floatPos;
    pos.left = ClampGeometry(rect.left - atX(anchors[0]));
    pos.top = ClampGeometry(rect.top - atY(anchors[1]));
    if (anchors[2] == anchors[0]) {
        child->m_presetSize.cx = ClampGeometry(rect.right - rect.left);
        pos.right = ClampGeometry(static_cast<long long>(pos.left) + child->m_presetSize.cx);
    } else {
        pos.right = ClampGeometry(rect.right - atX(anchors[2]));
    }
    if (anchors[3] == anchors[1]) {
        child->m_presetSize.cy = ClampGeometry(rect.bottom - rect.top);
        pos.bottom = ClampGeometry(static_cast<long long>(pos.top) + child->m_presetSize.cy);
    } else {
        pos.bottom = ClampGeometry(rect.bottom - atY(anchors[3]));
    }
}

void CContainerUI::HandleEvent(UIEventRecord& event) {
    if (!m_acceptsMouse && IsMouseEvent(event.type)) {
        if (m_parent != nullptr) m_parent->HandleEvent(event);
        return;
    }
    if (event.type == UIEventType::KeyDown && m_vScrollEnabled) {
        switch (event.key) {
            case VK_DOWN:
                ScrollLineDown();
                return;
            case VK_UP:
                ScrollLineUp();
                return;
            case VK_NEXT:
                ScrollPageDown();
                return;
            case VK_PRIOR:
                ScrollPageUp();
                return;
            case VK_HOME:
                ScrollToTop();
                return;
            case VK_END:
                ScrollToBottom();
                return;
            default:
                break;
        }
    }
    if (event.type == UIEventType::ScrollWheel && (m_vScrollEnabled || m_hScrollEnabled)) {
        const UIWheelTurn turn = WheelTurnOf(event);
        if (m_vScrollEnabled) {
            if (turn == UIWheelTurn::Away) ScrollLineUp();
            if (turn == UIWheelTurn::Toward) ScrollLineDown();
        } else {
            if (turn == UIWheelTurn::Away) ScrollLineLeft();
            if (turn == UIWheelTurn::Toward) ScrollLineRight();
        }
        return;
    }
    CControlUI::HandleEvent(event);
}

void CContainerUI::ApplyAttribute(std::wstring_view name, std::wstring_view value) {
    RECT rect{};
    int number = 0;
    if (name == L"inset") {
        if (ParseRect(value, &rect)) SetContentInset(rect);
    } else if (name == L"mousechild") {
        SetChildrenAcceptMouse(ParseBool(value));
    } else if (name == L"vscrollbar") {
        ConfigureScrollBars(ParseBool(value), m_hScrollEnabled);
    } else if (name == L"hscrollbar") {
        ConfigureScrollBars(m_vScrollEnabled, ParseBool(value));
    } else if (name == L"vscrollbarstyle") {
        m_vScrollStyle = CUIString(value);
        if (m_vScrollBar != nullptr) {
            m_vScrollBar->ApplyAttributeText(m_vScrollStyle.View());
            SetScrollBarThickness(m_hScrollThickness, m_vScrollBar->GetPresetWidth());
        }
        ConfigureScrollBars(true, m_hScrollEnabled);
    } else if (name == L"hscrollbarstyle") {
        m_hScrollStyle = CUIString(value);
        if (m_hScrollBar != nullptr) {
            m_hScrollBar->ApplyAttributeText(m_hScrollStyle.View());
            SetScrollBarThickness(m_hScrollBar->GetPresetHeight(), m_vScrollThickness);
        }
        ConfigureScrollBars(m_vScrollEnabled, true);
    } else if (name == L"vscrollsize") {
        if (ParseNonNegative(value, &number)) SetScrollBarThickness(m_hScrollThickness, number);
    } else if (name == L"hscrollsize") {
        if (ParseNonNegative(value, &number)) SetScrollBarThickness(number, m_vScrollThickness);
    } else if (name == L"childpadding") {
        if (ParseNonNegative(value, &number)) SetChildGap(number);
    } else {
        CControlUI::ApplyAttribute(name, value);
    }
}

bool CContainerUI::Render(HDC hdc, const RECT& paintRect) {
    if (!CControlUI::Render(hdc, paintRect)) return false;
    // Children in the flow stay inside the inset; floating ones may use the whole container.
    const RECT ownPaint = m_paintRect;
    RECT childArea;
    if (IntersectRects(&childArea, ownPaint, ClientArea())) {
        CUIRenderClip clip;
        clip.ClipToRect(hdc, childArea);
        for (int i = 0; i < m_items.Count(); ++i) {
            CControlUI* child = OwnChildAt(i);
            if (child->IsShown() && !child->IsFloating()) child->Render(hdc, childArea);
        }
    }
    CUIRenderClip clip;
    clip.ClipToRect(hdc, ownPaint);
    for (int i = 0; i < m_items.Count(); ++i) {
        CControlUI* child = OwnChildAt(i);
        if (child->IsShown() && child->IsFloating()) child->Render(hdc, ownPaint);
    }
    for (CScrollBarUI* bar : {m_vScrollBar, m_hScrollBar}) {
        if (bar != nullptr && bar->IsShown()) bar->Render(hdc, ownPaint);
    }
    m_paintRect = ownPaint;
    return true;
}

SIZE CContainerUI::GetScrollOffset() const {
    return m_scrollOffset;
}

SIZE CContainerUI::GetScrollExtent() const {
    return m_scrollExtent;
}

void CContainerUI::ScrollTo(SIZE offset) {
    offset.cx = Clamp(offset.cx, 0, m_scrollExtent.cx);
    offset.cy = Clamp(offset.cy, 0, m_scrollExtent.cy);
    const int dx = offset.cx - m_scrollOffset.cx;
    const int dy = offset.cy - m_scrollOffset.cy;
    if (dx == 0 && dy == 0) return;
    m_scrollOffset = offset;
    ShiftChildren(dx, dy);
    if (m_vScrollBar != nullptr) m_vScrollBar->SetOffset(m_scrollOffset.cy);
    if (m_hScrollBar != nullptr) m_hScrollBar->SetOffset(m_scrollOffset.cx);
    Repaint();
}

void CContainerUI::ShiftChildren(int dx, int dy) {
    for (int i = 0; i < m_items.Count(); ++i) {
        CControlUI* child = OwnChildAt(i);
        if (!child->IsShown() || child->IsFloating()) continue;
        RECT rect = child->GetBounds();
        rect.left -= dx;
        rect.right -= dx;
        rect.top -= dy;
        rect.bottom -= dy;
        child->SetBounds(rect);
    }
}

std::vector<int> CContainerUI::ShareRest(int rest, const std::vector<std::pair<int, int>>& limits) {
    const size_t count = limits.size();
    std::vector<int> sizes(count, 0);
    std::vector<bool> settled(count, false);
    size_t open = count;
    bool changed = true;
    while (changed && open > 0) {
        changed = false;
        const int share = std::max(0, rest) / static_cast<int>(open);
        for (size_t i = 0; i < count; ++i) {
            if (settled[i]) continue;
            const int limited = Clamp(share, limits[i].first, limits[i].second);
            if (limited == share) continue;
            sizes[i] = limited;
            settled[i] = true;
            rest -= limited;
            --open;
            changed = true;
        }
    }
    if (open == 0) return sizes;
    const int share = std::max(0, rest) / static_cast<int>(open);
    size_t seen = 0;
    for (size_t i = 0; i < count; ++i) {
        if (settled[i]) continue;
        const int size = ++seen == open ? std::max(0, rest) - share * static_cast<int>(open - 1) : share;
        sizes[i] = Clamp(size, limits[i].first, limits[i].second);
    }
    return sizes;
}

int CContainerUI::ScrollLineStep() const {
    return (m_manager != nullptr ? m_manager->DefaultFontHeight() : 0) + 8;
}

void CContainerUI::ScrollLineUp() {
    SIZE offset = GetScrollOffset();
    offset.cy -= ScrollLineStep();
    ScrollTo(offset);
}

void CContainerUI::ScrollLineDown() {
    SIZE offset = GetScrollOffset();
    offset.cy += ScrollLineStep();
    ScrollTo(offset);
}

void CContainerUI::ScrollPageUp() {
    SIZE offset = GetScrollOffset();
    offset.cy -= m_bounds.bottom - m_bounds.top - m_inset.top - m_inset.bottom;
    ScrollTo(offset);
}

void CContainerUI::ScrollPageDown() {
    SIZE offset = GetScrollOffset();
    offset.cy += m_bounds.bottom - m_bounds.top - m_inset.top - m_inset.bottom;
    ScrollTo(offset);
}

void CContainerUI::ScrollToTop() {
    SIZE offset = GetScrollOffset();
    offset.cy = 0;
    ScrollTo(offset);
}

void CContainerUI::ScrollToBottom() {
    SIZE offset = GetScrollOffset();
    offset.cy = GetScrollExtent().cy;
    ScrollTo(offset);
}

void CContainerUI::ScrollLineLeft() {
    SIZE offset = GetScrollOffset();
    offset.cx -= ScrollLineStep();
    ScrollTo(offset);
}

void CContainerUI::ScrollLineRight() {
    SIZE offset = GetScrollOffset();
    offset.cx += ScrollLineStep();
    ScrollTo(offset);
}

void CContainerUI::ScrollPageLeft() {
    SIZE offset = GetScrollOffset();
    offset.cx -= m_bounds.right - m_bounds.left - m_inset.left - m_inset.right;
    ScrollTo(offset);
}

void CContainerUI::ScrollPageRight() {
    SIZE offset = GetScrollOffset();
    offset.cx += m_bounds.right - m_bounds.left - m_inset.left - m_inset.right;
    ScrollTo(offset);
}

void CContainerUI::ScrollToLeftEnd() {
    SIZE offset = GetScrollOffset();
    offset.cx = 0;
    ScrollTo(offset);
}

void CContainerUI::ScrollToRightEnd() {
    SIZE offset = GetScrollOffset();
    offset.cx = GetScrollExtent().cx;
    ScrollTo(offset);
}

void CContainerUI::ConfigureScrollBars(bool vertical, bool horizontal) {
    if (vertical == m_vScrollEnabled && horizontal == m_hScrollEnabled) return;
    m_vScrollEnabled = vertical;
    m_hScrollEnabled = horizontal;
    if (!vertical) m_scrollExtent.cy = 0;
    if (!horizontal) m_scrollExtent.cx = 0;
    auto configure = [this](CScrollBarUI*& bar, bool wanted, bool horizontalBar, const CUIString& style,
                            int& thickness) {
        if (!wanted) {
            delete bar;
            bar = nullptr;
            return;
        }
        if (bar != nullptr) return;
        bar = new CScrollBarUI();
        bar->SetHorizontal(horizontalBar);
        // Hidden until the content needs it.
        bar->Show(false);
        if (!style.IsEmpty()) bar->ApplyAttributeText(style.View());
        bar->SetOwner(this);
        bar->AttachManager(m_manager, this, m_manager != nullptr);
        if (thickness == 0) thickness = horizontalBar ? bar->GetPresetHeight() : bar->GetPresetWidth();
    };
    configure(m_vScrollBar, vertical, false, m_vScrollStyle, m_vScrollThickness);
    configure(m_hScrollBar, horizontal, true, m_hScrollStyle, m_hScrollThickness);
    RequestRelayout();
}

CScrollBarUI* CContainerUI::GetVScrollBar() const {
    return m_vScrollBar;
}

CScrollBarUI* CContainerUI::GetHScrollBar() const {
    return m_hScrollBar;
}

void CContainerUI::SetScrollBarThickness(int horizontalHeight, int verticalWidth) {
    m_hScrollThickness = std::max(0, ClampGeometry(horizontalHeight));
    m_vScrollThickness = std::max(0, ClampGeometry(verticalWidth));
    if (m_hScrollBar != nullptr) m_hScrollBar->SetPresetHeight(m_hScrollThickness);
    if (m_vScrollBar != nullptr) m_vScrollBar->SetPresetWidth(m_vScrollThickness);
    RequestRelayout();
}

void CContainerUI::UpdateScrollBars(const RECT& client, int neededWidth, int neededHeight) {
    m_scrollExtent.cx = m_hScrollEnabled ? std::max<int>(0, neededWidth - (client.right - client.left)) : 0;
    m_scrollExtent.cy = m_vScrollEnabled ? std::max<int>(0, neededHeight - (client.bottom - client.top)) : 0;
    if (m_vScrollBar != nullptr) m_vScrollBar->SetExtent(m_scrollExtent.cy);
    if (m_hScrollBar != nullptr) m_hScrollBar->SetExtent(m_scrollExtent.cx);
    if (m_scrollOffset.cx > m_scrollExtent.cx || m_scrollOffset.cy > m_scrollExtent.cy) ScrollTo(m_scrollOffset);
    if (m_vScrollBar == nullptr && m_hScrollBar == nullptr) return;
    // A bar that appears or goes changes the children's area: Show asks for another layout pass.
    const bool vShown = m_vScrollBar != nullptr && m_scrollExtent.cy > 0;
    const bool hShown = m_hScrollBar != nullptr && m_scrollExtent.cx > 0;
    const RECT inner{m_bounds.left + m_inset.left, m_bounds.top + m_inset.top, m_bounds.right - m_inset.right,
                     m_bounds.bottom - m_inset.bottom};
    // Read through the virtual slot: a subclass may keep its position in the bars themselves.
    const SIZE offset = GetScrollOffset();
    if (m_vScrollBar != nullptr) {
        m_vScrollBar->SetOffset(offset.cy);
        m_vScrollBar->SetBounds(RECT{inner.right - m_vScrollThickness, inner.top, inner.right,
                                     inner.bottom - (hShown ? m_hScrollThickness : 0)});
        m_vScrollBar->Show(vShown);
    }
    if (m_hScrollBar != nullptr) {
        m_hScrollBar->SetOffset(offset.cx);
        m_hScrollBar->SetBounds(RECT{inner.left, inner.bottom - m_hScrollThickness,
                                     inner.right - (vShown ? m_vScrollThickness : 0), inner.bottom});
        m_hScrollBar->Show(hShown);
    }
}

}  // namespace SkinUI
