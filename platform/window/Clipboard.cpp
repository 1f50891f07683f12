#include "platform/window/Clipboard.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/types/ErrorCodes.h"
#include "platform/window/MessageQueue.h"

namespace platform {

namespace {

struct Block {
    std::vector<std::uint8_t> bytes;
    int locks = 0;
};

struct Blocks {
    std::mutex mutex;
    std::unordered_map<HGLOBAL, std::unique_ptr<Block>> live;
    // Handles come from a counter, not from addresses the allocator may hand out again,
    // so a freed handle can never reach a newer block.
    uintptr_t nextHandle = 0x10000;
};

Blocks& AllBlocks() {
    static auto* blocks = new Blocks;
    return *blocks;
}

struct ClipboardState {
    std::mutex mutex;
    DWORD openedBy = 0;  // thread id, 0 when closed
    HWND openWindow = nullptr;
    HWND owner = nullptr;
    std::map<UINT, HGLOBAL> data;
};

ClipboardState& Board() {
    static auto* board = new ClipboardState;
    return *board;
}

bool FreeBlock(HGLOBAL memory) {
    auto& blocks = AllBlocks();
    std::lock_guard lock(blocks.mutex);
    return blocks.live.erase(memory) > 0;
}

bool IsLiveBlock(HGLOBAL memory) {
    auto& blocks = AllBlocks();
    std::lock_guard lock(blocks.mutex);
    return blocks.live.count(memory) > 0;
}

// Caller holds the blocks' lock; sets ERROR_INVALID_HANDLE when `memory` is not a live block.
Block* LiveBlockOrFail(Blocks& blocks, HGLOBAL memory) {
    auto it = blocks.live.find(memory);
    if (it != blocks.live.end()) return it->second.get();
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

// Caller holds the board's lock.
bool OpenedHere(const ClipboardState& board) {
    if (board.openedBy == MessageQueue::CurrentThreadId()) return true;
    SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
    return false;
}

}  // namespace

}  // namespace platform

using platform::AllBlocks;
using platform::Board;

HGLOBAL GlobalAlloc(UINT flags, size_t bytes) {
    if (flags & ~(GMEM_MOVEABLE | GMEM_ZEROINIT)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto block = std::make_unique<platform::Block>();
    block->bytes.assign(bytes == 0 ? 1 : bytes, 0);  // zeroed whatever the flags: never hand out stale bytes
    auto& blocks = AllBlocks();
    std::lock_guard lock(blocks.mutex);
    blocks.nextHandle += 8;
    auto handle = reinterpret_cast<HGLOBAL>(blocks.nextHandle);
    blocks.live.emplace(handle, std::move(block));
    return handle;
}

HGLOBAL GlobalFree(HGLOBAL memory) {
    if (!memory) return nullptr;
    if (!platform::FreeBlock(memory)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return memory;
    }
    return nullptr;
}

LPVOID GlobalLock(HGLOBAL memory) {
    auto& blocks = AllBlocks();
    std::lock_guard lock(blocks.mutex);
    auto* block = platform::LiveBlockOrFail(blocks, memory);
    if (!block) return nullptr;
    ++block->locks;
    return block->bytes.data();
}

BOOL GlobalUnlock(HGLOBAL memory) {
    auto& blocks = AllBlocks();
    std::lock_guard lock(blocks.mutex);
    auto* block = platform::LiveBlockOrFail(blocks, memory);
    if (!block) return FALSE;
    if (block->locks == 0) {
        SetLastError(ERROR_NOT_LOCKED);
        return FALSE;
    }
    if (--block->locks > 0) return TRUE;
    SetLastError(ERROR_SUCCESS);
    return FALSE;
}

size_t GlobalSize(HGLOBAL memory) {
    auto& blocks = AllBlocks();
    std::lock_guard lock(blocks.mutex);
    auto* block = platform::LiveBlockOrFail(blocks, memory);
    return block ? block->bytes.size() : 0;
}

BOOL OpenClipboard(HWND owner) {
    auto& board = Board();
    std::lock_guard lock(board.mutex);
    const DWORD self = platform::MessageQueue::CurrentThreadId();
    if (board.openedBy && board.openedBy != self) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    board.openedBy = self;
    board.openWindow = owner;
    return TRUE;
}

BOOL CloseClipboard() {
    auto& board = Board();
    std::lock_guard lock(board.mutex);
    if (!platform::OpenedHere(board)) return FALSE;
    board.openedBy = 0;
    board.openWindow = nullptr;
    return TRUE;
}

BOOL EmptyClipboard() {
    std::map<UINT, HGLOBAL> old;
    {
        auto& board = Board();
        std::lock_guard lock(board.mutex);
        if (!platform::OpenedHere(board)) return FALSE;
        old.swap(board.data);
        board.owner = board.openWindow;
    }
    for (const auto& [format, memory] : old)
        platform::FreeBlock(memory);
    return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE memory) {
    auto handle = static_cast<HGLOBAL>(memory);
    if (!handle || !platform::IsLiveBlock(handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    HGLOBAL previous = nullptr;
    {
        auto& board = Board();
        std::lock_guard lock(board.mutex);
        if (!platform::OpenedHere(board)) return nullptr;
        auto& slot = board.data[format];
        previous = slot;
        slot = handle;
    }
    if (previous && previous != handle) platform::FreeBlock(previous);
    return memory;
}

HANDLE GetClipboardData(UINT format) {
    auto& board = Board();
    std::lock_guard lock(board.mutex);
    if (!platform::OpenedHere(board)) return nullptr;
    auto it = board.data.find(format);
    if (it == board.data.end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return it->second;
}

BOOL IsClipboardFormatAvailable(UINT format) {
    auto& board = Board();
    std::lock_guard lock(board.mutex);
    return board.data.count(format) ? TRUE : FALSE;
}

HWND GetClipboardOwner() {
    auto& board = Board();
    std::lock_guard lock(board.mutex);
    return board.owner;
}
