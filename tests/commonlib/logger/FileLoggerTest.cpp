#include "commonlib/logger/FileLogger.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <thread>
#include <vector>

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
