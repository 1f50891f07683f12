#include "platform/net/InetAddress.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstring>

TEST(InetAddressTest, ParsesOnlyFourDecimalParts) {
    const struct {
        const char* text;
        bool valid;
    } cases[] = {
        {"127.0.0.1", true}, {"255.255.255.255", true}, {"0.0.0.0", true},     {"1.2.3", false},
        {"123", false},      {"999.1.1.1", false},      {"", false},           {"1.2.3.4.", false},
        {" 1.2.3.4", false}, {"1.2.3.4 ", false},       {"0x7f.0.0.1", false}, {"1.2.3.4.5", false},
        {"a.b.c.d", false},  {"1..2.3", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::uint32_t address = 0xDEADBEEF;
        EXPECT_EQ(platform::ParseIPv4Address(c.text, &address), c.valid);
        if (c.valid) {
            in_addr expected{};
            inet_pton(AF_INET, c.text, &expected);
            EXPECT_EQ(address, expected.s_addr);
            EXPECT_EQ(platform::FormatIPv4Address(address), c.text);
        }
    }
}

TEST(InetAddressTest, FormatsBytesUnsignedInPacketOrder) {
    const unsigned char bytes[4] = {192, 168, 200, 255};
    std::uint32_t address = 0;
    std::memcpy(&address, bytes, 4);
    EXPECT_EQ(platform::FormatIPv4Address(address), "192.168.200.255");
    EXPECT_TRUE(platform::IsDigitsAndDots("1.2.3"));
    EXPECT_FALSE(platform::IsDigitsAndDots("1.2.3.a"));
    EXPECT_FALSE(platform::IsDigitsAndDots(""));
}
