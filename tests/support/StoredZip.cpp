#include "support/StoredZip.h"

#include "support/ZipBytes.h"

namespace testsupport {

std::vector<uint8_t> StoredZip(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& files) {
    std::vector<ZipFile> entries;
    for (const auto& [name, data] : files)
        entries.push_back(ZipFile{name, std::string(data.begin(), data.end())});
    return BuildZip(entries).bytes;
}

}  // namespace testsupport
