#include "ui/controls/ListElementUI.h"

#include "platform/window/WinMessages.h"
#include "ui/core/PaintManager.h"
#include "ui/render/RenderClip.h"
#include "ui/render/RenderEngine.h"

namespace SkinUI {

namespace {

// Room above and below one line of text in a row without a height of its own.
constexpr int kRowTextRoom = 8;
// Wide enough for any one line a row shows.
constexpr int kMeasureWidth = 9999;

}  // namespace

void* CListElementUI::QueryFacet(std::wstring_view name) {
    if (name == L"ListElement") return this;
    return CListRowUI::QueryFacet(name);
}

bool CListElementUI::Render(HDC hdc, const RECT& paintRect) {
    if (!IntersectRects(&m_paintRect, paintRect, m_bounds)) return false;
    CUIRenderClip clip;
    clip.ClipToRect(hdc, m_paintRect);
    DrawRowBackground(hdc);
    DrawItemText(hdc, m_bounds);
    return true;
}

void CListElementUI::HandleSharedEvent(UIEventRecord& event) {
    const bool mouseIgnored = IsMouseEvent(event.type) && !AcceptsMouse();
    if (!mouseIgnored) {
        if (event.type == UIEventType::DoubleClick) {
            if (IsUsable()) {
                Trigger();
                Repaint();
            }
            return;
        }
        if (event.type == UIEventType::KeyDown && event.key == VK_RETURN && IsUsable()) {
            Trigger();
            Repaint();
            return;
        }
    }
    if (m_owner != nullptr) {
        m_owner->HandleItemEvent(event);
    } else {
        CControlUI::HandleEvent(event);
    }
}

// --- CListLabelElementUI ---

const wchar_t* CListLabelElementUI::GetClassTag() const {
    return L"ListLabelElementUI";
}

void* CListLabelElementUI::QueryFacet(std::wstring_view name) {
    if (name == L"ListLabelElement") return this;
    return CListElementUI::QueryFacet(name);
}

void CListLabelElementUI::HandleEvent(UIEventRecord& event) {
    if (IsMouseEvent(event.type) && !AcceptsMouse()) {
        if (m_owner != nullptr) {
            m_owner->HandleItemEvent(event);
        } else {
            HandleSharedEvent(event);
        }
        return;
    }
    switch (event.type) {
        case UIEventType::ButtonDown:
        case UIEventType::RightButtonDown:
            if (IsUsable()) {
                if (m_manager != nullptr) m_manager->RaiseNotify(this, L"itemclick");
                Select(true);
                Repaint();
            }
            return;
        case UIEventType::MouseMove:
        case UIEventType::ButtonUp:
            return;
        case UIEventType::MouseEnter:
            if (IsUsable()) {
                m_state |= kStateHot;
                Repaint();
            }
            return;
        case UIEventType::MouseLeave:
            if ((m_state & kStateHot) != 0) {
                m_state &= ~kStateHot;
                Repaint();
            }
            return;
        default:
            break;
    }
    HandleSharedEvent(event);
}

SIZE CListLabelElementUI::MeasureDesired(SIZE /*available*/) {
    if (m_owner == nullptr) return SIZE{0, 0};
    const UIListStyle& style = *m_owner->GetListStyle();
    SIZE size{GetPresetWidth(), GetPresetHeight()};
    if (m_manager == nullptr) return size;
    const RECT& padding = style.textPadding;
    if (size.cy == 0) {
        const UIFontRecord* font = m_manager->FontRecordAt(style.font);
        size.cy = ClampGeometry(static_cast<long long>(font != nullptr ? font->tm.tmHeight : 0) + kRowTextRoom +
                                padding.top + padding.bottom);
    }
    if (size.cx == 0) {
        RECT area{0, 0, kMeasureWidth, m_bounds.bottom - m_bounds.top};
        const UINT format = (style.textStyle & ~(DT_CENTER | DT_RIGHT)) | DT_CALCRECT | DT_SINGLELINE;
        CUIRenderEngine::DrawPlainOrMarkedText(m_manager->MeasureDC(), m_manager, area, m_text.View(), 0, style.font,
                                               format, style.showHtml);
        size.cx = ClampGeometry(static_cast<long long>(area.right) - area.left + padding.left + padding.right);
    }
    return size;
}

void CListLabelElementUI::DrawItemText(HDC hdc, const RECT& rect) {
    if (m_text.IsEmpty() || m_owner == nullptr) return;
    const UIListStyle& style = *m_owner->GetListStyle();
    const DWORD color = RowTextColor(style);
    RECT area{rect.left + style.textPadding.left, rect.top + style.textPadding.top,
              rect.right - style.textPadding.right, rect.bottom - style.textPadding.bottom};
    CUIRenderEngine::DrawPlainOrMarkedText(hdc, m_manager, area, m_text.View(), color, style.font,
                                           style.textStyle | DT_SINGLELINE, style.showHtml);
}

}  // namespace SkinUI
