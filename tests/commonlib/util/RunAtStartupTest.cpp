#include "commonlib/util/RunAtStartup.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

TEST(RunAtStartupTest, ValuesRoundTripThroughTheUsersRunKey) {
    testsupport::TempDir dir(testsupport::TempDir::Home::Redirect);
    EXPECT_EQ(GetRunAtStartup(L"QuorvelLauncher"), L"");  // no key yet
    EXPECT_TRUE(SetRunAtStartup(L"QuorvelLauncher", L"\"C:\\Quorvel网络\\QuorvelLauncher.exe\" -autorun"));
    EXPECT_EQ(GetRunAtStartup(L"QuorvelLauncher"), L"\"C:\\Quorvel网络\\QuorvelLauncher.exe\" -autorun");
    EXPECT_EQ(GetRunAtStartup(L"quorvellauncher"), L"\"C:\\Quorvel网络\\QuorvelLauncher.exe\" -autorun");
    EXPECT_EQ(GetRunAtStartup(L"Other"), L"");

    EXPECT_TRUE(SetRunAtStartup(L"QuorvelLauncher", L""));
    EXPECT_EQ(GetRunAtStartup(L"QuorvelLauncher"), L"");

    const std::wstring fits(511, L'a');
    EXPECT_TRUE(SetRunAtStartup(L"Long", fits));
    EXPECT_EQ(GetRunAtStartup(L"Long"), fits);
    EXPECT_TRUE(SetRunAtStartup(L"Long", fits + L"b"));
    EXPECT_EQ(GetRunAtStartup(L"Long"), L"");  // does not fit the 512-character buffer
}
