// A container that stacks its shown, non-floating children top to bottom, with an optional
// splitter at its bottom (or top) edge that resizes the layout itself.
//
// UI thread only; ownership of children as in CContainerUI.
#pragma once

#include "ui/core/ContainerUI.h"

namespace SkinUI {

class CVerticalLayoutUI : public CContainerUI {
public:
    const wchar_t* GetClassTag() const override;
    void* QueryFacet(std::wstring_view name) override;
    UINT GetBehaviourFlags() const override;

    // Each shown child gets its preset or desired height, clamped to its floor and ceiling;
    // children without a height share what is left, the last one taking the remainder.
    void SetBounds(const RECT& bounds) override;
    void HandleEvent(UIEventRecord& event) override;
    // Adds "sepheight" (splitter grab height; negative puts it at the top edge) and
    // "sepimm" (resize while dragging instead of on release).
    void ApplyAttribute(std::wstring_view name, std::wstring_view value) override;

    int GetSplitterHeight() const { return m_splitterHeight; }
    bool IsDraggingSplitter() const { return m_dragging; }

private:
    RECT SplitterZone() const;

    int m_splitterHeight = 0;
    bool m_splitterImmediate = false;
    bool m_dragging = false;
    POINT m_dragStart{};
    int m_dragStartHeight = 0;
    int m_dragHeight = 0;
};

}  // namespace SkinUI
