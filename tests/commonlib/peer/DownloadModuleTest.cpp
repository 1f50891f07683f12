#include "commonlib/peer/DownloadModule.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "commonlib/peer/QVDownloadFileIO.h"
#include "commonlib/peer/TaskMetaFile.h"
#include "commonlib/thread/MainThreadTask.h"
#include "commonlib/util/Md5.h"
#include "commonlib/util/StringUtils.h"
#include "platform/sync/Clock.h"
#include "platform/window/MessageApi.h"
#include "support/HttpTestFixture.h"
#include "support/LoopbackUpdateServer.h"
#include "support/ManualClock.h"
#include "support/MessagePump.h"
#include "support/RandomBytes.h"
#include "support/ScriptedHttpServer.h"
#include "support/ScriptedTcpServer.h"
#include "support/TempDir.h"

using testsupport::ScriptedHttpServer;
using testsupport::ScriptedTcpServer;

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
    static_cast<Recorder*>(user)->progress.push_back({total, complete, speed, GetTickCount64()});
}

void OnDone(void* user, int type, int code) {
    static_cast<Recorder*>(user)->done.emplace_back(type, code);
}

// The application's 500 ms poll of the download scheduler.
void PollScheduler(HWND, UINT, UINT_PTR, DWORD) {
    if (CHttpMgr* mgr = GetDownloadHttpMgr()) {
        mgr->CheckTimeouts();
        mgr->StartDueRequests();
    }
}

std::string Md5Of(const std::string& bytes) {
    return MD5(bytes.data(), bytes.size()).hex_digest();
}

class DownloadModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CreateMainThreadWindow());
        SetDownloadTuning({.blockSize = 64 * 1024,
                           .minSplitBytes = 16 * 1024,
                           .lowSpeedSeconds = 2,
                           .retryDelaysMs = {0},
                           .stallTimeoutMs = 3000});
        SetDownloadCallbacks(&OnProgress, &OnDone);
        SetDownloadProgressInterval(kDownloadProgressIntervalMs);
        ASSERT_TRUE(StartDownloadModule());
        m_pollTimer = SetTimer(nullptr, 0, 500, &PollScheduler);
        m_payload = testsupport::RandomBytes(3 * 1024 * 1024 + 12345, 7);
        m_server.Serve("/pkg.bin", m_payload);
        std::filesystem::create_directories(m_host);
    }
    void TearDown() override {
        CQVDownloadFileIO::HoldWritesForTesting(false);
        TrustCaFile("");
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
    void ExpectSuccess() {
        ASSERT_FALSE(m_rec.done.empty());
        EXPECT_EQ(m_rec.done[0], std::make_pair(0, 0));
        EXPECT_TRUE(testsupport::TempDir::ReadFile(m_dest) == m_payload);
    }
    std::uint64_t MissingBytes() const {
        std::vector<ByteRange> gaps;
        if (CTaskMetaFile(Dest() + L".qvdt").Load(m_payload.size(), Utf8ToWide(Md5Of(m_payload)), gaps) !=
            CTaskMetaFile::LoadResult::Loaded) {
            return m_payload.size();
        }
        std::uint64_t missing = 0;
        for (const ByteRange& gap : gaps)
            missing += gap.Length();
        return missing;
    }
    // Every byte that the resume file does not list as missing is the package's in the
    // temporary file.
    void ExpectClaimedBytesOnDisk() const {
        std::vector<ByteRange> gaps;
        ASSERT_EQ(CTaskMetaFile(Dest() + L".qvdt").Load(m_payload.size(), Utf8ToWide(Md5Of(m_payload)), gaps),
                  CTaskMetaFile::LoadResult::Loaded);
        const std::string temp = testsupport::TempDir::ReadFile(m_temp);
        ASSERT_EQ(temp.size(), m_payload.size());
        std::uint64_t from = 0;
        gaps.push_back({m_payload.size(), m_payload.size()});
        for (const ByteRange& gap : gaps) {
            EXPECT_TRUE(temp.compare(from, gap.begin - from, m_payload, from, gap.begin - from) == 0)
                << "claimed " << from << "-" << gap.begin;
            from = gap.end;
        }
    }
    // Resumes from a fresh server, so bytes still draining into the old connections do not
    // count, and without sharing the last blocks, whose cut transfers may receive bytes
    // already in flight.
    void ResumeFetchesOnly(std::uint64_t missing) {
        DownloadTuning exact = GetDownloadTuning();
        exact.minSplitBytes = m_payload.size();
        SetDownloadTuning(exact);
        ScriptedHttpServer resumeServer;
        resumeServer.Serve("/pkg.bin", m_payload);
        Start(resumeServer.Url("/pkg.bin"));
        ASSERT_TRUE(WaitDone());
        ExpectSuccess();
        EXPECT_LE(resumeServer.BodyBytesSent(), missing);
    }

    testsupport::TempDir m_dir{testsupport::TempDir::Home::Redirect};
    std::filesystem::path m_host = m_dir.Path() / "home" / "dl";
    ScriptedHttpServer m_server;
    std::filesystem::path m_dest = m_host / "qvinstaller.exe";
    std::filesystem::path m_temp = m_host / "qvinstaller.exe.qvdt";
    std::filesystem::path m_meta = m_host / "qvinstaller.exe.qvdt.qvmt";
    std::string m_payload;
    Recorder m_rec;
    UINT_PTR m_pollTimer = 0;
};

}  // namespace

