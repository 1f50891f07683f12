#include "platform/types/ErrorCodes.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

TEST(ErrorCodesTest, MapsErrnoAndKeepsLastErrorPerThread) {
    EXPECT_EQ(WinErrorFromErrno(ENOENT), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(WinErrorFromErrno(123456), ERROR_GEN_FAILURE);
    EXPECT_EQ(WsaErrorFromErrno(ECONNREFUSED), WSAECONNREFUSED);

    SetLastError(ERROR_ACCESS_DENIED);
    DWORD other = 1;
    std::thread([&] { other = GetLastError(); }).join();
    EXPECT_EQ(other, ERROR_SUCCESS);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(SetLastErrorFromErrno(ENOENT), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}
