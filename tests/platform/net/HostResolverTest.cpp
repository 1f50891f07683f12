#include "platform/net/HostResolver.h"

#include <gtest/gtest.h>

TEST(HostResolverTest, InjectedResolverAnswersUntilRestored) {
    std::uint32_t address = 0;
    {
        platform::CScopedHostResolver fake([](const std::string& host, std::uint32_t* out) {
            *out = 0x0200000A;
            return host == "example.test";
        });
        EXPECT_TRUE(platform::ResolveHostIPv4("example.test", &address));
        EXPECT_EQ(address, 0x0200000Au);
        EXPECT_FALSE(platform::ResolveHostIPv4("127.0.0.1", &address));
    }
    EXPECT_TRUE(platform::ResolveHostIPv4("127.0.0.1", &address));  // numeric: no DNS traffic
    EXPECT_EQ(address, 0x0100007Fu);
}
