#include "commonlib/util/SystemInfo.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

TEST(SystemInfoTest, PicksTheFirstRealAdapter) {
    using Mac = std::array<std::uint8_t, 6>;
    auto adapter = [](bool loopback, std::optional<Mac> mac, const char* ip) {
        platform::NetAdapter a{"if", loopback, mac, {}};
        if (ip) a.ipv4.push_back(inet_addr(ip));
        return a;
    };
    const auto lo = adapter(true, Mac{}, "127.0.0.1");
    const auto tunnel = adapter(false, std::nullopt, "10.8.0.2");
    const auto zeroMac = adapter(false, Mac{}, "127.0.1.1");
    const auto eth = adapter(false, Mac{0x00, 0x1A, 0x2b, 0xC4, 0xe5, 0xF6}, "192.168.1.20");
    const struct {
        std::vector<platform::NetAdapter> adapters;
        const wchar_t* mac;
        const char* ip;
    } cases[] = {
        {{lo}, L"", ""},
        {{lo, tunnel, zeroMac, eth}, L"001a2bc4e5f6", "10.8.0.2"},
        {{zeroMac, eth}, L"001a2bc4e5f6", "192.168.1.20"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ip);
        EXPECT_EQ(PickDeviceMac(c.adapters), c.mac);
        EXPECT_EQ(PickLocalIPv4(c.adapters), c.ip);
    }
}
