#include "commonlib/thread/Lock.h"

#include <cassert>

CLock::CLock() {
    InitializeCriticalSection(&m_section);
}

CLock::~CLock() {
    DeleteCriticalSection(&m_section);
}

void CLock::Lock() {
    EnterCriticalSection(&m_section);
    m_count.fetch_add(1, std::memory_order_relaxed);
}

void CLock::Unlock() {
    [[maybe_unused]] const int before = m_count.fetch_sub(1, std::memory_order_relaxed);
    assert(before > 0 && "CLock::Unlock without a matching Lock");
    LeaveCriticalSection(&m_section);
}
