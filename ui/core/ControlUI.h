// The base of every control: its place in the tree, its geometry, its state flags, its
// attribute vocabulary and the virtual slots that subclasses override.
//
// UI thread only. A control belongs to at most one parent and one paint manager; the parent
// container (or the manager, for the root) deletes it. Deleting a control tells its manager,
// which then forgets it as focus, hover, capture or timer target; so a control must not
// outlive the manager it is attached to (re-attach it elsewhere first). Every call into the
// manager is skipped while the control is not attached, so a detached tree can be built and
// laid out on its own.
#pragma once

#include <algorithm>
#include <string_view>

#include "platform/types/WinTypes.h"
#include "ui/core/Delegate.h"
#include "ui/core/UIEvents.h"
#include "ui/core/UIString.h"

namespace SkinUI {

class CUIPaintManager;

// Bits of CControlUI::GetBehaviourFlags.
inline constexpr UINT kBehaviourFocusStop = 0x1;
inline constexpr UINT kBehaviourWantsSetCursor = 0x2;
// The paint manager gives the control the focus when a mouse button is pressed on it, before
// the press itself arrives.
inline constexpr UINT kBehaviourFocusOnPress = 0x4;
// Acts on the mouse (clicks, drags, wheel), so a window's caption area under it does not drag
// the window there.
inline constexpr UINT kBehaviourHandlesMouse = 0x8;

// Flags of CControlUI::FindControl.
inline constexpr UINT kFindAll = 0x0;
inline constexpr UINT kFindShown = 0x1;
inline constexpr UINT kFindUsable = 0x2;
inline constexpr UINT kFindHitTest = 0x4;   // the point in `data` must lie in the control
inline constexpr UINT kFindTopFirst = 0x8;  // later children (drawn on top) first
inline constexpr UINT kFindMeFirst = 0x10;  // a container tests itself before its children

// Skin geometry (sizes, margins, offsets, gaps) is held within kGeometryLimit and control
// rectangles within kCoordinateLimit, so that layout sums of hostile values cannot overflow.
inline constexpr int kGeometryLimit = 0x00FFFFFF;
inline constexpr int kCoordinateLimit = 0x0FFFFFFF;
// A size with no ceiling set.
inline constexpr int kNoSizeCeiling = kGeometryLimit;

inline int ClampGeometry(long long value) {
    return static_cast<int>(value < -kGeometryLimit  ? -kGeometryLimit
                            : value > kGeometryLimit ? kGeometryLimit
                                                     : value);
}
inline RECT ClampGeometry(const RECT& rect) {
    return RECT{ClampGeometry(rect.left), ClampGeometry(rect.top), ClampGeometry(rect.right),
                ClampGeometry(rect.bottom)};
}
inline LONG ClampCoordinate(long long value) {
    return static_cast<LONG>(value < -kCoordinateLimit  ? -kCoordinateLimit
                             : value > kCoordinateLimit ? kCoordinateLimit
                                                        : value);
}
// Half-open, as Windows counts rectangles.
inline bool RectContains(const RECT& rect, POINT pt) {
    return pt.x >= rect.left && pt.x < rect.right && pt.y >= rect.top && pt.y < rect.bottom;
}
// False, with `out` emptied, when `a` and `b` do not overlap.
inline bool IntersectRects(RECT* out, const RECT& a, const RECT& b) {
    *out = RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
    if (out->left < out->right && out->top < out->bottom) return true;
    *out = RECT{};
    return false;
}

class CControlUI {
public:
    // Returns true to stop the walk at `control`.
    using FindProc = bool (*)(CControlUI* control, void* data);

    CControlUI();
    virtual ~CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;

    // --- identity ---
    const CUIString& GetName() const { return m_name; }
    void SetName(const CUIString& name) { m_name = name; }
    virtual const wchar_t* GetClassTag() const;
    // The control (or one of its interface parts) when it answers `name`, else null.
    virtual void* QueryFacet(std::wstring_view name);
    virtual UINT GetBehaviourFlags() const;
    // Whether a focused control takes the Tab key itself instead of moving the focus on.
    virtual bool WantsTabKey() const { return false; }

    // --- tree ---
    CUIPaintManager* GetOwnerManager() const { return m_manager; }
    CControlUI* GetParentControl() const { return m_parent; }
    // With `initialise`, a manager and a parent, runs OnInitialize (once in the control's life).
    virtual void AttachManager(CUIPaintManager* manager, CControlUI* parent, bool initialise = true);
    // Walks this control (and, in containers, the subtree) and returns the first control for
    // which `proc` returns true.
    virtual CControlUI* FindControl(FindProc proc, void* data, UINT flags);

    // --- text ---
    virtual CUIString GetCaption() const;
    virtual void SetCaption(const CUIString& text);
    const CUIString& GetTooltip() const { return m_tooltip; }
    const CUIString& GetUserData() const { return m_userData; }
    UINT_PTR GetTag() const { return m_tag; }
    void SetTag(UINT_PTR tag) { m_tag = tag; }

