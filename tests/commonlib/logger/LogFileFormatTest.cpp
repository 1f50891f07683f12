#include "commonlib/logger/LogFileFormat.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(LogFileFormatTest, RecordsRoundTripAndHideTheText) {
    const std::vector<std::string> written = {
        "", "1234567", "12345678", "INFO [a.cpp:1] 中文日志 et:0 ec:0", std::string(1000, 'z'),
    };
    std::string file = LogFileHeader();
    for (const auto& line : written)
        file += EncodeLogRecord(line);
    EXPECT_EQ(file.find("中文"), std::string::npos);
    EXPECT_EQ(file.find("zzzzzzzz"), std::string::npos);

    std::vector<std::string> read;
    EXPECT_EQ(DecodeLogFile(file, &read), LogDecodeResult::Complete);
    EXPECT_EQ(read, written);

    // Lengths are whole blocks: 0 and 7 bytes take one, 8 bytes take two.
    EXPECT_EQ(EncodeLogRecord("").size(), 4u + 8u);
    EXPECT_EQ(EncodeLogRecord("12345678").size(), 4u + 16u);
}

TEST(LogFileFormatTest, OverlongLineIsCutAtACharacter) {
    std::string line(kMaxLogLineBytes - 1, 'a');
    line += "中";  // three bytes straddling the limit
    std::vector<std::string> read;
    ASSERT_EQ(DecodeLogFile(LogFileHeader() + EncodeLogRecord(line), &read), LogDecodeResult::Complete);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0], std::string(kMaxLogLineBytes - 1, 'a'));
}

TEST(LogFileFormatTest, DamagedFilesKeepTheWholeRecordsBeforeTheFault) {
    const std::string header = LogFileHeader();
    const std::string first = EncodeLogRecord("first line");
    const std::string second = EncodeLogRecord("second line");
    std::string badPadding = second;
    badPadding.back() ^= 0x5A;  // the last block deciphers to garbage
    std::string hugeLength = second;
    hugeLength[3] = 0x7F;
    std::string oddLength = second;
    oddLength[0] = 9;
    std::string otherVersion = header;
    otherVersion[4] = 2;

    const struct {
        const char* why;
        std::string bytes;
        LogDecodeResult result;
        size_t lines;
    } cases[] = {
        {"empty file", "", LogDecodeResult::Corrupt, 0},
        {"header only", header, LogDecodeResult::Complete, 0},
        {"not a log file", "INFO plain text line\n", LogDecodeResult::Corrupt, 0},
        {"another version", otherVersion + first, LogDecodeResult::Corrupt, 0},
        {"cut inside a length", header + first + second.substr(0, 2), LogDecodeResult::Truncated, 1},
        {"cut inside a body", header + first + second.substr(0, second.size() - 1), LogDecodeResult::Truncated, 1},
        {"length beyond any record", header + first + hugeLength, LogDecodeResult::Corrupt, 1},
        {"length not whole blocks", header + first + oddLength, LogDecodeResult::Corrupt, 1},
        {"zero length", header + first + std::string(4, '\0'), LogDecodeResult::Corrupt, 1},
        {"padding wrong", header + first + badPadding + first, LogDecodeResult::Corrupt, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::vector<std::string> read;
        EXPECT_EQ(DecodeLogFile(c.bytes, &read), c.result);
        EXPECT_EQ(read.size(), c.lines);
        if (!read.empty()) {
            EXPECT_EQ(read[0], "first line");
        }
    }
}
