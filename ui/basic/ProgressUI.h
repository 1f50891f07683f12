// A progress bar: a label with a value between a minimum and a maximum, drawn as the fore
// image over the part of the control that the value covers, from the left (horizontal) or
// from the bottom (vertical).
//
// UI thread only. A range whose maximum is not above its minimum draws no fore image.
#pragma once

#include "ui/basic/LabelUI.h"

namespace SkinUI {

class CProgressUI : public CLabelUI {
public:
    const wchar_t* GetClassTag() const override;
    void* QueryFacet(std::wstring_view name) override;

    // Ignored when equal to the value or outside minimum..maximum; else sets it and repaints.
    void SetProgress(int value);
    int GetProgress() const { return m_value; }
    int GetMinValue() const { return m_min; }
    int GetMaxValue() const { return m_max; }
    // The value is pulled into the new range.
    void SetMinValue(int value);
    void SetMaxValue(int value);
    bool IsHorizontal() const { return m_horizontal; }
    void SetHorizontal(bool horizontal);
    const CUIString& GetForeImage() const { return m_foreImage; }
    void SetForeImage(const CUIString& spec);

    // Adds "hor", "min", "max", "value", "foreimage".
    void ApplyAttribute(std::wstring_view name, std::wstring_view value) override;
    void RenderBackImage(HDC hdc) override;
    void RenderStateImage(HDC hdc) override;

protected:
    // The part of the control (client co-ordinates) that the value covers; empty for an empty range.
    RECT FilledPart() const;

    bool m_horizontal = true;
    int m_min = 0;
    int m_max = 100;
    int m_value = 0;
    CUIString m_foreImage;
};

}  // namespace SkinUI