TEST_F(DownloadModuleTest, SlowSourceIsAbandonedForTheFallbackCdn) {
    m_server.SetRate(40 * 1024);
    ScriptedHttpServer cdn;
    cdn.Serve("/pkg.bin", m_payload);
    Start(m_server.Url("/pkg.bin"), "", "127.0.0.1:" + std::to_string(cdn.Port()), 1024 * 1024);
    ASSERT_TRUE(WaitDone());
    ExpectSuccess();
    EXPECT_FALSE(cdn.Requests().empty());
    // The slow source delivered only what arrived before the switch.
    EXPECT_LT(m_server.BodyBytesSent(), m_payload.size() / 2);
}

TEST_F(DownloadModuleTest, MultiPeerDownloadPastDeadAddressesGivesTheFileAndProgressOncePerSecond) {
    m_server.SetRate(256 * 1024);  // four connections: about three seconds
    // The URL's host does not resolve, the first pinned address refuses; the second serves.
    Start("http://pkg.invalid:" + std::to_string(m_server.Port()) + "/pkg.bin", "127.0.0.3; 127.0.0.1");
    ASSERT_TRUE(WaitDone());
    ExpectSuccess();
    EXPECT_FALSE(std::filesystem::exists(m_temp) || std::filesystem::exists(m_meta));
    EXPECT_GT(m_server.Requests().size(), 4u);
    EXPECT_LT(m_server.BodyBytesSent(), m_payload.size() + m_payload.size() / 10);
    ASSERT_GE(m_rec.progress.size(), 2u);
    bool sawSpeed = false;
    for (size_t i = 0; i < m_rec.progress.size(); ++i) {
        SCOPED_TRACE(i);
        const Progress& p = m_rec.progress[i];
        const Progress& before = m_rec.progress[i ? i - 1 : 0];
        EXPECT_EQ(p.total, static_cast<std::int64_t>(m_payload.size()));
        EXPECT_TRUE(before.complete <= p.complete && p.complete <= p.total);
        EXPECT_TRUE(i == 0 || p.atMs - before.atMs >= 900u) << p.atMs - before.atMs << " ms apart";
        sawSpeed = sawSpeed || p.speed > 0;
    }
    EXPECT_TRUE(sawSpeed);
    testsupport::PumpMessagesFor(std::chrono::milliseconds(1200));
    EXPECT_EQ(m_rec.done.size(), 1u);
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
    // Without the engine running the caller hears (3, 6) once.
    StopDownloadModule();
    m_rec.done.clear();
    Start(m_server.Url("/pkg.bin"));
    EXPECT_EQ(m_rec.done, (std::vector<std::pair<int, int>>{{3, 6}}));
}

