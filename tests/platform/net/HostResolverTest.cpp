#include "platform/net/HostResolver.h"

#include <gtest/gtest.h>

TEST(HostResolverTest, InjectedResolverAnswersUntilRestored) {
    int calls = 0;
    {
        platform::CScopedHostResolver fake([&](const std::string& host, std::uint32_t* address) {
            ++calls;
            if (host != "example.test") return false;
            *address = 0x0100007F;
            return true;
        });
        std::uint32_t address = 0;
        EXPECT_TRUE(platform::ResolveHostIPv4("example.test", &address));
        EXPECT_EQ(address, 0x0100007Fu);
        EXPECT_FALSE(platform::ResolveHostIPv4("other.test", &address));
        EXPECT_FALSE(platform::ResolveHostIPv4("example.test", nullptr));
    }
    EXPECT_EQ(calls, 2);
    // The system resolver is back; a numeric host needs no DNS traffic.
    std::uint32_t address = 0;
    EXPECT_TRUE(platform::ResolveHostIPv4("127.0.0.1", &address));
    EXPECT_EQ(address, 0x0100007Fu);
}
