#include "platform/sync/Wait.h"

#include <algorithm>
#include <vector>

#include "platform/types/ErrorCodes.h"

namespace platform {
namespace {

struct SignalBoard {
    std::mutex mutex;
    std::condition_variable changed;
    unsigned long long generation = 0;
};

SignalBoard& Board() {
    static SignalBoard* board = new SignalBoard;  // signalled from threads that may outlive static destructors
    return *board;
}

}  // namespace

void NotifyWaiters() {
    SignalBoard& board = Board();
    {
        std::lock_guard lock(board.mutex);
        ++board.generation;
    }
    board.changed.notify_all();
}

}  // namespace platform

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD timeoutMs) {
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    if (waitAll) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<platform::KernelObject>> objects;
    objects.reserve(count);
    for (DWORD i = 0; i < count; ++i) {
        auto object = platform::LookupKernelObject(handles[i]);
        if (!object) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        objects.push_back(std::move(object));
    }

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    platform::SignalBoard& board = platform::Board();
    for (;;) {
        unsigned long long seen;
        {
            std::lock_guard lock(board.mutex);
            seen = board.generation;
        }
        // Reading the generation before the checks means a signal between a check and
        // the sleep below still ends the sleep.
        for (DWORD i = 0; i < count; ++i) {
            if (objects[i]->WaitSignalled(0)) return WAIT_OBJECT_0 + i;
        }
        auto slice = std::chrono::milliseconds(platform::kMultiWaitPollMs);
        if (timeoutMs != INFINITE) {
            const auto now = Clock::now();
            if (now >= deadline) return WAIT_TIMEOUT;
            slice = std::min(slice, std::chrono::ceil<std::chrono::milliseconds>(deadline - now));
        }
        std::unique_lock lock(board.mutex);
        board.changed.wait_for(lock, slice, [&] { return board.generation != seen; });
    }
}
