// The host's network interfaces, as the IP helper would list its adapters: name,
// whether it is the loopback, its hardware address and its IPv4 addresses.
//
// Read from getifaddrs at each call, without any network traffic. Any thread may call.
// An interface without a 6-byte hardware address (a tunnel, the loopback) has none.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct NetAdapter {
    std::string name;
    bool loopback = false;
    std::optional<std::array<std::uint8_t, 6>> mac;
    std::vector<std::uint32_t> ipv4;  // network order, in the order the system lists them
};

// In the system's interface order; empty when the list cannot be read.
std::vector<NetAdapter> ListNetAdapters();

}  // namespace platform
