#include "platform/net/InetAddress.h"

#include <arpa/inet.h>

#include <cstring>

namespace platform {

bool ParseIPv4Address(std::string_view text, std::uint32_t* networkOrder) {
    if (networkOrder == nullptr || text.empty() || text.size() > 15) return false;
    char buffer[16] = {};
    std::memcpy(buffer, text.data(), text.size());
    in_addr address{};
    if (inet_pton(AF_INET, buffer, &address) != 1) return false;
    *networkOrder = address.s_addr;
    return true;
}

std::string FormatIPv4Address(std::uint32_t networkOrder) {
    unsigned char b[4];
    std::memcpy(b, &networkOrder, 4);
    return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." + std::to_string(b[3]);
}

bool IsDigitsAndDots(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text) {
        if (c != '.' && (c < '0' || c > '9')) return false;
    }
    return true;
}

}  // namespace platform
