#include "commonlib/logger/FileLogger.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/ForkChild.h"
#include "support/TempDir.h"

namespace {

// Every line ends in "w<writer> <n>": true when both writers' numbers follow one another from
// after `last[writer]` on, and nothing else (nothing torn) is in the file.
bool EachWriterConsecutive(const std::vector<std::string>& lines, int last[2]) {
    std::size_t counted = 0;
    for (int writer : {0, 1}) {
        int expected = -1;
        for (const auto& line : lines) {
            const auto at = line.rfind(" w" + std::to_string(writer) + ' ');
            if (at == std::string::npos) continue;
            const int number = std::stoi(line.substr(at + 4));
            if (expected >= 0 && number != expected) return false;
            if (expected < 0 && number <= last[writer]) return false;
            expected = number + 1;
            last[writer] = number;
            ++counted;
        }
        if (expected < 0) return false;
    }
    return counted == lines.size();
}

}  // namespace

TEST(FileLoggerTest, WriteCutShortByAFullDiskLeavesNoHalfRecord) {
    testsupport::TempDir dir(testsupport::TempDir::Home::Redirect);
    const std::filesystem::path file = dir / "home/xj.log";
    // A file size limit plays the full disk; it is set in a child so this process keeps none.
    const int status = testsupport::InChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        FileLogger logger;
        if (!logger.Open(L"C:\\xj.log")) return 1;
        const auto header = std::filesystem::file_size(file);
        logger.Log(LogLevel::Info, "one");
        const auto afterOne = std::filesystem::file_size(file);
        const rlim_t limit = afterOne + 2 * (afterOne - header);
        const rlimit room{limit, limit};
        if (setrlimit(RLIMIT_FSIZE, &room) != 0) return 2;
        logger.Log(LogLevel::Info, "%s", std::string(4000, 'x').c_str());  // cut off at the limit
        logger.Log(LogLevel::Info, "two");                                 // still fits
        return 0;
    });
    ASSERT_EQ(status, 0);
    std::vector<std::string> lines;
    EXPECT_TRUE(ReadLogFile(L"C:\\xj.log", &lines));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].ends_with("one") && lines[1].ends_with("two")) << lines[0] << "\n" << lines[1];
}

TEST(FileLoggerTest, TwoThreadsLoseNothingWhileTheFileIsOpenedAndClosed) {
    testsupport::TempDir dir(testsupport::TempDir::Home::Redirect);
    FileLogger logger;
    std::atomic<bool> stop{false};
    std::atomic<int> logged{0};
    std::jthread writer([&] {
        for (int i = 0; !stop; logged = ++i)
            logger.LogAt(LogLevel::Info, __LINE__, __FILE__, L"w0 %d", i);
    });
    int mine = 0;
    const auto logAlongside = [&] {  // until the other thread has logged 500 lines more
        const int target = logged + 500;
        do {
            logger.LogAt(LogLevel::Info, __LINE__, __FILE__, "w1 %d", mine++);
        } while (logged < target);
    };
    const std::wstring paths[] = {L"C:\\a.log", L"C:\\b.log"};
    for (const auto& path : paths) {
        EXPECT_TRUE(logger.Open(path));
        logAlongside();
    }
    logger.Close();
    const auto closedSize = std::filesystem::file_size(dir / "home/b.log");
    logAlongside();
    stop = true;
    writer.join();
    EXPECT_EQ(std::filesystem::file_size(dir / "home/b.log"), closedSize);  // nothing after Close

    // Each file holds whole records, each thread's lines in order; the second goes on after the first.
    int last[2] = {-1, -1};
    for (const auto& path : paths) {
        std::vector<std::string> lines;
        ASSERT_TRUE(ReadLogFile(path, &lines));
        ASSERT_FALSE(lines.empty());
        EXPECT_TRUE(lines[0].starts_with("INFO ")) << lines[0];
        EXPECT_TRUE(EachWriterConsecutive(lines, last));
    }
}
