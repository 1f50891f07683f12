#include "commonlib/peer/DownloadTask.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "commonlib/thread/MainThreadTask.h"
#include "commonlib/util/Md5.h"
#include "commonlib/util/StringUtils.h"
#include "support/MessagePump.h"
#include "support/RandomBytes.h"
#include "support/ScriptedHttpServer.h"
#include "support/ScriptedTcpServer.h"
#include "support/TempDir.h"

using testsupport::ScriptedHttpServer;

namespace {

struct RecordingListener : DAEventListener {
    void OnPeerDone(CDownloadTask&, int peer, NetResult) override { peers.push_back(peer); }
    void OnServerAddress(CDownloadTask&, const std::string&) override {}
    void OnRedirect(CDownloadTask&, const std::string&) override {}
    void OnAddressChange(CDownloadTask&, int, const std::string&) override {}
    void OnRetry(CDownloadTask&, int, NetResult) override {}
    void OnTaskDone(CDownloadTask&, NetResult result) override { done.push_back(result); }

    std::vector<int> peers;
    std::vector<NetResult> done;
};

class DownloadTaskTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CreateMainThreadWindow());
        // No timer steps here: retries must be due at once.
        SetDownloadTuning({.blockSize = 32 * 1024, .retryDelaysMs = {0}});
        ASSERT_TRUE(m_engine.Start());
        m_server.Serve("/pkg.bin", m_payload);
        std::filesystem::create_directories(m_dir.Path() / "home");
    }
    void TearDown() override {
        m_engine.Stop();
        SetDownloadTuning(DownloadTuning());
        ShutdownMainThreadQueue();
    }

    DownloadTaskParams Params(const std::string& url, const std::string& fallback = "") const {
        DownloadTaskParams params;
        params.url = Utf8ToWide(url);
        params.fallbackAddresses = Utf8ToWide(fallback);
        params.localPath = L"C:\\pkg.exe";
        params.size = static_cast<std::int64_t>(m_payload.size());
        params.md5 = Utf8ToWide(MD5(m_payload.data(), m_payload.size()).hex_digest());
        return params;
    }

    // Starts `task` without its report; true once it has ended.
    bool RunToEnd(CDownloadTask& task, const RecordingListener& listener) {
        task.SetReportEnabled(false);
        task.Start();
        return testsupport::PumpMessagesUntil([&] { return !listener.done.empty(); });
    }
    std::string Downloaded() const { return testsupport::TempDir::ReadFile(m_dir.Path() / "home" / "pkg.exe"); }

    testsupport::TempDir m_dir{testsupport::TempDir::Home::Redirect};
    CHttpEngine m_engine;
    ScriptedHttpServer m_server;
    std::string m_payload = testsupport::RandomBytes(200 * 1024, 3);
    RecordingListener m_listener;
};

}  // namespace

TEST_F(DownloadTaskTest, APinnedAddressWithAPortIsReachedThere) {
    // Nothing listens on the URL's port; the fallback names the server's.
    const std::string url = "http://127.0.0.1:" + std::to_string(testsupport::UnusedLoopbackPort()) + "/pkg.bin";
    CDownloadTask task(Params(url, "127.0.0.1:" + std::to_string(m_server.Port())), m_engine, m_listener);
    ASSERT_TRUE(RunToEnd(task, m_listener));
    EXPECT_TRUE(m_listener.done[0].Ok());
    EXPECT_TRUE(Downloaded() == m_payload);
    ASSERT_FALSE(m_server.Requests().empty());
    EXPECT_EQ(m_server.Requests()[0].Header("Host"), url.substr(7, url.find('/', 7) - 7)) << "the URL's own Host";
}

TEST_F(DownloadTaskTest, ServerIgnoringRangesAfterTheFirstPeerGaveUpStillCompletes) {
    SetDownloadTuning({.blockSize = 32 * 1024, .peerCount = 2, .retryDelaysMs = {}});
    m_server.SetRate(64 * 1024);
    // The one source fails once; the case needs that failure to be peer 0's, which then gives
    // up while peer 1 is still fetching. Which request comes first is up to the scheduler.
    for (int attempt = 0; attempt < 10; ++attempt) {
        SCOPED_TRACE(attempt);
        RecordingListener listener;
        m_server.SetFault(ScriptedHttpServer::Fault::Status, 1, 503);
        CDownloadTask task(Params(m_server.Url("/pkg.bin")), m_engine, listener);
        task.SetReportEnabled(false);
        task.Start();
        ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return !listener.peers.empty(); }));
        if (listener.peers[0] != 0) {
            task.Stop();
            continue;
        }
        m_server.SetFault(ScriptedHttpServer::Fault::IgnoreRange);
        ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return !listener.done.empty(); }));
        EXPECT_TRUE(listener.done[0].Ok());
        EXPECT_TRUE(Downloaded() == m_payload);
        return;
    }
    GTEST_SKIP() << "the failure never went to peer 0";
}
