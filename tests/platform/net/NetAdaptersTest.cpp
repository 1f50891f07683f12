#include "platform/net/NetAdapters.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <algorithm>

TEST(NetAdaptersTest, ListsTheLoopbackWithItsAddress) {
    const auto adapters = platform::ListNetAdapters();
    const auto lo = std::find_if(adapters.begin(), adapters.end(), [](const auto& a) { return a.loopback; });
    ASSERT_NE(lo, adapters.end());
    EXPECT_NE(std::find(lo->ipv4.begin(), lo->ipv4.end(), htonl(INADDR_LOOPBACK)), lo->ipv4.end());
    for (const auto& adapter : adapters)
        EXPECT_EQ(
            std::count_if(adapters.begin(), adapters.end(), [&](const auto& a) { return a.name == adapter.name; }), 1);
}
