#include "ui/basic/ScrollBarUI.h"

#include <algorithm>

#include "platform/window/WinMessages.h"
#include "ui/core/AttributeText.h"
#include "ui/core/ContainerUI.h"
#include "ui/core/PaintManager.h"

namespace SkinUI {

namespace {

bool Contains(const RECT& rect, POINT pt) {
    return pt.x >= rect.left && pt.x < rect.right && pt.y >= rect.top && pt.y < rect.bottom;
}

bool IsEmptyRect(const RECT& rect) {
    return rect.right <= rect.left || rect.bottom <= rect.top;
}

}  // namespace

CScrollBarUI::CScrollBarUI() {
    m_presetSize = SIZE{kDefaultThickness, 0};
}

const wchar_t* CScrollBarUI::GetClassTag() const {
    return L"ScrollBarUI";
}

UINT CScrollBarUI::GetBehaviourFlags() const {
    return IsUsable() ? kBehaviourHandlesMouse : 0;
}

void* CScrollBarUI::QueryFacet(std::wstring_view name) {
    if (name == L"ScrollBar") return this;
    return CControlUI::QueryFacet(name);
}

void CScrollBarUI::SetHorizontal(bool horizontal) {
    if (m_horizontal == horizontal) return;
    m_horizontal = horizontal;
    // The thickness follows the bar across.
    m_presetSize = horizontal ? SIZE{0, kDefaultThickness} : SIZE{kDefaultThickness, 0};
    SetBounds(m_bounds);
    Repaint();
}

void CScrollBarUI::SetExtent(int range) {
    range = std::max(0, range);
    if (range == m_range) return;
    m_range = range;
    m_offset = std::clamp(m_offset, 0, m_range);
    SetBounds(m_bounds);
    Repaint();
}

void CScrollBarUI::SetOffset(int offset) {
    offset = std::clamp(offset, 0, m_range);
    if (offset == m_offset) return;
    m_offset = offset;
    SetBounds(m_bounds);
    Repaint();
}

void CScrollBarUI::SetBounds(const RECT& bounds) {
    CControlUI::SetBounds(bounds);
    Layout();
}

void CScrollBarUI::Layout() {
    m_button1 = m_button2 = m_thumb = RECT{};
    // Work along the bar as if it were vertical; `place` turns a span into a rectangle.
    const long long start = m_horizontal ? m_bounds.left : m_bounds.top;
    const long long end = m_horizontal ? m_bounds.right : m_bounds.bottom;
    const long long thickness = m_horizontal ? m_bounds.bottom - m_bounds.top : m_bounds.right - m_bounds.left;
    const long long length = end - start;
    if (length <= 0 || thickness <= 0) return;
    auto place = [this](long long from, long long to) {
        return m_horizontal ? RECT{ClampCoordinate(from), m_bounds.top, ClampCoordinate(to), m_bounds.bottom}
                            : RECT{m_bounds.left, ClampCoordinate(from), m_bounds.right, ClampCoordinate(to)};
    };
    // Arrows are square, and share the bar when it is shorter than both.
    const long long arrow = std::min(thickness, length / 2);
    long long trackStart = start;
    long long trackEnd = end;
    if (m_showButton1) {
        m_button1 = place(start, start + arrow);
        trackStart += arrow;
    }
    if (m_showButton2) {
        m_button2 = place(end - arrow, end);
        trackEnd -= arrow;
    }
    const long long track = trackEnd - trackStart;
    if (track <= 0 || m_range <= 0) return;
    // The thumb stands for the visible part: the bar's length out of length + range.
    long long thumb = track * length / (length + m_range);
    thumb = std::clamp(thumb, std::min(thickness, track), track);
    const long long at = trackStart + (track - thumb) * m_offset / m_range;
    m_thumb = place(at, at + thumb);
}

CScrollBarUI::Part CScrollBarUI::PartAt(POINT pt) const {
    if (!Contains(m_bounds, pt)) return Part::None;
    if (Contains(m_button1, pt)) return Part::Button1;
    if (Contains(m_button2, pt)) return Part::Button2;
    if (Contains(m_thumb, pt)) return Part::Thumb;
    if (IsEmptyRect(m_thumb)) return Part::None;
    const bool before = m_horizontal ? pt.x < m_thumb.left : pt.y < m_thumb.top;
    return before ? Part::RailBefore : Part::RailAfter;
}

void CScrollBarUI::ScrollOwnerTo(int offset) {
    if (m_owner == nullptr) {
        SetOffset(offset);
        return;
    }
    SIZE position = m_owner->GetScrollOffset();
    (m_horizontal ? position.cx : position.cy) = offset;
    m_owner->ScrollTo(position);
}

void CScrollBarUI::Step(Part part) {
    const int page = m_horizontal ? m_bounds.right - m_bounds.left : m_bounds.bottom - m_bounds.top;
    if (m_owner != nullptr) {
        switch (part) {
            case Part::Button1:
                m_horizontal ? m_owner->ScrollLineLeft() : m_owner->ScrollLineUp();
                return;
            case Part::Button2:
                m_horizontal ? m_owner->ScrollLineRight() : m_owner->ScrollLineDown();
                return;
            case Part::RailBefore:
                m_horizontal ? m_owner->ScrollPageLeft() : m_owner->ScrollPageUp();
                return;
            case Part::RailAfter:
                m_horizontal ? m_owner->ScrollPageRight() : m_owner->ScrollPageDown();
                return;
            default:
                return;
        }
    }
    switch (part) {
        case Part::Button1:
            SetOffset(m_offset - m_lineSize);
            return;
        case Part::Button2:
            SetOffset(m_offset + m_lineSize);
            return;
        case Part::RailBefore:
            SetOffset(m_offset - page);
            return;
        case Part::RailAfter:
            SetOffset(m_offset + page);
            return;
        default:
            return;
    }
}

void CScrollBarUI::HandleEvent(UIEventRecord& event) {
    if (IsMouseEvent(event.type) && (!m_acceptsMouse || !IsUsable())) {
        if (m_parent != nullptr) m_parent->HandleEvent(event);
        return;
    }
    switch (event.type) {
        case UIEventType::ButtonDown:
        case UIEventType::DoubleClick: {
            const Part part = PartAt(event.mouse);
            if (part == Part::None) return;
            m_pressed = part;
            if (part == Part::Thumb) {
                m_dragStart = event.mouse;
                m_dragStartOffset = m_offset;
            } else {
                Step(part);
                if (m_manager != nullptr) m_manager->StartControlTimer(this, kRepeatTimerId, kRepeatIntervalMs);
            }
            Repaint();
            return;
        }
        case UIEventType::MouseMove:
            if (m_pressed == Part::Thumb) {
                const long long moved = m_horizontal ? event.mouse.x - m_dragStart.x : event.mouse.y - m_dragStart.y;
                const long long track =
                    (m_horizontal ? (m_button2.left != m_button2.right ? m_button2.left : m_bounds.right) -
                                        (m_button1.left != m_button1.right ? m_button1.right : m_bounds.left)
                                  : (m_button2.top != m_button2.bottom ? m_button2.top : m_bounds.bottom) -
                                        (m_button1.top != m_button1.bottom ? m_button1.bottom : m_bounds.top));
                const long long thumb = m_horizontal ? m_thumb.right - m_thumb.left : m_thumb.bottom - m_thumb.top;
                if (track - thumb > 0) {
                    const long long offset = m_dragStartOffset + moved * m_range / (track - thumb);
                    ScrollOwnerTo(static_cast<int>(std::clamp<long long>(offset, 0, m_range)));
                }
            } else if (m_pressed == Part::None) {
                const Part hot = PartAt(event.mouse);
                if (hot != m_hot) {
                    m_hot = hot;
                    Repaint();
                }
            }
            return;
        case UIEventType::ButtonUp:
        case UIEventType::CaptureLost:
            if (m_pressed != Part::None && m_manager != nullptr) m_manager->StopControlTimer(this, kRepeatTimerId);
            m_pressed = Part::None;
            Repaint();
            return;
        case UIEventType::Timer:
            if (event.wParam != kRepeatTimerId) break;
            // The press ended without a button-up (focus or capture lost): stop repeating.
            if (m_manager == nullptr || !m_manager->IsCaptured()) {
                if (m_manager != nullptr) m_manager->StopControlTimer(this, kRepeatTimerId);
                m_pressed = Part::None;
                Repaint();
                return;
            }
            // Only while the mouse still rests on the pressed part: a rail click stops under the thumb.
            if (m_pressed != Part::None && m_pressed != Part::Thumb && PartAt(event.mouse) == m_pressed) {
                Step(m_pressed);
            }
            return;
        case UIEventType::MouseLeave:
            m_hot = Part::None;
            Repaint();
            return;
        case UIEventType::ScrollWheel: {
            const UIWheelTurn turn = WheelTurnOf(event);
            if (turn == UIWheelTurn::Away) Step(Part::Button1);
            if (turn == UIWheelTurn::Toward) Step(Part::Button2);
            return;
        }
        default:
            break;
    }
    CControlUI::HandleEvent(event);
}

void CScrollBarUI::ApplyAttribute(std::wstring_view name, std::wstring_view value) {
    int number = 0;
    PartImages* images = nullptr;
    std::wstring_view state;
    if (name.starts_with(L"button1")) {
        images = &m_button1Images;
        state = name.substr(7);
    } else if (name.starts_with(L"button2")) {
        images = &m_button2Images;
        state = name.substr(7);
    } else if (name.starts_with(L"thumb")) {
        images = &m_thumbImages;
        state = name.substr(5);
    }
    if (images != nullptr && (state == L"normalimage" || state == L"hotimage" || state == L"pushedimage")) {
        CUIString& slot = state == L"normalimage" ? images->normal
                          : state == L"hotimage"  ? images->hot
                                                  : images->pushed;
        slot = CUIString(value);
        Repaint();
    } else if (name == L"hor") {
        SetHorizontal(ParseBool(value));
    } else if (name == L"linesize") {
        if (ParseInt(value, &number) && number > 0) m_lineSize = number;
    } else if (name == L"showbutton1") {
        m_showButton1 = ParseBool(value);
        SetBounds(m_bounds);
        Repaint();
    } else if (name == L"showbutton2") {
        m_showButton2 = ParseBool(value);
        SetBounds(m_bounds);
        Repaint();
    } else {
        CControlUI::ApplyAttribute(name, value);
    }
}

void CScrollBarUI::RenderStateImage(HDC hdc) {
    const auto draw = [&](const RECT& rect, const PartImages& images, Part part) {
        DrawPartImage(*this, hdc, images.For(m_pressed == part, m_hot == part), rect);
    };
    draw(m_button1, m_button1Images, Part::Button1);
    draw(m_button2, m_button2Images, Part::Button2);
    draw(m_thumb, m_thumbImages, Part::Thumb);
}

}  // namespace SkinUI
