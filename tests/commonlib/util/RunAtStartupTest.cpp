#include "commonlib/util/RunAtStartup.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

TEST(RunAtStartupTest, ValuesRoundTripThroughTheUsersRunKey) {
    testsupport::TempDir dir(testsupport::TempDir::Home::Redirect);
    EXPECT_EQ(GetRunAtStartup(L"QuorvelLauncher"), L"");  // no key yet
    const std::wstring command = L"\"C:\\Quorvel网络\\QuorvelLauncher.exe\" -autorun";
    EXPECT_TRUE(SetRunAtStartup(L"QuorvelLauncher", command));
    EXPECT_EQ(GetRunAtStartup(L"quorvellauncher"), command);
    EXPECT_TRUE(SetRunAtStartup(L"Long", std::wstring(511, L'a')));
    EXPECT_EQ(GetRunAtStartup(L"Long"), std::wstring(511, L'a'));
    EXPECT_TRUE(SetRunAtStartup(L"Long", std::wstring(512, L'a')));
    EXPECT_EQ(GetRunAtStartup(L"Long"), L"");  // does not fit the 512-character buffer
}
