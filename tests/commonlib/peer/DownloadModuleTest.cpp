#include "commonlib/peer/DownloadModule.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <thread>
#include <vector>

#include "commonlib/peer/TaskMetaFile.h"
#include "commonlib/thread/MainThreadTask.h"
#include "commonlib/util/Md5.h"
#include "commonlib/util/StringUtils.h"
#include "platform/sync/Clock.h"
#include "platform/window/MessageApi.h"
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

// The application's 500 ms poll of the download scheduler.
void PollScheduler(HWND, UINT, UINT_PTR, DWORD) {
    if (CHttpMgr* mgr = GetDownloadHttpMgr()) {
        mgr->CheckTimeouts();
        mgr->StartDueRequests();
    }
}

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(rng());
    return bytes;
}

std::string Md5Of(const std::string& bytes) {
    return MD5(bytes.data(), bytes.size()).hex_digest();
}

std::string ReadAll(const std::filesystem::path& path) {
    return testsupport::TempDir::ReadFile(path);
}

class DownloadModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CreateMainThreadWindow());
        DownloadTuning tuning;
        tuning.blockSize = 64 * 1024;
        tuning.minSplitBytes = 16 * 1024;
        tuning.lowSpeedSeconds = 2;
        tuning.stallTimeoutMs = 3000;
        SetDownloadTuning(tuning);
        SetDownloadCallbacks(&OnProgress, &OnDone);
        SetDownloadProgressInterval(kDownloadProgressIntervalMs);
        ASSERT_TRUE(StartDownloadModule());
        m_pollTimer = SetTimer(nullptr, 0, 500, &PollScheduler);
        m_payload = RandomBytes(3 * 1024 * 1024 + 12345, 7);
        m_server.Serve("/pkg.bin", m_payload);
        std::filesystem::create_directories(m_host);
        m_dest = m_host / "qvinstaller.exe";
    }
    void TearDown() override {
        KillTimer(nullptr, m_pollTimer);
        StopDownloadModule();
        SetDownloadTuning(DownloadTuning());
        ShutdownMainThreadQueue();
    }

    // The program's form of m_dest: C: is the redirected home directory.
    std::wstring Dest() const { return L"C:\\dl\\qvinstaller.exe"; }

    void Start(const std::string& url, const std::string& fallback = "", const std::string& cdnHost = "",
               std::int64_t minSpeed = 0, std::int64_t size = -1) {
        StartDownload(Utf8ToWide(Md5Of(m_payload)).c_str(), Utf8ToWide(cdnHost).c_str(), Utf8ToWide(url).c_str(),
                      Utf8ToWide(fallback).c_str(), Dest().c_str(),
                      size < 0 ? static_cast<std::int64_t>(m_payload.size()) : size, &m_rec, minSpeed, "{}");
    }

    bool WaitDone(std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
        return testsupport::PumpMessagesUntil([&] { return !m_rec.done.empty(); }, timeout);
    }

    testsupport::TempDir m_dir{testsupport::TempDir::Home::Redirect};
    std::filesystem::path m_host = m_dir.Path() / "home" / "dl";
    RangeHttpServer m_server;
    std::string m_payload;
    std::filesystem::path m_dest;
    Recorder m_rec;
    UINT_PTR m_pollTimer = 0;
};

}  // namespace

TEST_F(DownloadModuleTest, MultiPeerDownloadCompletesWithTheRightContent) {
    Start(m_server.Url("/pkg.bin"));
    ASSERT_TRUE(WaitDone());
    ASSERT_EQ(m_rec.done.size(), 1u);
    EXPECT_EQ(m_rec.done[0], std::make_pair(0, 0));
    EXPECT_EQ(Md5Of(ReadAll(m_dest)), Md5Of(m_payload));
    EXPECT_FALSE(std::filesystem::exists(m_host / "qvinstaller.exe.qvdt"));
    EXPECT_FALSE(std::filesystem::exists(m_host / "qvinstaller.exe.qvdt.qvmt"));
    EXPECT_GT(m_server.Requests(), 4);
    EXPECT_LT(m_server.BodyBytesSent(), m_payload.size() + m_payload.size() / 10);
    testsupport::PumpMessagesFor(std::chrono::milliseconds(1200));
    EXPECT_EQ(m_rec.done.size(), 1u);
}

