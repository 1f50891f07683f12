#include "platform/textservices/UndoStack.h"

namespace platform::textservices {

namespace {

// Moves the newest record of `from` to `to`, with a copy in `out`; false when `from` is empty.
bool MoveNewest(std::deque<UndoRecord>& from, std::deque<UndoRecord>& to, UndoRecord* out) {
    if (from.empty()) return false;
    *out = from.back();
    to.push_back(std::move(from.back()));
    from.pop_back();
    return true;
}

}  // namespace

bool CUndoStack::Merge(const UndoRecord& record) {
    if (!m_mergeOpen || m_undo.empty() || record.kind == UndoRecord::Kind::Other) return false;
    UndoRecord& last = m_undo.back();
    if (last.kind != record.kind) return false;
    switch (record.kind) {
        case UndoRecord::Kind::Typing:
            if (!record.removed.empty() || record.start != last.start + static_cast<int>(last.inserted.size())) {
                return false;
            }
            last.inserted += record.inserted;
            return true;
        case UndoRecord::Kind::Backspace:
            if (!record.inserted.empty() || record.start + static_cast<int>(record.removed.size()) != last.start) {
                return false;
            }
            last.start = record.start;
            last.removed.insert(0, record.removed);
            return true;
        case UndoRecord::Kind::Delete:
            if (!record.inserted.empty() || record.start != last.start) return false;
            last.removed += record.removed;
            return true;
        case UndoRecord::Kind::Other:
            break;
    }
    return false;
}

void CUndoStack::Record(UndoRecord record) {
    m_redo.clear();
    if (Merge(record)) return;
    m_mergeOpen = record.kind != UndoRecord::Kind::Other;
    m_undo.push_back(std::move(record));
    while (m_undo.size() > m_limit)
        m_undo.pop_front();
}

bool CUndoStack::TakeUndo(UndoRecord* out) {
    m_mergeOpen = false;
    return MoveNewest(m_undo, m_redo, out);
}

bool CUndoStack::TakeRedo(UndoRecord* out) {
    m_mergeOpen = false;
    return MoveNewest(m_redo, m_undo, out);
}

void CUndoStack::Clear() {
    m_undo.clear();
    m_redo.clear();
    m_mergeOpen = false;
}

}  // namespace platform::textservices
