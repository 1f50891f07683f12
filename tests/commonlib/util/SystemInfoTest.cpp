#include "commonlib/util/SystemInfo.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

namespace {

platform::NetAdapter Adapter(const char* name, bool loopback, std::optional<std::array<std::uint8_t, 6>> mac,
                             std::vector<const char*> addresses) {
    platform::NetAdapter adapter{name, loopback, mac, {}};
    for (const char* text : addresses) {
        in_addr address{};
        inet_pton(AF_INET, text, &address);
        adapter.ipv4.push_back(address.s_addr);
    }
    return adapter;
}

}  // namespace

TEST(SystemInfoTest, PicksTheFirstRealAdapter) {
    const auto lo = Adapter("lo", true, std::array<std::uint8_t, 6>{}, {"127.0.0.1"});
    const auto tunnel = Adapter("tun0", false, std::nullopt, {"10.8.0.2"});
    const auto zeroMac = Adapter("dummy0", false, std::array<std::uint8_t, 6>{}, {"127.0.1.1"});
    const auto eth = Adapter("eth0", false, std::array<std::uint8_t, 6>{0x00, 0x1A, 0x2b, 0xC4, 0xe5, 0xF6},
                             {"192.168.1.20", "192.168.1.21"});
    const auto wlan = Adapter("wlan0", false, std::array<std::uint8_t, 6>{0xAA, 0, 0, 0, 0, 1}, {});
    const struct {
        const char* why;
        std::vector<platform::NetAdapter> adapters;
        const wchar_t* mac;
        const char* ip;
    } cases[] = {
        {"nothing", {}, L"", ""},
        {"loopback only", {lo}, L"", ""},
        {"skips loopback, tunnel and zero addresses", {lo, tunnel, zeroMac, eth}, L"001a2bc4e5f6", "10.8.0.2"},
        {"first in system order", {wlan, eth}, L"aa0000000001", "192.168.1.20"},
        {"127/8 on a non-loopback adapter is skipped", {zeroMac, eth}, L"001a2bc4e5f6", "192.168.1.20"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(PickDeviceMac(c.adapters), c.mac);
        EXPECT_EQ(PickLocalIPv4(c.adapters), c.ip);
    }
    EXPECT_FALSE(GetOsVersionName().empty());
}