    // --- geometry ---
    const RECT& GetBounds() const { return m_bounds; }
    // A floating control placed from code keeps the place through later layouts of its
    // parent: its float offsets (and, on an axis whose anchors are equal, its size) follow.
    virtual void SetBounds(const RECT& bounds);
    // The part of the control drawn in the current paint pass.
    const RECT& GetPaintRect() const { return m_paintRect; }
    int GetPresetWidth() const { return m_presetSize.cx; }
    void SetPresetWidth(int width);
    int GetPresetHeight() const { return m_presetSize.cy; }
    void SetPresetHeight(int height);
    int GetWidthFloor() const { return m_widthFloor; }
    void SetWidthFloor(int width);
    int GetWidthCeiling() const { return m_widthCeiling; }
    void SetWidthCeiling(int width);
    int GetHeightFloor() const { return m_heightFloor; }
    void SetHeightFloor(int height);
    int GetHeightCeiling() const { return m_heightCeiling; }
    void SetHeightCeiling(int height);
    const RECT& GetOuterMargin() const { return m_outerMargin; }
    void SetOuterMargin(const RECT& margin);
    // The "pos" rectangle: a floating control's offsets from its anchors.
    const RECT& GetFloatPos() const { return m_floatPos; }
    // Fractions (0..1) of the parent's client width and height at which a floating control's
    // left, top, right and bottom edges are anchored.
    void GetFloatAnchors(double anchors[4]) const;
    virtual SIZE MeasureDesired(SIZE available);

    // --- state ---
    // Visible and shown by its parent.
    bool IsShown() const { return m_visible && m_shownByParent; }
    bool IsVisibleFlag() const { return m_visible; }
    virtual void Show(bool show);
    virtual void SetShownByParent(bool shown);
    // This control and every ancestor enabled.
    bool IsUsable() const;
    bool IsUsableFlag() const { return m_usable; }
    virtual void SetUsable(bool usable);
    bool AcceptsMouse() const { return m_acceptsMouse; }
    void SetAcceptsMouse(bool accepts) { m_acceptsMouse = accepts; }
    bool HasFocus() const { return m_focused; }
    virtual void TakeFocus();
    bool IsFloating() const { return m_floating; }
    void SetFloating(bool floating);

    // --- look ---
    DWORD GetBackColor() const { return m_backColor; }
    void SetBackColor(DWORD argb);
    DWORD GetBorderColor() const { return m_borderColor; }
    void SetBorderColor(DWORD argb);
    int GetBorderSize() const { return m_borderSize; }
    void SetBorderSize(int size);
    const CUIString& GetBackImage() const { return m_backImage; }
    void SetBackImage(const CUIString& spec);
    bool UsesColorHsl() const { return m_colorHsl; }
    // `argb` after the manager's hue, saturation and lightness shift when "colorhsl" is set.
    DWORD AdjustedColor(DWORD argb) const;

    // --- layout and painting requests ---
    virtual void Repaint();
    // When shown, marks the control for the next layout pass and repaints.
    void RequestRelayout();
    // Asks the parent (or the window, for the root) for a layout pass and repaints.
    void RequestParentRelayout();
    bool NeedsLayout() const { return m_needsLayout; }

    // --- events ---
    virtual void HandleEvent(UIEventRecord& event);
    // True only when the control is shown and usable; subclasses raise their activation
    // notification after it.
    virtual bool Trigger();
    // Fired for every notification whose sender is this control.
    CUIEventSource& GetNotifySource() { return m_notifySource; }

    // --- attributes ---
    virtual void ApplyAttribute(std::wstring_view name, std::wstring_view value);
    // Applies name="value" pairs in order; false (pairs before the bad one applied) when the
    // text is malformed.
    bool ApplyAttributeText(std::wstring_view text);

    // --- painting ---
    // False when nothing of the control lies in `paintRect`.
    virtual bool Render(HDC hdc, const RECT& paintRect);
    virtual void RenderBackColor(HDC hdc);
    virtual void RenderBackImage(HDC hdc);
    virtual void RenderStateImage(HDC hdc);
    virtual void RenderCaption(HDC hdc);
    virtual void RenderFrame(HDC hdc);
    // False when nothing could be drawn.
    bool DrawSkinImage(HDC hdc, const CUIString& spec, const wchar_t* modifier = nullptr);
    // The same with the image placed at `dest`, relative to the control's top-left corner.
    bool DrawSkinImageAt(HDC hdc, const CUIString& spec, const RECT& dest);
    // The same, but an image that cannot be drawn is emptied, so that it is not tried at every
    // paint; false when nothing was drawn.
    bool DrawSkinImageOrForget(HDC hdc, CUIString& image, const wchar_t* modifier = nullptr);

protected:
    // Runs when the control is attached under a parent with initialisation asked for.
    virtual void OnInitialize() {}
    void SetFocusedFlag(bool focused) { m_focused = focused; }
    void ClearNeedsLayout() { m_needsLayout = false; }
    void MarkNeedsLayout() { m_needsLayout = true; }
    friend class CUIPaintManager;
    friend class CContainerUI;

    CUIPaintManager* m_manager = nullptr;
    CControlUI* m_parent = nullptr;
    CUIString m_name;
    CUIString m_text;
    CUIString m_tooltip;
    CUIString m_userData;
    UINT_PTR m_tag = 0;

    RECT m_bounds{};
    RECT m_paintRect{};
    SIZE m_presetSize{};
    int m_widthFloor = 0;
    int m_widthCeiling = kNoSizeCeiling;
    int m_heightFloor = 0;
    int m_heightCeiling = kNoSizeCeiling;
    RECT m_outerMargin{};
    RECT m_floatPos{};
    double m_floatAnchors[4] = {0, 0, 0, 0};

    bool m_visible = true;
    bool m_shownByParent = true;
    bool m_usable = true;
    bool m_acceptsMouse = true;
    bool m_focused = false;
    bool m_floating = false;
    bool m_needsLayout = true;
    bool m_colorHsl = false;
    bool m_initialised = false;
    // Set while the parent places this floating control from its anchors.
    bool m_placedByParent = false;

    DWORD m_backColor = 0;
    DWORD m_borderColor = 0;
    int m_borderSize = 0;
    CUIString m_backImage;

    CUIEventSource m_notifySource;
};

}  // namespace SkinUI
