#include "ui/core/ControlUI.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <vector>

#include "ui/core/AttributeText.h"
#include "ui/core/ContainerUI.h"
#include "ui/core/PaintManager.h"
#include "ui/render/RenderClip.h"
#include "ui/render/RenderEngine.h"

namespace SkinUI {

namespace {

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Four fractions separated by single characters, each within 0..1.
bool ParseAnchors(std::wstring_view text, double anchors[4]) {
    double parsed[4];
    size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) ++pos;  // the separator
        size_t start = pos;
        while (pos < text.size() && ((text[pos] >= L'0' && text[pos] <= L'9') || text[pos] == L'.'))
            ++pos;
        if (pos == start) return false;
        std::wstring number(text.substr(start, pos - start));
        wchar_t* end = nullptr;
        parsed[i] = std::wcstod(number.c_str(), &end);
        if (end == nullptr || *end != L'\0' || parsed[i] < 0.0 || parsed[i] > 1.0) return false;
    }
    if (pos != text.size()) return false;
    std::copy(parsed, parsed + 4, anchors);
    return true;
}

}  // namespace

CControlUI::CControlUI() = default;

CControlUI::~CControlUI() {
    if (m_manager != nullptr) m_manager->ForgetControl(this);
}

const wchar_t* CControlUI::GetClassTag() const {
    return L"ControlUI";
}

void* CControlUI::QueryFacet(std::wstring_view name) {
    if (name == L"Control") return this;
    return nullptr;
}

UINT CControlUI::GetBehaviourFlags() const {
    return 0;
}

void CControlUI::AttachManager(CUIPaintManager* manager, CControlUI* parent, bool initialise) {
    m_manager = manager;
    m_parent = parent;
    // Once only: a control moved between containers must not register its hooks twice.
    if (initialise && m_parent != nullptr && m_manager != nullptr && !m_initialised) {
        m_initialised = true;
        OnInitialize();
    }
}

CControlUI* CControlUI::FindControl(FindProc proc, void* data, UINT flags) {
    if ((flags & kFindShown) != 0 && !IsShown()) return nullptr;
    if ((flags & kFindUsable) != 0 && !IsUsable()) return nullptr;
    if ((flags & kFindHitTest) != 0) {
        const POINT* pt = static_cast<const POINT*>(data);
        if (!RectContains(m_bounds, *pt) || !m_acceptsMouse) return nullptr;
    }
    return proc(this, data) ? this : nullptr;
}

CUIString CControlUI::GetCaption() const {
    return m_text;
}

void CControlUI::SetCaption(const CUIString& text) {
    if (m_text == text) return;
    m_text = text;
    Repaint();
}

void CControlUI::SetBounds(const RECT& bounds) {
    RECT normalised{ClampCoordinate(bounds.left), ClampCoordinate(bounds.top), ClampCoordinate(bounds.right),
                    ClampCoordinate(bounds.bottom)};
    if (normalised.right < normalised.left) normalised.right = normalised.left;
    if (normalised.bottom < normalised.top) normalised.bottom = normalised.top;
    // A floating control moved by code keeps that place: the parent's next layout would
    // otherwise put it back where the skin had it.
    if (m_floating && !m_placedByParent && m_parent != nullptr) {
        if (auto* container = dynamic_cast<CContainerUI*>(m_parent)) container->AdoptFloatingPlace(this, normalised);
    }
    m_needsLayout = false;
    if (SameRect(normalised, m_bounds)) return;
    if (m_manager != nullptr) m_manager->InvalidateArea(m_bounds);
    m_bounds = normalised;
    if (m_manager != nullptr) m_manager->InvalidateArea(m_bounds);
}

void CControlUI::SetPresetWidth(int width) {
    width = ClampGeometry(width);
    if (width < 0 || width == m_presetSize.cx) return;
    m_presetSize.cx = width;
    RequestParentRelayout();
}

void CControlUI::SetPresetHeight(int height) {
    height = ClampGeometry(height);
    if (height < 0 || height == m_presetSize.cy) return;
    m_presetSize.cy = height;
    RequestParentRelayout();
}

void CControlUI::SetWidthFloor(int width) {
    width = ClampGeometry(width);
    if (width < 0 || width == m_widthFloor) return;
    m_widthFloor = width;
    RequestParentRelayout();
}

void CControlUI::SetWidthCeiling(int width) {
    width = ClampGeometry(width);
    if (width < 0 || width == m_widthCeiling) return;
    m_widthCeiling = width;
    RequestParentRelayout();
}

void CControlUI::SetHeightFloor(int height) {
    height = ClampGeometry(height);
    if (height < 0 || height == m_heightFloor) return;
    m_heightFloor = height;
    RequestParentRelayout();
}

