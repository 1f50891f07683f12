// DES in ECB mode with PKCS#5 padding, for the statistics records' encryption.
//
// Pure functions on caller-owned buffers; reentrant. Standard DES: the key's parity bits
// are ignored, as in every DES implementation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

struct DesKeySchedule {
    uint64_t roundKeys[16] = {};  // 48-bit round keys, first round first
};

// Builds the schedule from an 8-byte key text; false (schedule untouched) for any other length.
[[nodiscard]] bool DesSetKey(DesKeySchedule& schedule, std::string_view key);

// What DesEncryptEcb writes for `length` input bytes: always 1 to 8 bytes more.
constexpr size_t DesPaddedLength(size_t length) {
    return (length & ~size_t{7}) + 8;
}

// Pads the input with 1 to 8 bytes, each holding the pad's length, and enciphers every
// 8-byte block on its own. Writes DesPaddedLength(length) bytes to `output` and returns that
// count. `output` may be `input` itself (then it must hold the padded length); other overlaps
// are not allowed.
size_t DesEncryptEcb(const DesKeySchedule& schedule, const void* input, void* output, size_t length);
