// Undo and redo of text edits for the text services.
//
// An edit is recorded as the text it removed and the text it inserted at one
// position, so undoing puts the removed text back and redoing repeats the
// insertion. Consecutive typing, Backspace or Delete presses merge into one
// record until something else happens (StopMerging). A new record drops the
// redo side. Owned by one text-services object, on its thread.
#pragma once

#include <deque>
#include <string>

namespace platform::textservices {

struct UndoRecord {
    enum class Kind { Other, Typing, Backspace, Delete };
    int start = 0;
    std::wstring removed;
    std::wstring inserted;
    Kind kind = Kind::Other;
};

class CUndoStack {
public:
    static constexpr size_t kDefaultLimit = 100;

    void Record(UndoRecord record);
    void StopMerging() { m_mergeOpen = false; }
    bool CanUndo() const { return !m_undo.empty(); }
    bool CanRedo() const { return !m_redo.empty(); }
    // The record to undo (moved to the redo side), or false when there is none.
    bool TakeUndo(UndoRecord* out);
    bool TakeRedo(UndoRecord* out);
    void Clear();

private:
    bool Merge(const UndoRecord& record);

    std::deque<UndoRecord> m_undo;
    std::deque<UndoRecord> m_redo;
    bool m_mergeOpen = false;
    size_t m_limit = kDefaultLimit;
};

}  // namespace platform::textservices
