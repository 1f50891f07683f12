#include "ui/basic/ProgressUI.h"

#include <algorithm>

#include "ui/basic/PartImage.h"
#include "ui/core/AttributeText.h"
#include "ui/core/PaintManager.h"
#include "ui/render/RenderEngine.h"

namespace SkinUI {

const wchar_t* CProgressUI::GetClassTag() const {
    return L"ProgressUI";
}

void* CProgressUI::QueryFacet(std::wstring_view name) {
    if (name == L"Progress") return this;
    return CLabelUI::QueryFacet(name);
}

void CProgressUI::SetProgress(int value) {
    if (value == m_value || value < m_min || value > m_max) return;
    m_value = value;
    Repaint();
}

void CProgressUI::SetMinValue(int value) {
    m_min = value;
    if (m_value < m_min) m_value = m_min;
    Repaint();
}

void CProgressUI::SetMaxValue(int value) {
    m_max = value;
    if (m_value > m_max) m_value = std::max(m_min, m_max);
    Repaint();
}

void CProgressUI::SetHorizontal(bool horizontal) {
    if (m_horizontal == horizontal) return;
    m_horizontal = horizontal;
    Repaint();
}

void CProgressUI::SetForeImage(const CUIString& spec) {
    if (m_foreImage == spec) return;
    m_foreImage = spec;
    Repaint();
}

void CProgressUI::ApplyAttribute(std::wstring_view name, std::wstring_view value) {
    int number = 0;
    if (name == L"hor") {
        SetHorizontal(ParseBool(value));
    } else if (name == L"min") {
        if (ParseInt(value, &number)) SetMinValue(number);
    } else if (name == L"max") {
        if (ParseInt(value, &number)) SetMaxValue(number);
    } else if (name == L"value") {
        if (ParseInt(value, &number)) SetProgress(number);
    } else if (name == L"foreimage") {
        SetForeImage(CUIString(value));
    } else {
        CLabelUI::ApplyAttribute(name, value);
    }
}

RECT CProgressUI::FilledPart() const {
    const long long width = m_bounds.right - m_bounds.left;
    const long long height = m_bounds.bottom - m_bounds.top;
    const long long range = static_cast<long long>(m_max) - m_min;
    if (range <= 0) return RECT{};
    const long long done = std::clamp<long long>(static_cast<long long>(m_value) - m_min, 0, range);
    RECT part = m_bounds;
    if (m_horizontal) {
        part.right = static_cast<LONG>(m_bounds.left + width * done / range);
    } else {
        part.top = static_cast<LONG>(m_bounds.bottom - height * done / range);
    }
    return part;
}

void CProgressUI::RenderBackImage(HDC hdc) {
    // A skin may give the bar's filled look as the back image too; where the fore image drawn
    // next covers all of it with opaque pixels, drawing it first shows nothing.
    const RECT part = FilledPart();
    if (m_manager != nullptr && !m_backImage.IsEmpty() && !m_foreImage.IsEmpty() && part.right > part.left &&
        part.bottom > part.top &&
        CUIRenderEngine::ImageSpecHides(hdc, m_manager, m_bounds, m_paintRect, m_foreImage.View(),
                                        PartInControl(*this, part), m_backImage.View())) {
        return;
    }
    CLabelUI::RenderBackImage(hdc);
}

void CProgressUI::RenderStateImage(HDC hdc) {
    DrawPartImage(*this, hdc, m_foreImage, FilledPart());
}

}  // namespace SkinUI
