// IPv4 address texts: strict parsing and dotted formatting. Pure functions, any thread.
//
// Parsing accepts exactly four decimal parts of 0-255 ("1.2.3" or "999.1.1.1" are
// refused rather than read the loose way inet_addr does), so a bad entry can never
// become some other, real address.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// The address in network order, as it stands in a packet.
[[nodiscard]] bool ParseIPv4Address(std::string_view text, std::uint32_t* networkOrder);
std::string FormatIPv4Address(std::uint32_t networkOrder);
// True when the text is non-empty and made of digits and dots only.
bool IsDigitsAndDots(std::string_view text);

}  // namespace platform