TEST_F(DownloadModuleTest, StopLeavesAResumableStateAndNoLaterCallback) {
    m_server.SetRate(128 * 1024);
    Start(m_server.Url("/pkg.bin"));
    testsupport::PumpMessagesFor(std::chrono::milliseconds(1500));
    EXPECT_TRUE(StopDownload(Dest().c_str() /* not the URL */, Dest().c_str()));
    EXPECT_TRUE(StopDownload(Utf8ToWide(m_server.Url("/pkg.bin")).c_str(), Dest().c_str()));
    const size_t progressAtStop = m_rec.progress.size();
    testsupport::PumpMessagesFor(std::chrono::milliseconds(1500));
    EXPECT_EQ(m_rec.progress.size(), progressAtStop);
    EXPECT_TRUE(m_rec.done.empty());

    const std::uint64_t missing = MissingBytes();
    EXPECT_GT(missing, 0u);
    ASSERT_LT(missing, m_payload.size());
    ResumeFetchesOnly(missing);
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
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (MissingBytes() > m_payload.size() / 2 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended on its own";
    const std::uint64_t missing = MissingBytes();
    ASSERT_LT(missing, m_payload.size());
    ExpectClaimedBytesOnDisk();
    ResumeFetchesOnly(missing);
}

TEST_F(DownloadModuleTest, ThePackageFromTheUpdateServerArrivesWholeInRangesOverHttpAndHttps) {
    testsupport::LoopbackUpdateServer server({.certDir = m_dir.Path().string()});
    ASSERT_TRUE(server.Start());
    server.SetPackage(m_payload, "2.1.790");
    ASSERT_TRUE(TrustCaFile(server.CaFile()));
    for (const std::string& origin : {server.HttpOrigin(), server.HttpsOrigin()}) {
        SCOPED_TRACE(origin);
        std::filesystem::remove(m_dest);
        m_rec.done.clear();
        Start(origin + testsupport::LoopbackUpdateServer::kPackagePath);
        ASSERT_TRUE(WaitDone());
        ExpectSuccess();
    }
    size_t ranged = 0;
    for (const testsupport::UpdateServerRequest& request :
         server.RequestsFor(testsupport::LoopbackUpdateServer::kPackagePath))
        ranged += request.range.empty() ? 0 : 1;
    EXPECT_GT(ranged, 8u) << "every block asked for as a range";
}

TEST_F(DownloadModuleTest, BytesNotYetOnDiskAreNeitherRecordedNorReported) {
    // The writer thread holds everything back: the transfers take the whole package, but
    // neither the resume file nor the progress may count a byte of it.
    CQVDownloadFileIO::HoldWritesForTesting(true);
    Start(m_server.Url("/pkg.bin"));
    ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return m_rec.progress.size() >= 2; }));
    EXPECT_TRUE(m_rec.done.empty());
    EXPECT_EQ(MissingBytes(), m_payload.size());
    for (const Progress& progress : m_rec.progress)
        EXPECT_EQ(progress.complete, 0);
    ExpectClaimedBytesOnDisk();
    CQVDownloadFileIO::HoldWritesForTesting(false);
    ASSERT_TRUE(WaitDone());
    ExpectSuccess();
}

