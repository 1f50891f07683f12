#include "ui/core/UIPtrArray.h"

#include <algorithm>

namespace SkinUI {

CUIPtrArray::CUIPtrArray(int reserve) {
    if (reserve > 0) m_items.reserve(static_cast<size_t>(reserve));
}

bool CUIPtrArray::Append(void* item) {
    m_items.push_back(item);
    return true;
}

bool CUIPtrArray::InsertAt(int index, void* item) {
    if (index < 0 || index > Count()) return false;
    m_items.insert(m_items.begin() + index, item);
    return true;
}

void* CUIPtrArray::ItemAt(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return m_items[static_cast<size_t>(index)];
}

int CUIPtrArray::IndexOf(const void* item) const {
    const auto found = std::find(m_items.begin(), m_items.end(), item);
    return found == m_items.end() ? -1 : static_cast<int>(found - m_items.begin());
}

bool CUIPtrArray::RemoveAt(int index) {
    if (index < 0 || index >= Count()) return false;
    m_items.erase(m_items.begin() + index);
    return true;
}

void CUIPtrArray::Clear() {
    m_items.clear();
}

}  // namespace SkinUI
