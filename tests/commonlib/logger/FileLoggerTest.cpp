#include "commonlib/logger/FileLogger.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "platform/types/ErrorCodes.h"
#include "support/TempDir.h"

namespace {

// "<writer> <n>" at the end of every line, read back as (writer, n).
std::vector<std::pair<int, int>> Messages(const std::vector<std::string>& lines) {
    static const std::regex tail(R"(^INFO .* \[FileLoggerTest\.cpp:\d+\] w(\d+) (\d+)$)");
    std::vector<std::pair<int, int>> out;
    for (const auto& line : lines) {
        std::smatch match;
        EXPECT_TRUE(std::regex_match(line, match, tail)) << line;
        if (!match.empty()) out.emplace_back(std::stoi(match[1]), std::stoi(match[2]));
    }
    return out;
}

}  // namespace

TEST(FileLoggerTest, TwoThreadsLoseNothing) {
    testsupport::TempDir dir(testsupport::TempDir::Home::Redirect);
    FileLogger logger;
    ASSERT_TRUE(logger.Open(L"C:\\xj.log"));
    constexpr int kPerThread = 1500;
    std::vector<std::thread> writers;
    for (int w = 0; w < 2; ++w) {
        writers.emplace_back([&logger, w] {
            for (int i = 0; i < kPerThread; ++i)
                logger.LogAt(LogLevel::Info, __LINE__, __FILE__, L"w%d %d", w, i);
        });
    }
    for (auto& writer : writers)
        writer.join();
    logger.Close();

    std::vector<std::string> lines;
    ASSERT_TRUE(ReadLogFile(L"C:\\xj.log", &lines));
    ASSERT_EQ(lines.size(), 2u * kPerThread);
    int next[2] = {0, 0};
    for (const auto& [writer, n] : Messages(lines)) {
        ASSERT_EQ(n, next[writer]) << "writer " << writer;  // each writer's lines in its order
        ++next[writer];
    }
    EXPECT_EQ(next[0], kPerThread);
    EXPECT_EQ(next[1], kPerThread);
}

TEST(FileLoggerTest, OpenAndCloseWhileAnotherThreadLogs) {
    testsupport::TempDir dir(testsupport::TempDir::Home::Redirect);
    FileLogger logger;
    std::atomic<bool> stop{false};
    std::atomic<int> logged{0};
    std::jthread writer([&] {
        for (int i = 0; !stop; ++i) {
            logger.LogAt(LogLevel::Info, __LINE__, __FILE__, "w0 %d", i);
            logged = i + 1;
        }
    });
    struct StopWriter {
        std::atomic<bool>& stop;
        ~StopWriter() { stop = true; }
    } stopOnFailure{stop};
    auto waitForMore = [&] {
        const int target = logged + 50;
        while (logged < target)
            std::this_thread::yield();
    };
    const std::wstring paths[] = {L"C:\\a.log", L"C:\\b.log", L"C:\\c.log"};
    for (const auto& path : paths) {
        EXPECT_TRUE(logger.Open(path));
        waitForMore();
    }
    logger.Close();
    const auto closedSize = std::filesystem::file_size(dir / "home/c.log");
    waitForMore();
    stop = true;
    writer.join();
    EXPECT_EQ(std::filesystem::file_size(dir / "home/c.log"), closedSize);  // nothing after Close

    // Every file holds whole records of consecutive lines, and the files follow each other.
    int previousLast = -1;
    for (const auto& path : paths) {
        SCOPED_TRACE(std::string(path.begin(), path.end()));
        std::vector<std::string> lines;
        ASSERT_TRUE(ReadLogFile(path, &lines));
        const auto messages = Messages(lines);
        ASSERT_FALSE(messages.empty());
        EXPECT_GT(messages.front().second, previousLast);
        for (size_t i = 1; i < messages.size(); ++i)
            ASSERT_EQ(messages[i].second, messages[i - 1].second + 1);
        previousLast = messages.back().second;
    }
}

TEST(FileLoggerTest, OpenTruncatesAndAFailedOpenLeavesTheLoggerClosed) {
    testsupport::TempDir dir(testsupport::TempDir::Home::Redirect);
    FileLogger logger;
    ASSERT_TRUE(logger.Open(L"C:\\xj.log"));
    logger.Log(LogLevel::Warn, "old");
    ASSERT_TRUE(logger.Open(L"C:\\xj.log"));
    logger.Log(LogLevel::Warn, "new");

    EXPECT_FALSE(logger.Open(L"C:\\missing\\xj.log"));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(logger.IsOpen());
    logger.Log(LogLevel::Warn, "dropped");

    std::vector<std::string> lines;
    ASSERT_TRUE(ReadLogFile(L"C:\\xj.log", &lines));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].starts_with("WARN ")) << lines[0];
    EXPECT_TRUE(lines[0].ends_with(" new")) << lines[0];
    EXPECT_FALSE(std::filesystem::exists(dir / "home/missing"));

    EXPECT_FALSE(ReadLogFile(L"C:\\missing\\xj.log", &lines));
    dir.WriteFile("home/plain.txt", "INFO not encrypted\n");
    EXPECT_FALSE(ReadLogFile(L"C:\\plain.txt", &lines));
}
