// A line of text: colour, font index, alignment, text padding, an ellipsis for text that does
// not fit, and optional inline mark-up ("showhtml").
//
// UI thread only; ownership as for every control. The text colour and the font index are
// public fields because window code sets them directly and then repaints; a colour of 0
// means the manager's default text colour, a font index out of the manager's table its
// default font.
#pragma once

#include "platform/gdi/GdiTypes.h"
#include "ui/core/ControlUI.h"

namespace SkinUI {

class CLabelUI : public CControlUI {
public:
    const wchar_t* GetClassTag() const override;
    void* QueryFacet(std::wstring_view name) override;

    // The preset size; without a preset height, one line of the font plus the padding.
    SIZE MeasureDesired(SIZE available) override;
    // Adds "align" (left, center, right), "valign" (top, vcenter, bottom), "endellipsis",
    // "font", "textcolor", "disabledtextcolor", "textpadding" and "showhtml".
    void ApplyAttribute(std::wstring_view name, std::wstring_view value) override;
    void RenderCaption(HDC hdc) override;

    void SetTextColor(DWORD argb);
    void SetFontIndex(int index);
    // DT_* bits of the text's alignment.
    UINT GetTextStyle() const { return m_textStyle; }
    const RECT& GetTextPadding() const { return m_textPadding; }
    bool ShowsMarkup() const { return m_showMarkup; }

    DWORD m_textColor = 0;
    DWORD m_disabledTextColor = 0;
    int m_fontIndex = -1;

protected:
    // The colour the text is drawn in now: the state's own, else the manager's default.
    virtual DWORD CurrentTextColor() const;
    // The bounds less the text padding.
    RECT TextArea() const;
    // Draws `text` into `area` with the label's font, alignment and mark-up choice.
    void DrawLabelText(HDC hdc, RECT area, std::wstring_view text, DWORD argb);

    UINT m_textStyle = DT_LEFT | DT_VCENTER | DT_SINGLELINE;
    RECT m_textPadding{};
    bool m_showMarkup = false;
};

}  // namespace SkinUI
