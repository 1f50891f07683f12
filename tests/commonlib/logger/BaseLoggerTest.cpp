#include "commonlib/logger/BaseLogger.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "platform/sync/Thread.h"

namespace {

class CCapturingLogger : public BaseLogger {
public:
    explicit CCapturingLogger(Stamp stamp) : BaseLogger(stamp) {}
    std::vector<std::string> lines;

protected:
    void WriteLine(LogLevel, const std::string& line) override { lines.push_back(line); }
};

}  // namespace

TEST(BaseLoggerTest, LinesCarryLevelStampSourceAndMessage) {
    CCapturingLogger plain(BaseLogger::Stamp::None);
    plain.LogAt(LogLevel::Warn, 17, "C:\\src\\FileUtils.cpp", L"CreateDirByXj:%s GetLastError %u", L"C:\\游戏", 5u);
    plain.LogAt(LogLevel::Info, 18, "/build/src/HttpMgr.cpp", "et:%d ec:%d", 3, 2009);
    plain.Log(LogLevel::Error, "%s!", std::string(5000, 'x').c_str());
    const std::vector<std::string> expected = {
        "WARN [FileUtils.cpp:17] CreateDirByXj:C:\\游戏 GetLastError 5",
        "INFO [HttpMgr.cpp:18] et:3 ec:2009",
        "ERRO " + std::string(5000, 'x') + "!",
    };
    EXPECT_EQ(plain.lines, expected);

    CCapturingLogger stamped(BaseLogger::Stamp::Full);
    stamped.LogAt(LogLevel::Info, 5, "x.cpp", "hello");
    const std::regex shape(
        R"(INFO \d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} tick:\d+ pid:(\d+) tid:(\d+) \[x\.cpp:5\] hello)");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(stamped.lines.at(0), match, shape)) << stamped.lines[0];
    EXPECT_EQ(match[1].str(), std::to_string(GetCurrentProcessId()));
    EXPECT_EQ(match[2].str(), std::to_string(GetCurrentThreadId()));

    LogStamp stamp;
    stamp.localTime = {2026, 3, 0, 9, 7, 5, 4, 12};
    stamp.tick = 4000000000u;
    stamp.processId = 321;
    stamp.threadId = 7;
    EXPECT_EQ(FormatLogLine(LogLevel::Info, &stamp, nullptr, 0, "m"),
              "INFO 2026-03-09 07:05:04.012 tick:4000000000 pid:321 tid:7 m");
}
