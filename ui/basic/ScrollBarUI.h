// A scroll bar: a range and an offset shown as a thumb between two arrow buttons. The user
// scrolls by the arrows (a line), by clicking the rail on either side of the thumb (a page),
// by dragging the thumb and by the wheel; holding an arrow or the rail repeats the step.
//
// UI thread only. A bar made by a container has that container as owner: user scrolling
// then goes through the owner's scroll operations, and the owner sets the bar's range and
// offset back (SetExtent, SetOffset). A bar without an owner only moves its own offset. The
// owner deletes its bars; a bar never outlives its owner.
#pragma once

#include "ui/basic/PartImage.h"
#include "ui/core/ControlUI.h"

namespace SkinUI {

class CContainerUI;

class CScrollBarUI : public CControlUI {
public:
    static constexpr int kDefaultThickness = 16;
    static constexpr int kDefaultLineSize = 8;
    // Control timer that repeats a held arrow or rail click.
    static constexpr UINT_PTR kRepeatTimerId = 10;
    static constexpr UINT kRepeatIntervalMs = 50;

    enum class Part { None = 0, Button1 = 1, Button2 = 2, Thumb = 3, RailBefore = 4, RailAfter = 5 };

    CScrollBarUI();

    const wchar_t* GetClassTag() const override;
    void* QueryFacet(std::wstring_view name) override;
    UINT GetBehaviourFlags() const override;

    CContainerUI* GetOwner() const { return m_owner; }
    void SetOwner(CContainerUI* owner) { m_owner = owner; }
    bool IsHorizontal() const { return m_horizontal; }
    void SetHorizontal(bool horizontal);

    int GetExtent() const { return m_range; }
    // A negative range becomes 0; the offset is clamped to it; the bar lays itself out
    // again. Nothing when unchanged.
    void SetExtent(int range);
    int GetOffset() const { return m_offset; }
    // Clamped to 0..range, then the bar lays itself out again. Nothing when unchanged.
    void SetOffset(int offset);
    int GetLineSize() const { return m_lineSize; }

    // Lays out the arrows and the thumb inside the new rectangle.
    void SetBounds(const RECT& bounds) override;
    void HandleEvent(UIEventRecord& event) override;
    // Adds "hor", "linesize", "showbutton1", "showbutton2", and the images
    // "button1normalimage", "button1hotimage", "button1pushedimage", the same for button2
    // and "thumbnormalimage", "thumbhotimage", "thumbpushedimage".
    void ApplyAttribute(std::wstring_view name, std::wstring_view value) override;
    void RenderStateImage(HDC hdc) override;

    // Client co-ordinates of the parts (empty when hidden).
    const RECT& Button1Rect() const { return m_button1; }
    const RECT& Button2Rect() const { return m_button2; }
    const RECT& ThumbRect() const { return m_thumb; }
    Part PartAt(POINT pt) const;
    bool IsDraggingThumb() const { return m_pressed == Part::Thumb; }

private:
    void Layout();
    // A line (arrows) or a page (rail) towards the part, through the owner when there is one.
    void Step(Part part);
    void ScrollOwnerTo(int offset);

    CContainerUI* m_owner = nullptr;
    bool m_horizontal = false;
    int m_range = 0;
    int m_offset = 0;
    int m_lineSize = kDefaultLineSize;
    bool m_showButton1 = true;
    bool m_showButton2 = true;

    RECT m_button1{};
    RECT m_button2{};
    RECT m_thumb{};
    Part m_hot = Part::None;
    Part m_pressed = Part::None;
    POINT m_dragStart{};
    int m_dragStartOffset = 0;

    PartImages m_button1Images;
    PartImages m_button2Images;
    PartImages m_thumbImages;
};

}  // namespace SkinUI
