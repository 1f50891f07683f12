#include "ui/basic/SliderUI.h"

#include <algorithm>
#include <limits>

#include "platform/window/WinMessages.h"
#include "ui/core/AttributeText.h"
#include "ui/core/PaintManager.h"

namespace SkinUI {

namespace {

bool Contains(const RECT& rect, POINT pt) {
    return pt.x >= rect.left && pt.x < rect.right && pt.y >= rect.top && pt.y < rect.bottom;
}

}  // namespace

const wchar_t* CSliderUI::GetClassTag() const {
    return L"SliderUI";
}

void* CSliderUI::QueryFacet(std::wstring_view name) {
    if (name == L"Slider") return this;
    return CProgressUI::QueryFacet(name);
}

UINT CSliderUI::GetBehaviourFlags() const {
    return IsUsable() ? (kBehaviourFocusStop | kBehaviourHandlesMouse) : 0;
}

RECT CSliderUI::ThumbRect() const {
    const long long range = static_cast<long long>(m_max) - m_min;
    const long long done = range > 0 ? std::clamp<long long>(static_cast<long long>(m_value) - m_min, 0, range) : 0;
    if (m_horizontal) {
        const long long track = std::max<long long>(0, m_bounds.right - m_bounds.left - m_thumbSize.cx);
        const long long left = m_bounds.left + (range > 0 ? track * done / range : 0);
        const long long top = m_bounds.top + (m_bounds.bottom - m_bounds.top - m_thumbSize.cy) / 2;
        return RECT{ClampCoordinate(left), ClampCoordinate(top), ClampCoordinate(left + m_thumbSize.cx),
                    ClampCoordinate(top + m_thumbSize.cy)};
    }
    const long long track = std::max<long long>(0, m_bounds.bottom - m_bounds.top - m_thumbSize.cy);
    const long long top = m_bounds.bottom - m_thumbSize.cy - (range > 0 ? track * done / range : 0);
    const long long left = m_bounds.left + (m_bounds.right - m_bounds.left - m_thumbSize.cx) / 2;
    return RECT{ClampCoordinate(left), ClampCoordinate(top), ClampCoordinate(left + m_thumbSize.cx),
                ClampCoordinate(top + m_thumbSize.cy)};
}

int CSliderUI::ValueAt(POINT pt) const {
    const long long range = static_cast<long long>(m_max) - m_min;
    if (range <= 0) return m_min;
    long long track = 0;
    long long along = 0;
    if (m_horizontal) {
        track = m_bounds.right - m_bounds.left - m_thumbSize.cx;
        along = pt.x - m_bounds.left - m_thumbSize.cx / 2;
    } else {
        track = m_bounds.bottom - m_bounds.top - m_thumbSize.cy;
        along = m_bounds.bottom - m_thumbSize.cy / 2 - pt.y;
    }
    if (track <= 0) return m_min;
    along = std::clamp<long long>(along, 0, track);
    // Rounded to the nearest value, so the thumb lands where it was let go.
    return static_cast<int>(m_min + (along * range + track / 2) / track);
}

void CSliderUI::MoveTo(int value) {
    SetProgress(std::clamp(value, std::min(m_min, m_max), std::max(m_min, m_max)));
}

void CSliderUI::FinishChange() {
    if (m_value != m_valueBefore && m_manager != nullptr) m_manager->RaiseNotify(this, L"valuechanged");
}

void CSliderUI::HandleEvent(UIEventRecord& event) {
    if (IsMouseEvent(event.type) && (!m_acceptsMouse || !IsUsable())) {
        if (m_parent != nullptr) m_parent->HandleEvent(event);
        return;
    }
    switch (event.type) {
        case UIEventType::ButtonDown:
        case UIEventType::DoubleClick:
            if (!m_focused) TakeFocus();
            m_valueBefore = m_value;
            m_dragging = true;
            // A press on the track jumps there; a press on the thumb keeps the value until it moves.
            if (!Contains(ThumbRect(), event.mouse)) MoveTo(ValueAt(event.mouse));
            Repaint();
            return;
        case UIEventType::MouseMove:
            if (m_dragging) {
                MoveTo(ValueAt(event.mouse));
            } else {
                const bool hot = Contains(ThumbRect(), event.mouse);
                if (hot != m_thumbHot) {
                    m_thumbHot = hot;
                    Repaint();
                }
            }
            return;
        case UIEventType::ButtonUp:
            if (!m_dragging) return;
            m_dragging = false;
            MoveTo(ValueAt(event.mouse));
            Repaint();
            FinishChange();
            return;
        case UIEventType::MouseLeave:
            m_thumbHot = false;
            Repaint();
            return;
        case UIEventType::ScrollWheel: {
            if (m_dragging) return;
            m_valueBefore = m_value;
            const UIWheelTurn turn = WheelTurnOf(event);
            // In 64 bits: a skin may put the value at the end of the int range.
            const long long value = m_value;
            const auto clamped = [](long long v) {
                return static_cast<int>(
                    std::clamp<long long>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
            };
            if (turn == UIWheelTurn::Away) MoveTo(clamped(value + m_step));
            if (turn == UIWheelTurn::Toward) MoveTo(clamped(value - m_step));
            FinishChange();
            return;
        }
        case UIEventType::CaptureLost:
            if (m_dragging) {
                m_dragging = false;
                Repaint();
                FinishChange();
            }
            return;
        case UIEventType::KillFocus:
            if (m_dragging) {
                m_dragging = false;
                FinishChange();
            }
            break;
        default:
            break;
    }
    CProgressUI::HandleEvent(event);
}

void CSliderUI::ApplyAttribute(std::wstring_view name, std::wstring_view value) {
    SIZE size{};
    int number = 0;
    if (name == L"thumbsize") {
        if (ParseSize(value, &size) && size.cx >= 0 && size.cy >= 0) {
            m_thumbSize = SIZE{ClampGeometry(size.cx), ClampGeometry(size.cy)};
            Repaint();
        }
    } else if (name == L"thumbimage") {
        m_thumbImages.normal = CUIString(value);
        Repaint();
    } else if (name == L"thumbhotimage") {
        m_thumbImages.hot = CUIString(value);
        Repaint();
    } else if (name == L"thumbpushedimage") {
        m_thumbImages.pushed = CUIString(value);
        Repaint();
    } else if (name == L"step") {
        if (ParseInt(value, &number) && number > 0) m_step = number;
    } else {
        CProgressUI::ApplyAttribute(name, value);
    }
}

void CSliderUI::RenderStateImage(HDC hdc) {
    CProgressUI::RenderStateImage(hdc);
    DrawPartImage(*this, hdc, m_thumbImages.For(m_dragging, m_thumbHot), ThumbRect());
}

}  // namespace SkinUI
