#include "commonlib/logger/BaseLogger.h"

#include <gtest/gtest.h>

#include <mutex>
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
    void WriteLine(LogLevel, const std::string& line) override {
        std::lock_guard lock(m_mutex);
        lines.push_back(line);
    }

private:
    std::mutex m_mutex;
};

}  // namespace

TEST(BaseLoggerTest, LineFormatWithAndWithoutStamp) {
    LogStamp stamp;
    stamp.localTime.wYear = 2026;
    stamp.localTime.wMonth = 3;
    stamp.localTime.wDay = 9;
    stamp.localTime.wHour = 7;
    stamp.localTime.wMinute = 5;
    stamp.localTime.wSecond = 4;
    stamp.localTime.wMilliseconds = 12;
    stamp.tick = 4000000000u;
    stamp.processId = 321;
    stamp.threadId = 7;
    const struct {
        LogLevel level;
        const LogStamp* stamp;
        const char* file;
        const char* expected;
    } cases[] = {
        {LogLevel::Info, &stamp, "/build/src/app/MainApp.cpp",
         "INFO 2026-03-09 07:05:04.012 tick:4000000000 pid:321 tid:7 [MainApp.cpp:42] et:1 ec:5"},
        {LogLevel::Warn, nullptr, "C:\\src\\Patcher.cpp", "WARN [Patcher.cpp:42] et:1 ec:5"},
        {LogLevel::Error, nullptr, nullptr, "ERRO et:1 ec:5"},
        {static_cast<LogLevel>(9), nullptr, nullptr, "ERRO et:1 ec:5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(FormatLogLine(c.level, c.stamp, c.file, 42, "et:1 ec:5"), c.expected);
    }
}

TEST(BaseLoggerTest, WideAndNarrowFormatsReachTheSink) {
    CCapturingLogger plain(BaseLogger::Stamp::None);
    plain.LogAt(LogLevel::Warn, 17, __FILE__, L"CreateDirByXj:%s GetLastError %u", L"C:\\游戏", 5u);
    plain.LogAt(LogLevel::Info, 18, __FILE__, "et:%d ec:%d host:%s", 3, 2009, "cdn.example");
    plain.Log(LogLevel::Error, L"%I64d bytes", 1LL << 40);
    std::string longText(5000, 'x');
    plain.Log(LogLevel::Info, "%s!", longText.c_str());
    ASSERT_EQ(plain.lines.size(), 4u);
    EXPECT_EQ(plain.lines[0], "WARN [BaseLoggerTest.cpp:17] CreateDirByXj:C:\\游戏 GetLastError 5");
    EXPECT_EQ(plain.lines[1], "INFO [BaseLoggerTest.cpp:18] et:3 ec:2009 host:cdn.example");
    EXPECT_EQ(plain.lines[2], "ERRO 1099511627776 bytes");
    EXPECT_EQ(plain.lines[3], "INFO " + longText + "!");

    CCapturingLogger stamped(BaseLogger::Stamp::Full);
    stamped.LogAt(LogLevel::Info, 5, "x.cpp", "hello");
    ASSERT_EQ(stamped.lines.size(), 1u);
    const std::regex shape(
        R"(INFO \d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} tick:\d+ pid:(\d+) tid:(\d+) \[x\.cpp:5\] hello)");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(stamped.lines[0], match, shape)) << stamped.lines[0];
    EXPECT_EQ(match[1].str(), std::to_string(GetCurrentProcessId()));
    EXPECT_EQ(match[2].str(), std::to_string(GetCurrentThreadId()));
}
