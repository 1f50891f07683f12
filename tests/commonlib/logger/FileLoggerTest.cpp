#include "commonlib/logger/FileLogger.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "support/ForkChild.h"
#include "support/TempDir.h"

namespace {

// Every line ends in "w<writer> <n>"; the numbers of one writer, in file order.
std::vector<int> Numbers(const std::vector<std::string>& lines, char writer) {
    std::vector<int> out;
    for (const auto& line : lines) {
        const auto at = line.rfind(std::string(" w") + writer + ' ');
        if (at != std::string::npos) out.push_back(std::stoi(line.substr(at + 4)));
    }
    return out;
}

std::vector<int> Sequence(int from, int count) {
    std::vector<int> out(count);
    std::iota(out.begin(), out.end(), from);
    return out;
}

}  // namespace

TEST(FileLoggerTest, TwoThreadsLoseNothing) {
    testsupport::TempDir dir(testsupport::TempDir::Home::Redirect);
    FileLogger logger;
    ASSERT_TRUE(logger.Open(L"C:\\xj.log"));
    constexpr int kPerThread = 1500;
    std::thread other([&] {
        for (int i = 0; i < kPerThread; ++i)
            logger.LogAt(LogLevel::Info, __LINE__, __FILE__, L"w1 %d", i);
    });
    for (int i = 0; i < kPerThread; ++i)
        logger.LogAt(LogLevel::Info, __LINE__, __FILE__, "w0 %d", i);
    other.join();
    logger.Close();

    std::vector<std::string> lines;
    ASSERT_TRUE(ReadLogFile(L"C:\\xj.log", &lines));
    EXPECT_EQ(lines.size(), 2u * kPerThread);  // nothing else, nothing torn
    EXPECT_EQ(Numbers(lines, '0'), Sequence(0, kPerThread));
    EXPECT_EQ(Numbers(lines, '1'), Sequence(0, kPerThread));
    EXPECT_TRUE(lines[0].starts_with("INFO ")) << lines[0];
}

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

TEST(FileLoggerTest, OpenAndCloseWhileAnotherThreadLogs) {
    testsupport::TempDir dir(testsupport::TempDir::Home::Redirect);
    FileLogger logger;
    std::atomic<bool> stop{false};
    std::atomic<int> logged{0};
    std::jthread writer([&] {
        for (int i = 0; !stop; logged = ++i)
            logger.LogAt(LogLevel::Info, __LINE__, __FILE__, "w0 %d", i);
    });
    auto waitForMore = [&] {
        for (const int target = logged + 50; logged < target;)
            std::this_thread::yield();
    };
    const std::wstring paths[] = {L"C:\\a.log", L"C:\\b.log"};
    for (const auto& path : paths) {
        EXPECT_TRUE(logger.Open(path));
        waitForMore();
    }
    logger.Close();
    const auto closedSize = std::filesystem::file_size(dir / "home/b.log");
    waitForMore();
    stop = true;
    writer.join();
    EXPECT_EQ(std::filesystem::file_size(dir / "home/b.log"), closedSize);  // nothing after Close

    // Each file holds whole records of consecutive lines, the second going on after the first.
    std::vector<int> numbers[2];
    for (int i = 0; i < 2; ++i) {
        std::vector<std::string> lines;
        ASSERT_TRUE(ReadLogFile(paths[i], &lines));
        numbers[i] = Numbers(lines, '0');
        ASSERT_FALSE(numbers[i].empty());
        EXPECT_EQ(numbers[i], Sequence(numbers[i].front(), static_cast<int>(numbers[i].size())));
    }
    EXPECT_GT(numbers[1].front(), numbers[0].back());
}
