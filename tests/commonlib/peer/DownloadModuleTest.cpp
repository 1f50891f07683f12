#include "commonlib/peer/DownloadModule.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "commonlib/peer/TaskMetaFile.h"
#include "commonlib/thread/MainThreadTask.h"
#include "commonlib/util/Md5.h"
#include "commonlib/util/StringUtils.h"
#include "platform/sync/Clock.h"
#include "support/MessagePump.h"
#include "support/RangeHttpServer.h"
#include "support/TempDir.h"

using testsupport::RangeHttpServer;

namespace {

struct Progress {
    std::int64_t total, complete;
    std::uint32_t speed;
    std::uint64_t atMs;
};

struct Recorder {
    std::vector<Progress> progress;
    std::vector<std::pair<int, int>> done;
};

void OnProgress(void* user, std::int64_t total, std::int64_t complete, std::uint32_t speed) {
    auto* r = static_cast<Recorder*>(user);
    r->progress.push_back({total, complete, speed, GetTickCount64()});
}

void OnDone(void* user, int type, int code) {
    auto* r = static_cast<Recorder*>(user);
    r->done.emplace_back(type, code);
}

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(rng());
    return bytes;
}

std::string Md5Of(const std::string& bytes) { return MD5(bytes.data(), bytes.size()).hex_digest(); }

std::string ReadAll(const std::filesystem::path& path) { return testsupport::TempDir::ReadFile(path); }

class DownloadModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CreateMainThreadWindow());
        DownloadTuning tuning;
        tuning.blockSize = 64 * 1024;
        tuning.minSplitBytes = 16 * 1024;
        tuning.lowSpeedSeconds = 2;
        tuning.connectTimeoutMs = 2000;
        tuning.stallTimeoutMs = 3000;
        SetDownloadTuning(tuning);
        SetDownloadCallbacks(&OnProgress, &OnDone);
        SetDownloadProgressInterval(kDownloadProgressIntervalMs);
        ASSERT_TRUE(StartDownloadModule());
        m_payload = RandomBytes(3 * 1024 * 1024 + 12345, 7);
        m_server.Serve("/pkg.bin", m_payload);
        m_dest = m_dir / "qvinstaller.exe";
    }
    void TearDown() override {
        StopDownloadModule();
        SetDownloadTuning(DownloadTuning());
        ShutdownMainThreadQueue();
    }

    std::wstring Dest() const { return Utf8ToWide(m_dest.string()); }

    void Start(const std::string& url, const std::string& fallback = "", const std::string& cdnHost = "",
               std::int64_t minSpeed = 0, std::int64_t size = -1) {
        StartDownload(Utf8ToWide(Md5Of(m_payload)).c_str(), Utf8ToWide(cdnHost).c_str(), Utf8ToWide(url).c_str(),
                      Utf8ToWide(fallback).c_str(), Dest().c_str(),
                      size < 0 ? static_cast<std::int64_t>(m_payload.size()) : size, &m_rec, minSpeed, "{}");
    }

    bool WaitDone(std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
        return testsupport::PumpMessagesUntil([&] { return !m_rec.done.empty(); }, timeout);
    }

    testsupport::TempDir m_dir;
    RangeHttpServer m_server;
    std::string m_payload;
    std::filesystem::path m_dest;
    Recorder m_rec;
};

}  // namespace

TEST_F(DownloadModuleTest, MultiPeerDownloadCompletesWithTheRightContent) {
    Start(m_server.Url("/pkg.bin"));
    ASSERT_TRUE(WaitDone());
    ASSERT_EQ(m_rec.done.size(), 1u);
    EXPECT_EQ(m_rec.done[0], std::make_pair(0, 0));
    EXPECT_EQ(Md5Of(ReadAll(m_dest)), Md5Of(m_payload));
    EXPECT_FALSE(std::filesystem::exists(m_dir / "qvinstaller.exe.qvdt"));
    EXPECT_FALSE(std::filesystem::exists(m_dir / "qvinstaller.exe.qvdt.qvmt"));
    EXPECT_GT(m_server.Requests(), 4);
    EXPECT_LT(m_server.BodyBytesSent(), m_payload.size() + m_payload.size() / 10);
    testsupport::PumpMessagesFor(std::chrono::milliseconds(1200));
    EXPECT_EQ(m_rec.done.size(), 1u);
}