void CControlUI::SetHeightCeiling(int height) {
    height = ClampGeometry(height);
    if (height < 0 || height == m_heightCeiling) return;
    m_heightCeiling = height;
    RequestParentRelayout();
}

void CControlUI::SetOuterMargin(const RECT& margin) {
    m_outerMargin = ClampGeometry(margin);
    RequestParentRelayout();
}

void CControlUI::GetFloatAnchors(double anchors[4]) const {
    std::copy(m_floatAnchors, m_floatAnchors + 4, anchors);
}

SIZE CControlUI::MeasureDesired(SIZE /*available*/) {
    return m_presetSize;
}

void CControlUI::Show(bool show) {
    if (m_visible == show) return;
    const bool wasShown = IsShown();
    m_visible = show;
    if (wasShown && !IsShown() && m_focused && m_manager != nullptr) m_manager->SetFocusControl(nullptr);
    RequestParentRelayout();
}

void CControlUI::SetShownByParent(bool shown) {
    if (m_shownByParent == shown) return;
    const bool wasShown = IsShown();
    m_shownByParent = shown;
    if (wasShown && !IsShown() && m_focused && m_manager != nullptr) m_manager->SetFocusControl(nullptr);
}

bool CControlUI::IsUsable() const {
    for (const CControlUI* control = this; control != nullptr; control = control->m_parent) {
        if (!control->m_usable) return false;
    }
    return true;
}

void CControlUI::SetUsable(bool usable) {
    if (m_usable == usable) return;
    m_usable = usable;
    Repaint();
}

void CControlUI::TakeFocus() {
    if (m_manager != nullptr) m_manager->SetFocusControl(this);
}

void CControlUI::SetFloating(bool floating) {
    if (m_floating == floating) return;
    m_floating = floating;
    RequestParentRelayout();
}

void CControlUI::SetBackColor(DWORD argb) {
    if (m_backColor == argb) return;
    m_backColor = argb;
    Repaint();
}

void CControlUI::SetBorderColor(DWORD argb) {
    if (m_borderColor == argb) return;
    m_borderColor = argb;
    Repaint();
}

void CControlUI::SetBorderSize(int size) {
    size = ClampGeometry(size);
    if (size < 0 || m_borderSize == size) return;
    m_borderSize = size;
    Repaint();
}

void CControlUI::SetBackImage(const CUIString& spec) {
    if (m_backImage == spec) return;
    m_backImage = spec;
    Repaint();
}

DWORD CControlUI::AdjustedColor(DWORD argb) const {
    if (!m_colorHsl || m_manager == nullptr) return argb;
    return m_manager->ShiftColor(argb);
}

void CControlUI::Repaint() {
    if (m_manager != nullptr) m_manager->InvalidateArea(m_bounds);
}

void CControlUI::RequestRelayout() {
    if (!IsShown()) return;
    m_needsLayout = true;
    if (m_manager != nullptr) m_manager->RequestLayoutPass();
    Repaint();
}

void CControlUI::RequestParentRelayout() {
    if (m_parent != nullptr) {
        m_parent->RequestRelayout();
        m_parent->Repaint();
    } else {
        m_needsLayout = true;
        if (m_manager != nullptr) m_manager->RequestLayoutPass();
    }
    Repaint();
}

void CControlUI::HandleEvent(UIEventRecord& event) {
    switch (event.type) {
        case UIEventType::SetCursor:
            if (m_manager != nullptr) m_manager->SetCursorShape(UICursor::Arrow);
            return;
        case UIEventType::SetFocus:
            m_focused = true;
            Repaint();
            return;
        case UIEventType::KillFocus:
            m_focused = false;
            Repaint();
            return;
        case UIEventType::Timer:
            if (m_manager != nullptr) m_manager->RaiseNotify(this, L"timer", event.wParam, event.lParam);
            return;
        case UIEventType::ContextMenu:
            if (m_manager != nullptr) m_manager->RaiseNotify(this, L"menu", event.wParam, event.lParam);
            return;
        default:
            break;
    }
    if (m_parent != nullptr) m_parent->HandleEvent(event);
}

bool CControlUI::Trigger() {
    return IsShown() && IsUsable();
}

