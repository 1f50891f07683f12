#include "ui/core/UIStringPtrMap.h"

namespace SkinUI {

bool CUIStringPtrMap::Insert(std::wstring_view key, void* value) {
    if (m_index.find(key) != m_index.end()) return false;
    m_entries.push_back(Entry{std::wstring(key), value});
    m_index.emplace(std::wstring(key), m_entries.size() - 1);
    return true;
}

void* CUIStringPtrMap::Set(std::wstring_view key, void* value) {
    const auto found = m_index.find(key);
    if (found == m_index.end()) {
        Insert(key, value);
        return nullptr;
    }
    void* old = m_entries[found->second].value;
    m_entries[found->second].value = value;
    return old;
}

void* CUIStringPtrMap::Find(std::wstring_view key) const {
    const auto found = m_index.find(key);
    return found == m_index.end() ? nullptr : m_entries[found->second].value;
}

bool CUIStringPtrMap::Contains(std::wstring_view key) const {
    return m_index.find(key) != m_index.end();
}

bool CUIStringPtrMap::Remove(std::wstring_view key) {
    const auto found = m_index.find(key);
    if (found == m_index.end()) return false;
    const size_t position = found->second;
    m_index.erase(found);
    m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(position));
    for (auto& entry : m_index) {
        if (entry.second > position) --entry.second;
    }
    return true;
}

void CUIStringPtrMap::Clear() {
    m_entries.clear();
    m_index.clear();
}

void* CUIStringPtrMap::ValueAt(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return m_entries[static_cast<size_t>(index)].value;
}

}  // namespace SkinUI
