#include "commonlib/util/Md5.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/CollectorOracle.h"
#include "support/RandomBytes.h"
#include "support/TempDir.h"

namespace {

// Samples the shared percent on another thread while `work` runs.
std::vector<int> WatchPercent(const std::function<void()>& work) {
    std::atomic<bool> done{false};
    std::vector<int> seen;
    std::thread watcher([&] {
        while (!done.load()) {
            const int percent = Md5SharedPercent().load();
            if (seen.empty() || seen.back() != percent) seen.push_back(percent);
            std::this_thread::yield();
        }
    });
    work();
    done = true;
    watcher.join();
    seen.push_back(Md5SharedPercent().load());
    return seen;
}

}  // namespace

TEST(Md5Test, MatchesRfc1321Vectors) {
    const struct {
        std::string in;
        const char* hex;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(MD5(c.in.data(), c.in.size()).hex_digest(), c.hex);
    }
}

TEST(Md5Test, HundredMegabyteStreamReportsPercentWithoutDividingByABadSize) {
    testsupport::TempDir dir;
    const std::string chunk = testsupport::RandomBytes(1 << 20, 7);
    std::string bytes;
    for (int i = 0; i < 100; ++i)
        bytes += chunk + std::to_string(i);  // no two megabytes alike
    const auto path = dir.WriteFile("big.bin", bytes);
    const std::string expected = testsupport::OpenSslMd5Hex(bytes);
    // 0 and -1 are what the caller stores for an empty or a missing file; they must not divide.
    for (int64_t shared : {static_cast<int64_t>(bytes.size()), int64_t{0}, int64_t{-1}}) {
        SCOPED_TRACE(shared);
        Md5SharedFileSize() = shared;
        Md5SharedPercent() = 0;
        std::string hex;
        const std::vector<int> seen = WatchPercent([&] { hex = MD5(std::fopen(path.c_str(), "rb")).hex_digest(); });
        EXPECT_EQ(hex, expected);
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
        EXPECT_EQ(seen.back(), 100);
        for (int percent : seen)
            ASSERT_TRUE(shared > 0 || percent == 0 || percent == 100) << percent;
    }
}

TEST(Md5Test, FailedReadsGiveNoDigestAndTheStreamIsClosed) {
    testsupport::TempDir dir;
    const auto path = dir.WriteFile("data.bin", "some bytes");

    // Its digest must not pass for the digest of nothing.
    std::FILE* writeOnly = std::fopen(path.c_str(), "ab");
    ASSERT_NE(writeOnly, nullptr);
    const int fd = fileno(writeOnly);
    Md5SharedPercent() = 0;
    const MD5 failed(writeOnly);
    EXPECT_EQ(failed.hex_digestW(), L"");
    EXPECT_EQ(Md5SharedPercent().load(), 100);
    EXPECT_EQ(fcntl(fd, F_GETFD), -1);  // closed although it failed
}
