// Payloads for download, patch and digest tests.
#pragma once

#include <cstddef>
#include <random>
#include <string>

namespace testsupport {

// `size` bytes of a fixed pseudo-random sequence: no compressor shrinks them and no transfer
// fakes them by chance; the same seed gives the same bytes.
inline std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(generator());
    return bytes;
}

}  // namespace testsupport