TEST_F(DownloadModuleTest, UnusableResumeStateIsDiscardedAndTheDownloadStartsOver) {
    const std::string garbage(m_payload.size(), 'g');
    const std::wstring md5 = Utf8ToWide(Md5Of(m_payload));
    // Each resume file, where there is one, claims nothing is missing.
    const struct {
        const char* why;
        std::string temp;
        std::wstring md5;
        std::string metaBytes;  // written over the saved resume file when not empty
        int cutMeta;
    } cases[] = {
        {"temporary file without resume file", m_payload.substr(1) + "x", L"", "", 0},
        {"corrupt resume file", garbage, md5, "\x06\x05garbage", 0},
        {"truncated resume file", garbage, md5, "", 3},
        {"resume file of another package", garbage, L"0123456789abcdef0123456789abcdef", "", 0},
        {"temporary file of another size", "short", md5, "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::filesystem::remove(m_dest);
        std::filesystem::remove(m_meta);
        m_rec.done.clear();
        m_dir.WriteFile("home/dl/qvinstaller.exe.qvdt", c.temp);
        if (!c.md5.empty()) {
            ASSERT_EQ(CTaskMetaFile(Dest() + L".qvdt").Save(m_payload.size(), c.md5, {}), 0u);
        }
        if (!c.metaBytes.empty()) m_dir.WriteFile("home/dl/qvinstaller.exe.qvdt.qvmt", c.metaBytes);
        if (c.cutMeta) std::filesystem::resize_file(m_meta, std::filesystem::file_size(m_meta) - c.cutMeta);
        Start(m_server.Url("/pkg.bin"));
        ASSERT_TRUE(WaitDone());
        ExpectSuccess();
        EXPECT_FALSE(std::filesystem::exists(m_temp) || std::filesystem::exists(m_meta));
    }
}

TEST_F(DownloadModuleTest, BadServersEndWithTheEngineTypeAndTheirCodeOrARetry) {
    using Fault = ScriptedHttpServer::Fault;
    const struct {
        const char* why;
        Fault fault;
        int times;
        std::pair<int, int> expected;
    } cases[] = {
        {"200 to a range request: one connection fetches it all", Fault::IgnoreRange, -1, {0, 0}},
        {"Content-Range starting elsewhere", Fault::WrongRangeStart, -1, {3, 2009}},
        {"Content-Range of another file size", Fault::WrongTotal, -1, {3, 2008}},
        {"overlong body", Fault::OverlongBody, -1, {3, 2008}},
        {"one short body, retried", Fault::ShortBody, 1, {0, 0}},
        {"one reset mid-block, retried", Fault::ResetMidBody, 2, {0, 0}},
        {"resets on every request", Fault::ResetMidBody, -1, {3, 56}},
        {"server error", Fault::Status, -1, {3, 503}},
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
            ExpectSuccess();
        } else {
            EXPECT_FALSE(std::filesystem::exists(m_dest));
        }
        StopDownload(Utf8ToWide(m_server.Url("/pkg.bin")).c_str(), Dest().c_str());
        std::filesystem::remove(m_temp);
        std::filesystem::remove(m_meta);
    }
    // A file the disk cannot hold fails at once with the system's disk-full code.
    m_rec.done.clear();
    m_server.SetFault(Fault::None, 0);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit small{1024 * 1024, saved.rlim_max};
    const auto previous = ::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &small);
    Start(m_server.Url("/pkg.bin"));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previous);
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(m_rec.done[0], std::make_pair(1, 112));
    EXPECT_FALSE(std::filesystem::exists(m_dest));
}

TEST_F(DownloadModuleTest, FilesThatCannotBeFinishedEndWithTypeOneAndTheSystemError) {
    // The final name is taken by a directory: the complete temporary file waits for the next
    // attempt, which only moves it.
    m_dir.WriteFile("home/dl/qvinstaller.exe/keep", "x");
    Start(m_server.Url("/pkg.bin"));
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(m_rec.done[0].first, 1);
    EXPECT_NE(m_rec.done[0].second, 0);
    std::filesystem::remove_all(m_dest);
    const std::uint64_t sentBefore = m_server.BodyBytesSent();
    m_rec.done.clear();
    Start(m_server.Url("/pkg.bin"));
    ASSERT_EQ(m_rec.done.size(), 1u);
    ExpectSuccess();
    EXPECT_EQ(m_server.BodyBytesSent(), sentBefore);

    // The temporary file deleted mid-way is not taken for one already in place.
    std::filesystem::remove(m_dest);
    m_rec.done.clear();
    m_server.SetRate(512 * 1024);
    Start(m_server.Url("/pkg.bin"));
    ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return std::filesystem::exists(m_temp); }));
    std::filesystem::remove(m_temp);
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(m_rec.done[0], std::make_pair(1, 2));
    EXPECT_FALSE(std::filesystem::exists(m_dest));
}

