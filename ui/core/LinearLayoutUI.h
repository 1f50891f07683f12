// The common base of the horizontal and vertical layouts: places its shown, non-floating
// children one after another along its axis, with an optional splitter at its far (or near)
// edge that resizes the layout itself along that axis.
//
// UI thread only; ownership of children as in CContainerUI.
#pragma once

#include "ui/core/ContainerUI.h"

namespace SkinUI {

class CLinearLayoutUI : public CContainerUI {
public:
    UINT GetBehaviourFlags() const override;

    // Each shown child gets its preset or desired size along the axis, clamped to its floor
    // and ceiling; children without one share what is left, the last taking the remainder.
    void SetBounds(const RECT& bounds) override;
    void HandleEvent(UIEventRecord& event) override;
    // Adds `splitterName` (splitter grab size; negative puts it at the near edge) and "sepimm"
    // (resize while dragging instead of on release).
    void ApplyAttribute(std::wstring_view name, std::wstring_view value) override;

    bool IsDraggingSplitter() const { return m_dragging; }

protected:
    CLinearLayoutUI(bool vertical, std::wstring_view splitterName)
        : m_vertical(vertical), m_splitterName(splitterName) {}

    int m_splitterSize = 0;

private:
    RECT SplitterZone() const;

    const bool m_vertical;
    const std::wstring_view m_splitterName;
    bool m_splitterImmediate = false;
    bool m_dragging = false;
    POINT m_dragStart{};
    int m_dragStartSize = 0;
    int m_dragSize = 0;
};

}  // namespace SkinUI
