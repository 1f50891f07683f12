// Builds zip archives in memory, so archive tests make their own inputs, and records where
// each header lies so tests can damage single fields.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

struct ZipFile {
    std::string name;
    std::string data;
    uint16_t method = 0;  // 0 stored, 8 deflated
};

struct ZipBytes {
    std::vector<uint8_t> bytes;
    std::vector<size_t> local;    // each file's local header
    std::vector<size_t> data;     // each file's payload
    std::vector<size_t> central;  // each file's central directory header
    size_t directory = 0;
    size_t end = 0;  // the end-of-directory record
};

inline void Put16(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

inline void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    Put16(bytes, at, value & 0xFFFF);
    Put16(bytes, at + 2, value >> 16);
}

// `files` deflated or stored as each says, then the central directory and the end record
// with `comment`.
ZipBytes BuildZip(const std::vector<ZipFile>& files, const std::string& comment = "");

}  // namespace testsupport