TEST_F(DownloadModuleTest, AnswersThatAreNotTheFileAreNeverCounted) {
    // Servers that ignore ranges and send no length: the one connection left must not take
    // what it gets for the file, and a run against a healthy server then fetches it all.
    const std::string head = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n";
    const std::string html = "<html><body>Please sign in to continue.</body></html>";
    const struct {
        const char* why;
        ScriptedTcpServer::Script script;
    } cases[] = {
        {"a login page", {.response = head + html}},
        // The first piece fills the whole file; the rest comes later, in a read of its own.
        {"another, longer file",
         {.response = head + testsupport::RandomBytes(m_payload.size() + 4096, 99),
          .piece = head.size() + m_payload.size(),
          .interval = std::chrono::milliseconds(300)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::filesystem::remove(m_dest);
        m_rec.done.clear();
        ScriptedTcpServer bogus(c.script);
        ASSERT_TRUE(bogus.Start());
        Start(bogus.Url("/pkg.bin"));
        ASSERT_TRUE(WaitDone()) << "the task never ended";
        EXPECT_EQ(m_rec.done[0], std::make_pair(3, 2008));
        EXPECT_FALSE(std::filesystem::exists(m_dest));
        EXPECT_EQ(MissingBytes(), m_payload.size());

        m_rec.done.clear();
        Start(m_server.Url("/pkg.bin"));
        ASSERT_TRUE(WaitDone());
        ExpectSuccess();
    }
}

TEST_F(DownloadModuleTest, AStalledRangeMovesToAnotherConnection) {
    // Without an inactivity limit, only the judgement of recent speed can move the range on.
    DownloadTuning tuning = GetDownloadTuning();
    tuning.stallTimeoutMs = 0;
    tuning.speedWindowMs = 1000;
    SetDownloadTuning(tuning);
    m_server.SetFault(ScriptedHttpServer::Fault::StallMidBody, 1);
    Start(m_server.Url("/pkg.bin"));
    ASSERT_TRUE(WaitDone()) << "the stalled range never moved";
    ExpectSuccess();
}

TEST_F(DownloadModuleTest, ARestartingServerIsWaitedFor) {
    // A quick timer step, so the waits end close to their length.
    StopDownloadModule();
    SetDownloadProgressInterval(100);
    ASSERT_TRUE(StartDownloadModule());
    DownloadTuning tuning = GetDownloadTuning();
    tuning.peerCount = 1;
    tuning.retryDelaysMs = {200, 400, 800};
    SetDownloadTuning(tuning);
    // Three failures in a row, as while the server restarts.
    m_server.SetFault(ScriptedHttpServer::Fault::Status, 3);
    const auto start = std::chrono::steady_clock::now();
    Start(m_server.Url("/pkg.bin"));
    ASSERT_TRUE(WaitDone());
    ExpectSuccess();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1400));
}

namespace {

// The engine's own waits, on a clock that moves only when the test moves it; the transfers
// themselves still run in real time between the steps.
class DownloadFailoverTest : public DownloadModuleTest {
protected:
    static constexpr std::chrono::milliseconds kStep{250};

    void SetUp() override {
        DownloadModuleTest::SetUp();
        SetDownloadTuning({.blockSize = 64 * 1024, .minSplitBytes = 16 * 1024});
        m_second.Serve("/pkg.bin", m_payload);
    }
    // Steps the clock, letting the network work between the steps, until `done` holds; how far
    // the clock moved, or nothing when `done` did not hold within `limit`.
    std::optional<std::chrono::milliseconds> AdvanceUntil(const std::function<bool()>& done,
                                                          std::chrono::milliseconds limit) {
        for (std::chrono::milliseconds moved{0};; moved += kStep) {
            if (testsupport::PumpMessagesUntil(done, std::chrono::milliseconds(50))) return moved;
            if (moved >= limit) return std::nullopt;
            m_clock.Advance(kStep);
        }
    }

    testsupport::ScopedManualClock m_clock;
    ScriptedHttpServer m_second;
};

}  // namespace

TEST_F(DownloadFailoverTest, ASourceThatFreezesOrDiesGivesWayToTheNextWithinSeconds) {
    for (const auto outage : {ScriptedHttpServer::Outage::Freeze, ScriptedHttpServer::Outage::Die}) {
        SCOPED_TRACE(outage == ScriptedHttpServer::Outage::Freeze ? "freeze" : "die");
        ScriptedHttpServer first;
        first.Serve("/pkg.bin", m_payload);
        first.FailAfter(outage, 512 * 1024);
        std::filesystem::remove(m_dest);
        m_rec.done.clear();
        const std::size_t secondRequests = m_second.Requests().size();
        Start(first.Url("/pkg.bin"), "127.0.0.1:" + std::to_string(m_second.Port()));
        ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return first.OutageTime().has_value(); }));
        testsupport::PumpMessagesFor(std::chrono::milliseconds(100));
        const auto moved =
            AdvanceUntil([&] { return m_second.Requests().size() > secondRequests; }, std::chrono::seconds(40));
        ASSERT_TRUE(moved.has_value()) << "the second source was never asked";
        EXPECT_LT(moved->count(), 5000);
        ASSERT_TRUE(AdvanceUntil([&] { return !m_rec.done.empty(); }, std::chrono::seconds(60)));
        ExpectSuccess();
        StopDownload(Utf8ToWide(first.Url("/pkg.bin")).c_str(), Dest().c_str());
    }
}

