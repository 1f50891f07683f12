#include "platform/window/Accelerator.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <vector>

#include "platform/types/ErrorCodes.h"

namespace {

struct AcceleratorTables {
    std::mutex mutex;
    std::map<HACCEL, std::vector<ACCEL>> tables;
    std::uintptr_t next = 1;
};

AcceleratorTables& Tables() {
    static AcceleratorTables* tables = new AcceleratorTables;  // handles may be destroyed at exit
    return *tables;
}

}  // namespace

HACCEL CreateAcceleratorTableW(const ACCEL* entries, int count) {
    if (entries == nullptr || count <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    AcceleratorTables& t = Tables();
    std::lock_guard lock(t.mutex);
    // Handles are numbers, never addresses: a destroyed handle can never name a new table.
    const auto handle = reinterpret_cast<HACCEL>(t.next++);
    t.tables.emplace(handle, std::vector<ACCEL>(entries, entries + count));
    return handle;
}

int CopyAcceleratorTableW(HACCEL table, ACCEL* entries, int count) {
    AcceleratorTables& t = Tables();
    std::lock_guard lock(t.mutex);
    const auto it = t.tables.find(table);
    if (it == t.tables.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    const int size = static_cast<int>(it->second.size());
    if (entries == nullptr) return size;
    const int copied = std::clamp(count, 0, size);
    std::copy_n(it->second.begin(), copied, entries);
    return copied;
}

BOOL DestroyAcceleratorTable(HACCEL table) {
    AcceleratorTables& t = Tables();
    std::lock_guard lock(t.mutex);
    if (t.tables.erase(table) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
