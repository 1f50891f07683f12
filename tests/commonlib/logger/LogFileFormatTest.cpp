#include "commonlib/logger/LogFileFormat.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(LogFileFormatTest, RecordsRoundTripHiddenAndOverlongLinesAreCutAtACharacter) {
    std::string overlong(kMaxLogLineBytes - 1, 'a');
    const std::vector<std::string> written = {"", "12345678", "INFO [a.cpp:1] 中文日志", overlong + "中"};
    std::string file = LogFileHeader();
    for (const auto& line : written)
        file += EncodeLogRecord(line);
    EXPECT_EQ(file.find("中文"), std::string::npos);
    std::vector<std::string> read;
    EXPECT_EQ(DecodeLogFile(file, &read), LogDecodeResult::Complete);
    const std::vector<std::string> expected = {"", "12345678", "INFO [a.cpp:1] 中文日志", overlong};
    EXPECT_EQ(read, expected);
}

TEST(LogFileFormatTest, DamagedFilesKeepTheWholeRecordsBeforeTheFault) {
    const std::string header = LogFileHeader();
    const std::string first = EncodeLogRecord("first line");
    const std::string second = EncodeLogRecord("second line");
    std::string badPadding = second, hugeLength = second, otherVersion = header;
    badPadding.back() ^= 0x5A;
    hugeLength[3] = 0x7F;
    otherVersion[4] = 2;
    const struct {
        const char* why;
        std::string bytes;
        LogDecodeResult result;
        size_t lines;
    } cases[] = {
        {"empty file", "", LogDecodeResult::Corrupt, 0},
        {"not a log file", "INFO plain text line\n", LogDecodeResult::Corrupt, 0},
        {"another version", otherVersion + first, LogDecodeResult::Corrupt, 0},
        {"cut inside a body", header + first + second.substr(0, 9), LogDecodeResult::Truncated, 1},
        {"length beyond any record", header + first + hugeLength, LogDecodeResult::Corrupt, 1},
        {"padding wrong", header + first + badPadding + first, LogDecodeResult::Corrupt, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::vector<std::string> read;
        EXPECT_EQ(DecodeLogFile(c.bytes, &read), c.result);
        ASSERT_EQ(read.size(), c.lines);
        if (c.lines) {
            EXPECT_EQ(read[0], "first line");
        }
    }
}
