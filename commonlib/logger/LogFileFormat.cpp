#include "commonlib/logger/LogFileFormat.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "commonlib/util/Des.h"

namespace {

const DesKeySchedule& EncryptSchedule() {
    static const DesKeySchedule schedule = [] {
        DesKeySchedule s;
        [[maybe_unused]] const bool ok = DesSetKey(s, std::string_view(kLogFileKey, 8));
        assert(ok);
        return s;
    }();
    return schedule;
}

// DES deciphers with the enciphering network and the round keys in reverse order.
const DesKeySchedule& DecryptSchedule() {
    static const DesKeySchedule schedule = [] {
        DesKeySchedule s = EncryptSchedule();
        std::reverse(std::begin(s.roundKeys), std::end(s.roundKeys));
        return s;
    }();
    return schedule;
}

void AppendLe(std::string* out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::uint32_t ReadLe(std::string_view bytes, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[i]);
    return value;
}

std::string_view CutAtCharacter(std::string_view line) {
    if (line.size() <= kMaxLogLineBytes) return line;
    std::size_t end = kMaxLogLineBytes;
    while (end > 0 && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80)
        --end;
    return line.substr(0, end);
}

}  // namespace

std::string LogFileHeader() {
    std::string header(kLogFileMagic, sizeof kLogFileMagic);
    AppendLe(&header, kLogFileVersion, 2);
    AppendLe(&header, 0, 2);
    return header;
}

std::string EncodeLogRecord(std::string_view line) {
    line = CutAtCharacter(line);
    const std::size_t cipherLength = DesPaddedLength(line.size());
    std::string record;
    AppendLe(&record, static_cast<std::uint32_t>(cipherLength), kLogRecordLengthSize);
    record.resize(kLogRecordLengthSize + cipherLength);
    char* cipher = record.data() + kLogRecordLengthSize;
    std::memcpy(cipher, line.data(), line.size());
    DesEncryptEcb(EncryptSchedule(), cipher, cipher, line.size());
    return record;
}

LogDecodeResult DecodeLogFile(std::string_view bytes, std::vector<std::string>* lines) {
    if (bytes.size() < kLogFileHeaderSize) return LogDecodeResult::Corrupt;
    if (bytes.substr(0, kLogFileHeaderSize) != LogFileHeader()) return LogDecodeResult::Corrupt;
    std::string_view rest = bytes.substr(kLogFileHeaderSize);
    std::string plain;
    while (!rest.empty()) {
        if (rest.size() < kLogRecordLengthSize) return LogDecodeResult::Truncated;
        const std::uint32_t length = ReadLe(rest, kLogRecordLengthSize);
        if (length == 0 || length % 8 != 0 || length > kMaxLogRecordBytes) return LogDecodeResult::Corrupt;
        rest.remove_prefix(kLogRecordLengthSize);
        if (rest.size() < length) return LogDecodeResult::Truncated;
        // The enciphering call pads what it is given: the extra block is room, not output.
        plain.resize(length + 8);
        DesEncryptEcb(DecryptSchedule(), rest.data(), plain.data(), length);
        const auto pad = static_cast<unsigned char>(plain[length - 1]);
        if (pad < 1 || pad > 8) return LogDecodeResult::Corrupt;
        for (std::size_t i = length - pad; i < length; ++i) {
            if (static_cast<unsigned char>(plain[i]) != pad) return LogDecodeResult::Corrupt;
        }
        if (lines) lines->emplace_back(plain.data(), length - pad);
        rest.remove_prefix(length);
    }
    return LogDecodeResult::Complete;
}
