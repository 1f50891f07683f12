// A layout that places its shown, non-floating children left to right, with an optional
// splitter ("sepwidth") at its right (or left) edge.
//
// UI thread only; ownership of children as in CContainerUI.
#pragma once

#include "ui/core/LinearLayoutUI.h"

namespace SkinUI {

class CHorizontalLayoutUI : public CLinearLayoutUI {
public:
    CHorizontalLayoutUI() : CLinearLayoutUI(false, L"sepwidth") {}

    const wchar_t* GetClassTag() const override;
    void* QueryFacet(std::wstring_view name) override;

    int GetSplitterWidth() const { return m_splitterSize; }
};

}  // namespace SkinUI
