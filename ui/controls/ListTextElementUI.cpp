#include "ui/controls/ListTextElementUI.h"

#include <algorithm>

#include "ui/core/PaintManager.h"
#include "ui/render/RenderEngine.h"

namespace SkinUI {

namespace {

constexpr int kRowTextRoom = 8;

}  // namespace

CListTextElementUI::~CListTextElementUI() {
    for (int i = 0; i < m_columnTexts.Count(); ++i)
        delete static_cast<CUIString*>(m_columnTexts.ItemAt(i));
}

const wchar_t* CListTextElementUI::GetClassTag() const {
    return L"ListTextElementUI";
}

void* CListTextElementUI::QueryFacet(std::wstring_view name) {
    if (name == L"ListTextElement") return this;
    return CListLabelElementUI::QueryFacet(name);
}

UINT CListTextElementUI::GetBehaviourFlags() const {
    UINT flags = CListLabelElementUI::GetBehaviourFlags();
    if (IsUsable() && m_linkCount > 0) flags |= kBehaviourWantsSetCursor;
    return flags;
}

void CListTextElementUI::SetOwner(CControlUI* owner) {
    CListLabelElementUI::SetOwner(owner);
    m_list = owner != nullptr ? static_cast<IListUI*>(owner->QueryFacet(L"IList")) : nullptr;
}

void CListTextElementUI::SetColumnText(int column, const CUIString& text) {
    // Columns past the last one a list can have are never drawn.
    if (column < 0 || column >= kMaxListColumns) return;
    while (m_columnTexts.Count() <= column)
        m_columnTexts.Append(nullptr);
    auto* slot = static_cast<CUIString*>(m_columnTexts.ItemAt(column));
    if (slot == nullptr) {
        m_columnTexts.RemoveAt(column);
        m_columnTexts.InsertAt(column, new CUIString(text));
    } else {
        *slot = text;
    }
    Repaint();
}

CUIString CListTextElementUI::GetColumnText(int column) const {
    const auto* text = static_cast<const CUIString*>(m_columnTexts.ItemAt(column));
    return text != nullptr ? *text : CUIString();
}

int CListTextElementUI::LinkAt(POINT pt) const {
    for (int i = 0; i < m_linkCount; ++i) {
        if (RectContains(m_linkRects[i], pt)) return i;
    }
    return -1;
}

void CListTextElementUI::HandleEvent(UIEventRecord& event) {
    if (IsMouseEvent(event.type) && !AcceptsMouse()) {
        if (m_list != nullptr) {
            m_list->HandleItemEvent(event);
        } else {
            CListLabelElementUI::HandleEvent(event);
        }
        return;
    }
    if (m_linkCount > 0) {
        switch (event.type) {
            case UIEventType::SetCursor:
                if (LinkAt(event.mouse) >= 0) {
                    if (m_manager != nullptr) m_manager->SetCursorShape(UICursor::Hand);
                    return;
                }
                break;
            case UIEventType::ButtonUp:
                if (IsUsable()) {
                    const int link = LinkAt(event.mouse);
                    if (link >= 0) {
                        if (m_manager != nullptr) m_manager->RaiseNotify(this, L"link", static_cast<WPARAM>(link));
                        return;
                    }
                }
                break;
            case UIEventType::MouseMove: {
                const int link = LinkAt(event.mouse);
                if (link != m_hotLink) {
                    Repaint();
                    m_hotLink = link;
                }
                break;
            }
            case UIEventType::MouseLeave:
                if (m_hotLink >= 0) {
                    Repaint();
                    m_hotLink = -1;
                }
                break;
            default:
                break;
        }
    }
    CListLabelElementUI::HandleEvent(event);
}

SIZE CListTextElementUI::MeasureDesired(SIZE /*available*/) {
    SIZE size{GetPresetWidth(), GetPresetHeight()};
    if (size.cy == 0 && m_manager != nullptr && m_list != nullptr) {
        const UIListStyle& style = *m_list->GetListStyle();
        const UIFontRecord* font = m_manager->FontRecordAt(style.font);
        size.cy = ClampGeometry(static_cast<long long>(font != nullptr ? font->tm.tmHeight : 0) + kRowTextRoom +
                                style.textPadding.top + style.textPadding.bottom);
    }
    return size;
}

void CListTextElementUI::DrawItemText(HDC hdc, const RECT& rect) {
    if (m_list == nullptr) return;
    const UIListStyle& style = *m_list->GetListStyle();
    const DWORD color = RowTextColor(style);
    const UINT format = style.textStyle | DT_SINGLELINE;
    const RECT& padding = style.textPadding;
    IListTextProvider* provider = m_list->GetTextProvider();
    m_linkCount = 0;
    for (int column = 0; column < style.columnCount; ++column) {
        const RECT& place = style.columns[column];
        RECT cell{place.left + padding.left, rect.top + padding.top, place.right - padding.right,
                  rect.bottom - padding.bottom};
        const CUIString text =
            provider != nullptr ? CUIString(provider->GetItemText(this, m_index, column)) : GetColumnText(column);
        if (style.showHtml) {
            const int free = kMaxLinks - m_linkCount;
            int found = free;
            if (!CUIRenderEngine::DrawMarkedText(hdc, m_manager, cell, text.View(), color, m_linkRects + m_linkCount,
                                                 m_linkTexts + m_linkCount, found, format)) {
                found = 0;
            }
            m_linkCount += std::clamp(found, 0, free);
        } else if (!text.IsEmpty()) {
            CUIRenderEngine::DrawPlainText(hdc, m_manager, cell, text.View(), color, style.font, format);
        }
    }
    for (int i = m_linkCount; i < kMaxLinks; ++i) {
        m_linkRects[i] = RECT{};
        m_linkTexts[i].Clear();
    }
}

}  // namespace SkinUI
