#include "platform/window/Clipboard.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "WindowTestSupport.h"
#include "platform/types/ErrorCodes.h"

using windowtest::OnFreshThread;

namespace {

HGLOBAL WideBlock(const std::wstring& text) {
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    std::memcpy(GlobalLock(memory), text.c_str(), bytes);
    GlobalUnlock(memory);
    return memory;
}

}  // namespace

TEST(ClipboardTest, TextRoundTripsWhileOpenAndBelongsToTheClipboard) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    ASSERT_TRUE(EmptyClipboard());
    HGLOBAL memory = WideBlock(L"复制的文字");
    EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, memory), memory);
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(GlobalLock(static_cast<HGLOBAL>(data)))), L"复制的文字");
    GlobalUnlock(static_cast<HGLOBAL>(data));
    EXPECT_EQ(GetClipboardData(CF_TEXT), nullptr);

    // Another thread cannot open it meanwhile.
    OnFreshThread([] {
        EXPECT_FALSE(OpenClipboard(nullptr));
        EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    });
    ASSERT_TRUE(CloseClipboard());

    // Closed: reading and writing fail; the data stays for the next opener.
    EXPECT_EQ(GetClipboardData(CF_UNICODETEXT), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_CLIPBOARD_NOT_OPEN);
    HGLOBAL spare = WideBlock(L"x");
    EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, spare), nullptr);
    EXPECT_EQ(GlobalFree(spare), nullptr);
    OnFreshThread([] {
        ASSERT_TRUE(OpenClipboard(nullptr));
        EXPECT_NE(GetClipboardData(CF_UNICODETEXT), nullptr);
        EXPECT_TRUE(EmptyClipboard());
        EXPECT_FALSE(IsClipboardFormatAvailable(CF_UNICODETEXT));
        CloseClipboard();
    });
    // Emptying freed the block the clipboard owned.
    EXPECT_EQ(GlobalLock(memory), nullptr);
}

TEST(ClipboardTest, GlobalBlocksRejectStaleAndMadeUpHandles) {
    HGLOBAL memory = GlobalAlloc(GHND, 16);
    ASSERT_NE(memory, nullptr);
    EXPECT_EQ(GlobalSize(memory), 16u);
    const auto* bytes = static_cast<const unsigned char*>(GlobalLock(memory));
    EXPECT_EQ(bytes[15], 0);
    EXPECT_TRUE(GlobalLock(memory));
    EXPECT_TRUE(GlobalUnlock(memory));  // still locked once
    EXPECT_FALSE(GlobalUnlock(memory));
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_FALSE(GlobalUnlock(memory));
    EXPECT_EQ(GetLastError(), ERROR_NOT_LOCKED);
    EXPECT_EQ(GlobalFree(memory), nullptr);
    EXPECT_EQ(GlobalFree(memory), memory);  // a second free is refused, not a double free
    EXPECT_EQ(GlobalLock(memory), nullptr);
    auto madeUp = reinterpret_cast<HGLOBAL>(static_cast<uintptr_t>(0x1234));
    EXPECT_EQ(GlobalSize(madeUp), 0u);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, madeUp), nullptr);
    EXPECT_EQ(GlobalAlloc(0x8000, 4), nullptr);
    CloseClipboard();
}

TEST(ClipboardTest, AFreedHandleNeverReachesALaterBlock) {
    // The allocator readily reuses a freed address; a handle must not follow it.
    HGLOBAL first = GlobalAlloc(GMEM_MOVEABLE, 16);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GlobalFree(first), nullptr);
    std::vector<HGLOBAL> later;
    for (int i = 0; i < 64; ++i) {
        later.push_back(GlobalAlloc(GMEM_MOVEABLE, 16));
        EXPECT_NE(later.back(), first);
    }
    EXPECT_EQ(GlobalLock(first), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    for (HGLOBAL block : later)
        EXPECT_EQ(GlobalFree(block), nullptr);
}
