#include "platform/textservices/UndoStack.h"

namespace platform::textservices {

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
    if (m_undo.empty()) return false;
    *out = m_undo.back();
    m_redo.push_back(std::move(m_undo.back()));
    m_undo.pop_back();
    return true;
}

bool CUndoStack::TakeRedo(UndoRecord* out) {
    m_mergeOpen = false;
    if (m_redo.empty()) return false;
    *out = m_redo.back();
    m_undo.push_back(std::move(m_redo.back()));
    m_redo.pop_back();
    return true;
}

void CUndoStack::Clear() {
    m_undo.clear();
    m_redo.clear();
    m_mergeOpen = false;
}

}  // namespace platform::textservices