void CControlUI::ApplyAttribute(std::wstring_view name, std::wstring_view value) {
    RECT rect{};
    DWORD color = 0;
    int number = 0;
    if (name == L"name") {
        m_name = CUIString(value);
    } else if (name == L"text") {
        SetCaption(CUIString(value));
    } else if (name == L"tooltip") {
        m_tooltip = CUIString(value);
    } else if (name == L"userdata") {
        m_userData = CUIString(value);
    } else if (name == L"pos") {
        if (!ParseRect(value, &rect)) return;
        m_floatPos = ClampGeometry(rect);
        SetPresetWidth(std::max<LONG>(0, m_floatPos.right - m_floatPos.left));
        SetPresetHeight(std::max<LONG>(0, m_floatPos.bottom - m_floatPos.top));
    } else if (name == L"padding") {
        if (ParseRect(value, &rect)) SetOuterMargin(rect);
    } else if (name == L"width") {
        if (ParseInt(value, &number)) SetPresetWidth(number);
    } else if (name == L"height") {
        if (ParseInt(value, &number)) SetPresetHeight(number);
    } else if (name == L"minwidth") {
        if (ParseInt(value, &number)) SetWidthFloor(number);
    } else if (name == L"maxwidth") {
        if (ParseInt(value, &number)) SetWidthCeiling(number);
    } else if (name == L"minheight") {
        if (ParseInt(value, &number)) SetHeightFloor(number);
    } else if (name == L"maxheight") {
        if (ParseInt(value, &number)) SetHeightCeiling(number);
    } else if (name == L"bkcolor") {
        if (ParseColor(value, &color)) SetBackColor(color);
    } else if (name == L"bordercolor") {
        if (ParseColor(value, &color)) SetBorderColor(color);
    } else if (name == L"bordersize") {
        if (ParseInt(value, &number)) SetBorderSize(number);
    } else if (name == L"bkimage") {
        SetBackImage(CUIString(value));
    } else if (name == L"colorhsl") {
        m_colorHsl = ParseBool(value);
        Repaint();
    } else if (name == L"enabled") {
        SetUsable(ParseBool(value));
    } else if (name == L"mouse") {
        SetAcceptsMouse(ParseBool(value));
    } else if (name == L"visible") {
        Show(ParseBool(value));
    } else if (name == L"float") {
        double anchors[4];
        if (ParseAnchors(value, anchors)) {
            std::copy(anchors, anchors + 4, m_floatAnchors);
            SetFloating(true);
        } else {
            SetFloating(ParseBool(value));
        }
    }
}

bool CControlUI::ApplyAttributeText(std::wstring_view text) {
    std::vector<UIAttribute> pairs;
    const bool ok = ParseAttributeText(text, &pairs);
    for (const UIAttribute& pair : pairs)
        ApplyAttribute(pair.name, pair.value);
    return ok;
}

bool CControlUI::Render(HDC hdc, const RECT& paintRect) {
    if (!IntersectRects(&m_paintRect, paintRect, m_bounds)) return false;
    CUIRenderClip clip;
    clip.ClipToRect(hdc, m_paintRect);
    RenderBackColor(hdc);
    RenderBackImage(hdc);
    RenderStateImage(hdc);
    RenderCaption(hdc);
    RenderFrame(hdc);
    return true;
}

void CControlUI::RenderBackColor(HDC hdc) {
    if (m_backColor != 0) CUIRenderEngine::FillColor(hdc, m_paintRect, AdjustedColor(m_backColor));
}

void CControlUI::RenderBackImage(HDC hdc) {
    if (!m_backImage.IsEmpty()) DrawSkinImage(hdc, m_backImage);
}

void CControlUI::RenderStateImage(HDC /*hdc*/) {}

void CControlUI::RenderCaption(HDC /*hdc*/) {}

void CControlUI::RenderFrame(HDC hdc) {
    if (m_borderSize > 0 && m_borderColor != 0) {
        CUIRenderEngine::StrokeRect(hdc, m_bounds, m_borderSize, AdjustedColor(m_borderColor));
    }
}

bool CControlUI::DrawSkinImage(HDC hdc, const CUIString& spec, const wchar_t* modifier) {
    if (hdc == nullptr || m_manager == nullptr) return false;
    return CUIRenderEngine::DrawImageSpec(hdc, m_manager, m_bounds, m_paintRect, spec.View(),
                                          modifier != nullptr ? std::wstring_view(modifier) : std::wstring_view());
}

bool CControlUI::DrawSkinImageAt(HDC hdc, const CUIString& spec, const RECT& dest) {
    if (hdc == nullptr || m_manager == nullptr) return false;
    return CUIRenderEngine::DrawImageSpecAt(hdc, m_manager, m_bounds, m_paintRect, spec.View(), dest);
}

bool CControlUI::DrawSkinImageOrForget(HDC hdc, CUIString& image, const wchar_t* modifier) {
    if (image.IsEmpty()) return false;
    if (DrawSkinImage(hdc, image, modifier)) return true;
    image.Clear();
    return false;
}

}  // namespace SkinUI
