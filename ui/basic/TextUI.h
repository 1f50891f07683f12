// A label whose text is always read as mark-up, with clickable links ({a}...{/a}).
//
// UI thread only. A click (button down and up on the same link) raises "link" with wParam
// pointing at a CUIString with the link's text, valid only during the
// notification. Link rectangles are those of the last paint; a text never painted has none.
#pragma once

#include "ui/basic/LabelUI.h"

namespace SkinUI {

class CTextUI : public CLabelUI {
public:
    static constexpr int kMaxLinks = 8;

    CTextUI();

    const wchar_t* GetClassTag() const override;
    void* QueryFacet(std::wstring_view name) override;
    UINT GetBehaviourFlags() const override;
    void SetCaption(const CUIString& text) override;
    void HandleEvent(UIEventRecord& event) override;
    void RenderCaption(HDC hdc) override;

    int LinkCount() const { return m_linkCount; }
    const RECT& LinkRect(int index) const { return m_linkRects[index]; }

private:
    int LinkAt(POINT pt) const;

    RECT m_linkRects[kMaxLinks]{};
    CUIString m_linkTexts[kMaxLinks];
    int m_linkCount = 0;
    int m_pressedLink = -1;
};

}  // namespace SkinUI
