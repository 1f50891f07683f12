// A slider: a progress bar with a thumb that the user drags, or moves by clicking the track
// or turning the wheel. "valuechanged" is raised when a drag, click or wheel turn ends with a
// value different from the one before it.
//
// UI thread only. The thumb is centred on the value's position along the track, which is the
// control less half a thumb at each end.
#pragma once

#include "ui/basic/PartImage.h"
#include "ui/basic/ProgressUI.h"

namespace SkinUI {

class CSliderUI : public CProgressUI {
public:
    const wchar_t* GetClassTag() const override;
    void* QueryFacet(std::wstring_view name) override;
    UINT GetBehaviourFlags() const override;
    void HandleEvent(UIEventRecord& event) override;
    // Adds "thumbsize" (width,height), "thumbimage", "thumbhotimage", "thumbpushedimage",
    // "step".
    void ApplyAttribute(std::wstring_view name, std::wstring_view value) override;
    void RenderStateImage(HDC hdc) override;

    // Client co-ordinates of the thumb.
    RECT ThumbRect() const;
    bool IsDragging() const { return m_dragging; }
    int GetStep() const { return m_step; }

private:
    int ValueAt(POINT pt) const;
    void MoveTo(int value);
    void FinishChange();

    SIZE m_thumbSize{10, 10};
    int m_step = 1;
    bool m_dragging = false;
    bool m_thumbHot = false;
    int m_valueBefore = 0;
    PartImages m_thumbImages;
};

}  // namespace SkinUI
