// A layout that stacks its shown, non-floating children top to bottom, with an optional
// splitter ("sepheight") at its bottom (or top) edge.
//
// UI thread only; ownership of children as in CContainerUI.
#pragma once

#include "ui/core/LinearLayoutUI.h"

namespace SkinUI {

class CVerticalLayoutUI : public CLinearLayoutUI {
public:
    CVerticalLayoutUI() : CLinearLayoutUI(true, L"sepheight") {}

    const wchar_t* GetClassTag() const override;
    void* QueryFacet(std::wstring_view name) override;

    int GetSplitterHeight() const { return m_splitterSize; }
};

}  // namespace SkinUI
