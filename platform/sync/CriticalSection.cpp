#include "platform/sync/CriticalSection.h"

#include <cassert>

#include "platform/sync/Thread.h"

namespace {

void NoteEntered(CRITICAL_SECTION* section) {
    if (section->RecursionCount++ == 0) section->OwningThread.store(GetCurrentThreadId());
}

}  // namespace

void InitializeCriticalSection(CRITICAL_SECTION* section) {
    assert(section && section->OwningThread.load() == 0);
    section->RecursionCount = 0;
}

void EnterCriticalSection(CRITICAL_SECTION* section) {
    section->Mutex.lock();
    NoteEntered(section);
}

BOOL TryEnterCriticalSection(CRITICAL_SECTION* section) {
    if (!section->Mutex.try_lock()) return FALSE;
    NoteEntered(section);
    return TRUE;
}

void LeaveCriticalSection(CRITICAL_SECTION* section) {
    const bool owner = section->OwningThread.load() == GetCurrentThreadId();
    assert(owner && "LeaveCriticalSection by a thread that does not hold the section");
    if (!owner) return;
    if (--section->RecursionCount == 0) section->OwningThread.store(0);
    section->Mutex.unlock();
}

void DeleteCriticalSection(CRITICAL_SECTION* section) {
    assert(section && section->OwningThread.load() == 0 && "DeleteCriticalSection while held");
    (void)section;
}
