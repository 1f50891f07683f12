// The framework's map from wide-string keys to untyped pointers (fonts, images, named
// controls, "Default" attribute lists).
//
// Owned by one thread, usually the UI thread; no locking. Keys are compared exactly (case
// matters). The map never owns the values. Iteration by index visits the entries in the
// order they were first inserted; removing an entry shifts the later ones down by one.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace SkinUI {

class CUIStringPtrMap {
public:
    int Count() const { return static_cast<int>(m_entries.size()); }
    bool IsEmpty() const { return m_entries.empty(); }

    // Adds a new key; false (nothing changed) when the key is already there.
    bool Insert(std::wstring_view key, void* value);
    // Adds or replaces; returns the value the key had before, or null.
    void* Set(std::wstring_view key, void* value);
    // Null when absent.
    void* Find(std::wstring_view key) const;
    bool Contains(std::wstring_view key) const;
    bool Remove(std::wstring_view key);
    void Clear();

    // Entry `index` in insertion order; null outside 0..Count()-1.
    void* ValueAt(int index) const;

private:
    struct Entry {
        std::wstring key;
        void* value;
    };
    struct KeyHash {
        using is_transparent = void;
        size_t operator()(std::wstring_view key) const { return std::hash<std::wstring_view>()(key); }
    };

    std::vector<Entry> m_entries;
    // Key -> position in m_entries.
    std::unordered_map<std::wstring, size_t, KeyHash, std::equal_to<>> m_index;
};

}  // namespace SkinUI
