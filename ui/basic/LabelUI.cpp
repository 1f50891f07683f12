#include "ui/basic/LabelUI.h"

#include "ui/core/AttributeText.h"
#include "ui/core/PaintManager.h"
#include "ui/render/RenderEngine.h"

namespace SkinUI {

namespace {

constexpr UINT kHorizontalAlign = DT_LEFT | DT_CENTER | DT_RIGHT;
constexpr UINT kVerticalAlign = DT_TOP | DT_VCENTER | DT_BOTTOM;

}  // namespace

const wchar_t* CLabelUI::GetClassTag() const {
    return L"LabelUI";
}

void* CLabelUI::QueryFacet(std::wstring_view name) {
    if (name == L"Label") return this;
    return CControlUI::QueryFacet(name);
}

SIZE CLabelUI::MeasureDesired(SIZE available) {
    SIZE size = CControlUI::MeasureDesired(available);
    if (size.cy == 0 && m_manager != nullptr) {
        const UIFontRecord* font = m_manager->FontRecordAt(m_fontIndex);
        if (font != nullptr)
            size.cy = ClampGeometry(font->tm.tmHeight + 4LL + m_textPadding.top + m_textPadding.bottom);
    }
    return size;
}

void CLabelUI::ApplyAttribute(std::wstring_view name, std::wstring_view value) {
    DWORD color = 0;
    int number = 0;
    RECT rect{};
    if (name == L"align") {
        UINT align = DT_LEFT;
        if (value == L"center") align = DT_CENTER;
        if (value == L"right") align = DT_RIGHT;
        m_textStyle = (m_textStyle & ~kHorizontalAlign) | align;
        Repaint();
    } else if (name == L"valign") {
        UINT align = DT_VCENTER;
        if (value == L"top") align = DT_TOP;
        if (value == L"bottom") align = DT_BOTTOM;
        m_textStyle = (m_textStyle & ~kVerticalAlign) | align;
        Repaint();
    } else if (name == L"endellipsis") {
        m_textStyle = ParseBool(value) ? (m_textStyle | DT_END_ELLIPSIS) : (m_textStyle & ~DT_END_ELLIPSIS);
        Repaint();
    } else if (name == L"font") {
        if (ParseInt(value, &number)) SetFontIndex(number);
    } else if (name == L"textcolor") {
        if (ParseColor(value, &color)) SetTextColor(color);
    } else if (name == L"disabledtextcolor") {
        if (ParseColor(value, &color)) {
            m_disabledTextColor = color;
            Repaint();
        }
    } else if (name == L"textpadding") {
        if (ParseRect(value, &rect)) {
            m_textPadding = ClampGeometry(rect);
            RequestParentRelayout();
        }
    } else if (name == L"showhtml") {
        m_showMarkup = ParseBool(value);
        Repaint();
    } else {
        CControlUI::ApplyAttribute(name, value);
    }
}

void CLabelUI::SetTextColor(DWORD argb) {
    if (m_textColor == argb) return;
    m_textColor = argb;
    Repaint();
}

void CLabelUI::SetFontIndex(int index) {
    if (m_fontIndex == index) return;
    m_fontIndex = index;
    RequestParentRelayout();
}

DWORD CLabelUI::CurrentTextColor() const {
    if (!IsUsable() && m_disabledTextColor != 0) return m_disabledTextColor;
    if (m_textColor != 0) return m_textColor;
    return m_manager != nullptr ? m_manager->DefaultTextColor() : 0xFF000000;
}

RECT CLabelUI::TextArea() const {
    RECT area{m_bounds.left + m_textPadding.left, m_bounds.top + m_textPadding.top,
              m_bounds.right - m_textPadding.right, m_bounds.bottom - m_textPadding.bottom};
    if (area.right < area.left) area.right = area.left;
    if (area.bottom < area.top) area.bottom = area.top;
    return area;
}

void CLabelUI::DrawLabelText(HDC hdc, RECT area, std::wstring_view text, DWORD argb) {
    if (text.empty() || m_manager == nullptr) return;
    CUIRenderEngine::DrawPlainOrMarkedText(hdc, m_manager, area, text, AdjustedColor(argb), m_fontIndex, m_textStyle,
                                           m_showMarkup);
}

void CLabelUI::RenderCaption(HDC hdc) {
    DrawLabelText(hdc, TextArea(), m_text.View(), CurrentTextColor());
}

}  // namespace SkinUI
