#include "platform/sync/KernelObject.h"

#include <gtest/gtest.h>

#include "platform/types/ErrorCodes.h"

namespace {
struct Signalled : platform::KernelObject {
    bool closed = false;
    bool WaitSignalled(DWORD) override { return true; }
    void OnClosed() override { closed = true; }
};
}  // namespace

TEST(KernelObjectTest, HandlesAreNeverReusedAndStaleOnesFail) {
    auto obj = std::make_shared<Signalled>();
    HANDLE h = platform::RegisterKernelObject(obj);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_TRUE(obj->closed);
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_FAILED);
    HANDLE h2 = platform::RegisterKernelObject(std::make_shared<platform::KernelObject>());
    EXPECT_NE(h2, h);
    EXPECT_EQ(WaitForSingleObject(h2, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(h2));
}
