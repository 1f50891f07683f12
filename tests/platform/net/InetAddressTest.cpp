#include "platform/net/InetAddress.h"

#include <gtest/gtest.h>

TEST(InetAddressTest, ParsesOnlyFourDecimalParts) {
    const struct {
        const char* text;
        bool valid;
    } cases[] = {
        {"127.0.0.1", true}, {"192.168.200.255", true}, {"1.2.3", false},
        {"123", false},      {"999.1.1.1", false},      {"", false},
        {"1.2.3.4.", false}, {" 1.2.3.4", false},       {"0x7f.0.0.1", false},
        {"1..2.3", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::uint32_t address = 0;
        EXPECT_EQ(platform::ParseIPv4Address(c.text, &address), c.valid);
        if (c.valid) {
            EXPECT_EQ(platform::FormatIPv4Address(address), c.text);
        }
    }
}
