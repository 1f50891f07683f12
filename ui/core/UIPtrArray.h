// The framework's growable array of untyped pointers (filter lists, child lists, row texts).
//
// Owned by one thread, usually the UI thread; no locking. The array never owns what its
// entries point at: whoever stores a pointer frees it. Out-of-range indexes are refused
// (false or null), never read or written.
#pragma once

#include <vector>

namespace SkinUI {

class CUIPtrArray {
public:
    CUIPtrArray() = default;
    explicit CUIPtrArray(int reserve);

    int Count() const { return static_cast<int>(m_items.size()); }
    bool IsEmpty() const { return m_items.empty(); }

    bool Append(void* item);
    // `index` may equal Count(), which appends; anything else outside 0..Count() is refused.
    bool InsertAt(int index, void* item);
    // Null outside 0..Count()-1.
    void* ItemAt(int index) const;
    void* operator[](int index) const { return ItemAt(index); }
    // First position of `item`, or -1.
    int IndexOf(const void* item) const;
    // Closes the gap; false outside 0..Count()-1.
    bool RemoveAt(int index);
    void Clear();

private:
    std::vector<void*> m_items;
};

}  // namespace SkinUI
