#include "support/StoredZip.h"

#include <zlib.h>

namespace testsupport {

using Bytes = std::vector<uint8_t>;

namespace {

void Append16(Bytes& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void Append32(Bytes& out, uint32_t value) {
    Append16(out, value & 0xFFFF);
    Append16(out, value >> 16);
}

}  // namespace

Bytes StoredZip(const std::vector<std::pair<std::string, Bytes>>& files) {
    Bytes out;
    Bytes directory;
    for (const auto& [name, data] : files) {
        const uint32_t crc = crc32(0, data.data(), static_cast<uInt>(data.size()));
        const auto offset = static_cast<uint32_t>(out.size());
        for (Bytes* header : {&out, &directory}) {
            const bool central = header == &directory;
            Append32(*header, central ? 0x02014b50 : 0x04034b50);
            if (central) Append16(*header, 20);
            for (uint32_t v : {20u, 0u, 0u, 0u, 0u})
                Append16(*header, v);
            Append32(*header, crc);
            Append32(*header, static_cast<uint32_t>(data.size()));
            Append32(*header, static_cast<uint32_t>(data.size()));
            Append16(*header, static_cast<uint32_t>(name.size()));
            Append16(*header, 0);
            if (central) {
                for (int i = 0; i < 3; ++i)
                    Append16(*header, 0);
                Append32(*header, 0);
                Append32(*header, offset);
            }
            header->insert(header->end(), name.begin(), name.end());
            if (!central) header->insert(header->end(), data.begin(), data.end());
        }
    }
    const auto directoryOffset = static_cast<uint32_t>(out.size());
    out.insert(out.end(), directory.begin(), directory.end());
    Append32(out, 0x06054b50);
    Append16(out, 0);
    Append16(out, 0);
    Append16(out, static_cast<uint32_t>(files.size()));
    Append16(out, static_cast<uint32_t>(files.size()));
    Append32(out, static_cast<uint32_t>(directory.size()));
    Append32(out, directoryOffset);
    Append16(out, 0);
    return out;
}

}  // namespace testsupport
