#include "ui/controls/ExpandListUI.h"

namespace SkinUI {

CExpandListUI::CExpandListUI() : m_root(std::make_unique<ExpandListNode>()) {}

CExpandListUI::~CExpandListUI() = default;

void CExpandListUI::HandleEvent(UIEventRecord& event) {
    if (IsMouseEvent(event.type) && !AcceptsMouse()) {
        if (m_parent != nullptr) {
            m_parent->HandleEvent(event);
        } else {
            CVerticalLayoutUI::HandleEvent(event);
        }
        return;
    }
    CListUI::HandleEvent(event);
}

void CExpandListUI::HandleItemEvent(UIEventRecord& event) {
    CExpandListUI::HandleEvent(event);
}

void CExpandListUI::RemoveAllChildren() {
    CListUI::RemoveAllChildren();
    m_root = std::make_unique<ExpandListNode>();
}

}  // namespace SkinUI
