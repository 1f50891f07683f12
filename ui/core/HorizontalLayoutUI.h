// A container that places its shown, non-floating children left to right, with an optional
// splitter at its right (or left) edge that resizes the layout itself.
//
// UI thread only; ownership of children as in CContainerUI.
#pragma once

#include "ui/core/ContainerUI.h"

namespace SkinUI {

class CHorizontalLayoutUI : public CContainerUI {
public:
    const wchar_t* GetClassTag() const override;
    void* QueryFacet(std::wstring_view name) override;
    UINT GetBehaviourFlags() const override;

    // Each shown child gets its preset or desired width, clamped to its floor and ceiling;
    // children without a width share what is left, the last one taking the remainder.
    void SetBounds(const RECT& bounds) override;
    void HandleEvent(UIEventRecord& event) override;
    // Adds "sepwidth" (splitter grab width; negative puts it at the left edge) and "sepimm".
    void ApplyAttribute(std::wstring_view name, std::wstring_view value) override;

    int GetSplitterWidth() const { return m_splitterWidth; }
    bool IsDraggingSplitter() const { return m_dragging; }

private:
    RECT SplitterZone() const;

    int m_splitterWidth = 0;
    bool m_splitterImmediate = false;
    bool m_dragging = false;
    POINT m_dragStart{};
    int m_dragStartWidth = 0;
    int m_dragWidth = 0;
};

}  // namespace SkinUI
