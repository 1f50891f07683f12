#include "commonlib/util/Hex.h"

#include <cstdint>

void HexEncodeUpper(char* output, const void* input, size_t length) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const auto* in = static_cast<const uint8_t*>(input);
    for (size_t i = 0; i < length; ++i) {
        *output++ = kDigits[in[i] >> 4];
        *output++ = kDigits[in[i] & 0x0F];
    }
    *output = '\0';
}
