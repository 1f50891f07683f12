// Writes a zip archive in memory whose entries are stored (not compressed), so skin tests
// make their own archives.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// `files` are (entry name, bytes) pairs, in archive order.
std::vector<uint8_t> StoredZip(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& files);

}  // namespace testsupport