TEST_F(DownloadModuleTest, SlowSourceIsAbandonedForTheFallbackCdn) {
    m_server.SetRate(40 * 1024);
    RangeHttpServer cdn;
    cdn.Serve("/pkg.bin", m_payload);
    Start(m_server.Url("/pkg.bin"), "", "127.0.0.1:" + std::to_string(cdn.Port()), 1024 * 1024);
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(m_rec.done[0], std::make_pair(0, 0));
    EXPECT_EQ(Md5Of(ReadAll(m_dest)), Md5Of(m_payload));
    EXPECT_GT(cdn.Requests(), 0);
    // The slow source delivered only what arrived before the switch.
    EXPECT_LT(m_server.BodyBytesSent(), m_payload.size() / 2);
}

TEST_F(DownloadModuleTest, DeadAddressesFallOverToTheNextSource) {
    // The URL's host does not resolve, the first pinned address refuses; the second serves.
    const std::string url = "http://pkg.invalid:" + std::to_string(m_server.Port()) + "/pkg.bin";
    Start(url, "127.0.0.3; 127.0.0.1");
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(m_rec.done[0], std::make_pair(0, 0));
    EXPECT_EQ(Md5Of(ReadAll(m_dest)), Md5Of(m_payload));
}

TEST_F(DownloadModuleTest, ProgressComesOncePerSecondWithSaneTotals) {
    m_server.SetRate(256 * 1024);  // four connections: about three seconds
    Start(m_server.Url("/pkg.bin"));
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(m_rec.done[0], std::make_pair(0, 0));
    ASSERT_GE(m_rec.progress.size(), 2u);
    std::int64_t previous = 0;
    bool sawSpeed = false;
    for (size_t i = 0; i < m_rec.progress.size(); ++i) {
        SCOPED_TRACE(i);
        const Progress& p = m_rec.progress[i];
        EXPECT_EQ(p.total, static_cast<std::int64_t>(m_payload.size()));
        EXPECT_GE(p.complete, previous);
        EXPECT_LE(p.complete, p.total);
        previous = p.complete;
        sawSpeed = sawSpeed || p.speed > 0;
        if (i > 0) {
            EXPECT_GE(p.atMs - m_rec.progress[i - 1].atMs, 900u);
        }
    }
    EXPECT_TRUE(sawSpeed);
}