TEST_F(DownloadFailoverTest, ADefinitiveAnswerEndsItsSourceAtOnce) {
    using Fault = ScriptedHttpServer::Fault;
    const int peers = DownloadTuning().peerCount;
    for (const int status : {404, 403, 410}) {
        SCOPED_TRACE(status);
        // The only source: the task ends without a single wait, one request per peer.
        std::filesystem::remove(m_dest);
        m_rec.done.clear();
        ScriptedHttpServer gone;
        gone.Serve("/pkg.bin", m_payload);
        gone.SetFault(Fault::Status, -1, status);
        Start(gone.Url("/pkg.bin"));
        ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return !m_rec.done.empty(); }, std::chrono::seconds(5)));
        EXPECT_EQ(m_rec.done[0], std::make_pair(3, status));
        EXPECT_LE(gone.Requests().size(), static_cast<std::size_t>(peers));

        // With a second source, that one serves the file, again without a wait.
        m_rec.done.clear();
        Start(gone.Url("/pkg.bin"), "127.0.0.1:" + std::to_string(m_second.Port()));
        ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return !m_rec.done.empty(); }, std::chrono::seconds(5)));
        ExpectSuccess();
    }
    // A failure that may pass is retried along the delays on the last source.
    std::filesystem::remove(m_dest);
    m_rec.done.clear();
    m_server.SetFault(Fault::Status, -1, 503);
    Start(m_server.Url("/pkg.bin"));
    testsupport::PumpMessagesFor(std::chrono::milliseconds(300));
    EXPECT_TRUE(m_rec.done.empty());
    ASSERT_TRUE(AdvanceUntil([&] { return !m_rec.done.empty(); }, std::chrono::seconds(30)));
    EXPECT_EQ(m_rec.done[0], std::make_pair(3, 503));
    EXPECT_EQ(m_server.Requests().size(),
              static_cast<std::size_t>(peers) * (DownloadTuning().retryDelaysMs.size() + 1));
}

TEST_F(DownloadFailoverTest, ASilentTransfersWholeRangeGoesToTheIdlePeersAtOnce) {
    // Three peers, one block each; the first answer stops half-way and stays silent.
    constexpr std::uint64_t kBlock = 128 * 1024;
    m_payload = testsupport::RandomBytes(3 * kBlock, 11);
    m_server.Serve("/pkg.bin", m_payload);
    SetDownloadTuning({.blockSize = kBlock, .peerCount = 3, .minSplitBytes = 16 * 1024});
    m_server.SetFault(ScriptedHttpServer::Fault::StallMidBody, 1);
    Start(m_server.Url("/pkg.bin"));
    ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return m_server.BodyBytesSent() >= 2 * kBlock + kBlock / 2; }));
    testsupport::PumpMessagesFor(std::chrono::milliseconds(100));
    ASSERT_EQ(m_server.Requests().size(), 3u);

    // Nothing is handed out by halves: the first hand-over gives out everything that is left.
    ASSERT_TRUE(AdvanceUntil([&] { return m_server.Requests().size() > 3; }, std::chrono::seconds(10)));
    testsupport::PumpMessagesFor(std::chrono::milliseconds(100));
    const auto requests = m_server.Requests();
    ASSERT_EQ(requests.size(), 5u) << "the two idle peers take a share each";
    std::vector<ByteRange> shares;
    for (size_t i = 3; i < requests.size(); ++i) {
        const std::string range = requests[i].Header("Range");
        const size_t dash = range.find('-');
        shares.push_back({std::stoull(range.substr(6, dash - 6)), std::stoull(range.substr(dash + 1)) + 1});
    }
    std::sort(shares.begin(), shares.end(), [](const ByteRange& a, const ByteRange& b) { return a.begin < b.begin; });
    EXPECT_EQ(shares[0].end, shares[1].begin);
    EXPECT_EQ(shares[0].begin % kBlock, kBlock / 2) << "the silent transfer's unwritten half";
    EXPECT_EQ(shares[1].end % kBlock, 0u);
    EXPECT_EQ(shares[0].Length(), shares[1].Length());

    ASSERT_TRUE(AdvanceUntil([&] { return !m_rec.done.empty(); }, std::chrono::seconds(30)));
    ExpectSuccess();
}
