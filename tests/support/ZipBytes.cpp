#include "support/ZipBytes.h"

#include <zlib.h>

#include <algorithm>

namespace testsupport {

namespace {

std::string RawDeflate(const std::string& data) {
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, data.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

}  // namespace

ZipBytes BuildZip(const std::vector<ZipFile>& files, const std::string& comment) {
    ZipBytes zip;
    std::vector<uint8_t>& b = zip.bytes;
    const auto append = [&b](size_t size, const std::string& tail) {
        b.resize(b.size() + size, 0);
        b.insert(b.end(), tail.begin(), tail.end());
        return b.size() - size - tail.size();
    };
    std::vector<std::string> payloads;
    for (const ZipFile& f : files) {
        payloads.push_back(f.method == 8 ? RawDeflate(f.data) : f.data);
        const size_t at = append(30, f.name);
        zip.local.push_back(at);
        Put32(b, at, 0x04034b50);
        Put16(b, at + 4, 20);
        Put16(b, at + 8, f.method);
        Put32(b, at + 14, crc32(0, reinterpret_cast<const Bytef*>(f.data.data()), static_cast<uInt>(f.data.size())));
        Put32(b, at + 18, static_cast<uint32_t>(payloads.back().size()));
        Put32(b, at + 22, static_cast<uint32_t>(f.data.size()));
        Put16(b, at + 26, static_cast<uint32_t>(f.name.size()));
        zip.data.push_back(append(0, payloads.back()));
    }
    zip.directory = b.size();
    for (size_t i = 0; i < files.size(); ++i) {
        const size_t at = append(46, files[i].name);
        zip.central.push_back(at);
        Put32(b, at, 0x02014b50);
        Put16(b, at + 4, 20);
        Put16(b, at + 6, 20);
        // Method, CRC and both sizes as in the local header.
        std::copy(b.begin() + zip.local[i] + 8, b.begin() + zip.local[i] + 26, b.begin() + at + 10);
        Put16(b, at + 28, static_cast<uint32_t>(files[i].name.size()));
        Put32(b, at + 42, static_cast<uint32_t>(zip.local[i]));
    }
    zip.end = append(22, comment);
    Put32(b, zip.end, 0x06054b50);
    Put16(b, zip.end + 8, static_cast<uint32_t>(files.size()));
    Put16(b, zip.end + 10, static_cast<uint32_t>(files.size()));
    Put32(b, zip.end + 12, static_cast<uint32_t>(zip.end - zip.directory));
    Put32(b, zip.end + 16, static_cast<uint32_t>(zip.directory));
    Put16(b, zip.end + 20, static_cast<uint32_t>(comment.size()));
    return zip;
}

}  // namespace testsupport