TEST_F(DownloadModuleTest, TasksThatCannotRunEndOnceBeforeStartReturns) {
    const struct {
        const char* why;
        std::string url;
        std::int64_t size;
        std::pair<int, int> expected;
    } cases[] = {
        {"nothing to fetch", m_server.Url("/pkg.bin"), 0, {3, 2005}},
        {"no usable source", "ftp://example/pkg.bin", 100, {3, 809}},
        {"empty URL", "", 100, {3, 809}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        m_rec.done.clear();
        Start(c.url, "", "", 0, c.size);
        ASSERT_EQ(m_rec.done.size(), 1u);
        EXPECT_EQ(m_rec.done[0], c.expected);
        testsupport::PumpMessagesFor(std::chrono::milliseconds(1100));
        EXPECT_EQ(m_rec.done.size(), 1u);
    }
    {
        // Without the engine running the caller hears (3, 6) once.
        StopDownloadModule();
        m_rec.done.clear();
        Start(m_server.Url("/pkg.bin"));
        ASSERT_EQ(m_rec.done.size(), 1u);
        EXPECT_EQ(m_rec.done[0], std::make_pair(3, 6));
    }
}

TEST_F(DownloadModuleTest, StopLeavesAResumableStateAndNoLaterCallback) {
    m_server.SetRate(128 * 1024);
    Start(m_server.Url("/pkg.bin"));
    testsupport::PumpMessagesFor(std::chrono::milliseconds(1500));
    EXPECT_TRUE(StopDownload(Dest().c_str() /* not the URL */, Dest().c_str()));
    const std::wstring url = Utf8ToWide(m_server.Url("/pkg.bin"));
    EXPECT_TRUE(StopDownload(url.c_str(), Dest().c_str()));
    const size_t progressAtStop = m_rec.progress.size();
    testsupport::PumpMessagesFor(std::chrono::milliseconds(1500));
    EXPECT_EQ(m_rec.progress.size(), progressAtStop);
    EXPECT_TRUE(m_rec.done.empty());

    std::vector<ByteRange> gaps;
    ASSERT_EQ(CTaskMetaFile(Dest() + L".qvdt").Load(m_payload.size(), Utf8ToWide(Md5Of(m_payload)), gaps),
              CTaskMetaFile::LoadResult::Loaded);
    std::uint64_t missing = 0;
    for (const ByteRange& gap : gaps)
        missing += gap.Length();
    EXPECT_GT(missing, 0u);
    EXPECT_LT(missing, m_payload.size());

    // A fresh server, so bytes still draining into the old connections do not count; no
    // sharing of the last blocks, whose cut transfers may receive bytes already in flight.
    DownloadTuning exact = GetDownloadTuning();
    exact.minSplitBytes = m_payload.size();
    SetDownloadTuning(exact);
    RangeHttpServer resumeServer;
    resumeServer.Serve("/pkg.bin", m_payload);
    Start(resumeServer.Url("/pkg.bin"));
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(m_rec.done[0], std::make_pair(0, 0));
    EXPECT_EQ(Md5Of(ReadAll(m_dest)), Md5Of(m_payload));
    EXPECT_LE(resumeServer.BodyBytesSent(), missing);
}

// Run as a child process by the kill test; does nothing in a normal run.
TEST_F(DownloadModuleTest, ChildDownloadUntilKilled) {
    const char* url = std::getenv("XJ_DOWNLOAD_CHILD_URL");
    const char* home = std::getenv("XJ_DOWNLOAD_CHILD_HOME");
    if (!url || !home) GTEST_SKIP() << "only run by KillHalfWayThenResumeFetchesOnlyTheGaps";
    ::setenv("HOME", home, 1);  // the parent's C: drive
    Start(url);
    WaitDone(std::chrono::seconds(60));
    ADD_FAILURE() << "the parent should have killed this process";
}

TEST_F(DownloadModuleTest, KillHalfWayThenResumeFetchesOnlyTheGaps) {
    m_server.SetRate(200 * 1024);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::setenv("XJ_DOWNLOAD_CHILD_URL", m_server.Url("/pkg.bin").c_str(), 1);
        ::setenv("XJ_DOWNLOAD_CHILD_HOME", (m_dir.Path() / "home").c_str(), 1);
        ::execl("/proc/self/exe", "child", "--gtest_filter=DownloadModuleTest.ChildDownloadUntilKilled", nullptr);
        ::_exit(127);
    }
    const std::wstring md5 = Utf8ToWide(Md5Of(m_payload));
    const CTaskMetaFile meta(Dest() + L".qvdt");
    auto missingNow = [&]() -> std::uint64_t {
        std::vector<ByteRange> gaps;
        if (meta.Load(m_payload.size(), md5, gaps) != CTaskMetaFile::LoadResult::Loaded) return m_payload.size();
        std::uint64_t missing = 0;
        for (const ByteRange& gap : gaps)
            missing += gap.Length();
        return missing;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (missingNow() > m_payload.size() / 2 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended on its own";
    const std::uint64_t missing = missingNow();
    ASSERT_LT(missing, m_payload.size());

    // A fresh server, so bytes still draining into the old connections do not count; no
    // sharing of the last blocks, whose cut transfers may receive bytes already in flight.
    DownloadTuning exact = GetDownloadTuning();
    exact.minSplitBytes = m_payload.size();
    SetDownloadTuning(exact);
    RangeHttpServer resumeServer;
    resumeServer.Serve("/pkg.bin", m_payload);
    Start(resumeServer.Url("/pkg.bin"));
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(m_rec.done[0], std::make_pair(0, 0));
    EXPECT_EQ(Md5Of(ReadAll(m_dest)), Md5Of(m_payload));
    EXPECT_LE(resumeServer.BodyBytesSent(), missing);
}

TEST_F(DownloadModuleTest, UnusableResumeStateIsDiscardedAndTheDownloadStartsOver) {
    const std::filesystem::path temp = m_host / "qvinstaller.exe.qvdt";
    const std::filesystem::path metaPath = m_host / "qvinstaller.exe.qvdt.qvmt";
    const std::string garbage(m_payload.size(), 'g');
    auto foreignMeta = [&] {
        // A resume file of another package that claims nothing is missing.
        ASSERT_EQ(CTaskMetaFile(Dest() + L".qvdt").Save(m_payload.size(), L"0123456789abcdef0123456789abcdef", {}), 0u);
    };
    const struct {
        const char* why;
        std::function<void()> prepare;
    } cases[] = {
        {"temporary file without resume file",
         [&] { m_dir.WriteFile("home/dl/qvinstaller.exe.qvdt", m_payload.substr(1) + "x"); }},
        {"corrupt resume file",
         [&] {
             m_dir.WriteFile("home/dl/qvinstaller.exe.qvdt", garbage);
             m_dir.WriteFile("home/dl/qvinstaller.exe.qvdt.qvmt", "\x06\x05garbage");
         }},
        {"truncated resume file",
         [&] {
             m_dir.WriteFile("home/dl/qvinstaller.exe.qvdt", garbage);
             ASSERT_EQ(CTaskMetaFile(Dest() + L".qvdt").Save(m_payload.size(), Utf8ToWide(Md5Of(m_payload)), {}), 0u);
             std::filesystem::resize_file(metaPath, std::filesystem::file_size(metaPath) - 3);
         }},
        {"resume file of another package",
         [&] {
             m_dir.WriteFile("home/dl/qvinstaller.exe.qvdt", garbage);
             foreignMeta();
         }},
        {"temporary file of another size",
         [&] {
             m_dir.WriteFile("home/dl/qvinstaller.exe.qvdt", "short");
             ASSERT_EQ(CTaskMetaFile(Dest() + L".qvdt").Save(m_payload.size(), Utf8ToWide(Md5Of(m_payload)), {}), 0u);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::filesystem::remove(m_dest);
        std::filesystem::remove(metaPath);
        m_rec.done.clear();
        c.prepare();
        Start(m_server.Url("/pkg.bin"));
        ASSERT_TRUE(WaitDone());
        EXPECT_EQ(m_rec.done[0], std::make_pair(0, 0));
        EXPECT_EQ(Md5Of(ReadAll(m_dest)), Md5Of(m_payload));
        EXPECT_FALSE(std::filesystem::exists(temp));
        EXPECT_FALSE(std::filesystem::exists(metaPath));
    }
}

TEST_F(DownloadModuleTest, BadServersEndInTheirPairOrARetry) {
    using Fault = RangeHttpServer::Fault;
    const struct {
        const char* why;
        Fault fault;
        int times;
        std::pair<int, int> expected;
    } cases[] = {
        {"200 to a range request: one connection fetches it all", Fault::IgnoreRange, -1, {0, 0}},
        {"Content-Range starting elsewhere", Fault::WrongRangeStart, -1, {3, 2009}},
        {"Content-Range of another file size", Fault::WrongTotal, -1, {4, 2008}},
        {"overlong body", Fault::OverlongBody, -1, {4, 2008}},
        {"one short body, retried", Fault::ShortBody, 1, {0, 0}},
        {"one reset mid-block, retried", Fault::ResetMidBody, 2, {0, 0}},
        {"resets on every request", Fault::ResetMidBody, -1, {5, 56}},
        {"server error", Fault::Status, -1, {4, 503}},
        {"headers, then silence", Fault::Stall, -1, {3, 3002}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::filesystem::remove(m_dest);
        m_rec.done.clear();
        m_server.SetFault(c.fault, c.times);
        Start(m_server.Url("/pkg.bin"));
        ASSERT_TRUE(WaitDone());
        EXPECT_EQ(m_rec.done[0], c.expected);
        if (c.expected.first == 0) {
            EXPECT_EQ(Md5Of(ReadAll(m_dest)), Md5Of(m_payload));
        } else {
            EXPECT_FALSE(std::filesystem::exists(m_dest));
        }
        StopDownload(Utf8ToWide(m_server.Url("/pkg.bin")).c_str(), Dest().c_str());
        std::filesystem::remove(m_host / "qvinstaller.exe.qvdt");
        std::filesystem::remove(m_host / "qvinstaller.exe.qvdt.qvmt");
    }
    {
        // A file the disk cannot hold fails at once with the system's disk-full code.
        m_rec.done.clear();
        m_server.SetFault(Fault::None, 0);
        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const auto previous = ::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 1024 * 1024;
        ::setrlimit(RLIMIT_FSIZE, &small);
        Start(m_server.Url("/pkg.bin"));
        ::setrlimit(RLIMIT_FSIZE, &saved);
        ::signal(SIGXFSZ, previous);
        ASSERT_TRUE(WaitDone());
        EXPECT_EQ(m_rec.done[0], std::make_pair(1, 112));
        EXPECT_FALSE(std::filesystem::exists(m_dest));
    }
}

TEST_F(DownloadModuleTest, ATemporaryFileDeletedMidWayIsNotReportedAsInPlace) {
    m_server.SetRate(512 * 1024);
    Start(m_server.Url("/pkg.bin"));
    ASSERT_TRUE(
        testsupport::PumpMessagesUntil([&] { return std::filesystem::exists(m_host / "qvinstaller.exe.qvdt"); }));
    std::filesystem::remove(m_host / "qvinstaller.exe.qvdt");
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(m_rec.done[0], std::make_pair(1, 2));
    EXPECT_FALSE(std::filesystem::exists(m_dest));
}

TEST_F(DownloadModuleTest, FailedMoveReportsTheSystemErrorAsTypeOne) {
    std::filesystem::create_directory(m_dest);  // the final name is taken by a directory
    std::filesystem::path inside = m_dest / "keep";
    std::ofstream(inside) << "x";
    Start(m_server.Url("/pkg.bin"));
    ASSERT_TRUE(WaitDone());
    ASSERT_EQ(m_rec.done.size(), 1u);
    EXPECT_EQ(m_rec.done[0].first, 1);
    EXPECT_NE(m_rec.done[0].second, 0);
    // The complete temporary file waits for the next attempt, which only moves it.
    std::filesystem::remove_all(m_dest);
    const std::uint64_t sentBefore = m_server.BodyBytesSent();
    m_rec.done.clear();
    Start(m_server.Url("/pkg.bin"));
    ASSERT_EQ(m_rec.done.size(), 1u);
    EXPECT_EQ(m_rec.done[0], std::make_pair(0, 0));
    EXPECT_EQ(m_server.BodyBytesSent(), sentBefore);
    EXPECT_EQ(Md5Of(ReadAll(m_dest)), Md5Of(m_payload));
}
