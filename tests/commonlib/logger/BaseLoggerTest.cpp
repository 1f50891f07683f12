#include "commonlib/logger/BaseLogger.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

    LogStamp stamp;
    stamp.localTime = {2026, 3, 0, 9, 7, 5, 4, 12};
    stamp.tick = 4000000000u;
    stamp.processId = 321;
    stamp.threadId = 7;
    EXPECT_EQ(FormatLogLine(LogLevel::Info, &stamp, nullptr, 0, "m"),
              "INFO 2026-03-09 07:05:04.012 tick:4000000000 pid:321 tid:7 m");
}
