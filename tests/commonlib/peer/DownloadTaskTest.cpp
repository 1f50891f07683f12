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
    void OnPeerDone(CDownloadTask&, int, NetResult result) override { peerResults.push_back(result); }
    void OnServerAddress(CDownloadTask&, const std::string& address) override { addresses.push_back(address); }
    void OnRedirect(CDownloadTask&, const std::string& url) override { redirects.push_back(url); }
    void OnAddressChange(CDownloadTask&, int, const std::string& to) override { changes.push_back(to); }
    void OnRetry(CDownloadTask&, int, NetResult result) override { retries.push_back(result); }
    void OnTaskDone(CDownloadTask&, NetResult result) override { done.push_back(result); }

    std::vector<NetResult> peerResults, retries, done;
    std::vector<std::string> addresses, redirects, changes;
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
        params.requestText = "{\"game\":1}";
        return params;
    }

    testsupport::TempDir m_dir{testsupport::TempDir::Home::Redirect};
    CHttpEngine m_engine;
    ScriptedHttpServer m_server;
    std::string m_payload = testsupport::RandomBytes(200 * 1024, 3);
    RecordingListener m_listener;
};

}  // namespace

TEST_F(DownloadTaskTest, ListenerHearsAddressesRedirectsSourceChangesAndRetries) {
    m_server.Redirect("/old.bin", m_server.Url("/pkg.bin"));
    // The URL's host does not resolve; its pinned fallback address serves a redirect.
    const std::string url = "http://pkg.invalid:" + std::to_string(m_server.Port()) + "/old.bin";
    CDownloadTask task(Params(url, "127.0.0.1"), m_engine, m_listener);
    task.SetReportEnabled(false);
    task.Start();
    ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return !m_listener.done.empty(); }));
    EXPECT_TRUE(m_listener.done.at(0).Ok());
    EXPECT_EQ(testsupport::TempDir::ReadFile(m_dir.Path() / "home" / "pkg.exe"), m_payload);
    ASSERT_FALSE(m_listener.retries.empty() || m_listener.changes.empty() || m_listener.addresses.empty() ||
                 m_listener.redirects.empty());
    EXPECT_EQ(m_listener.retries[0].type, NetResult::kCurl);
    EXPECT_NE(m_listener.changes[0].find("@127.0.0.1"), std::string::npos);
    EXPECT_EQ(m_listener.addresses[0], "127.0.0.1");
    EXPECT_NE(m_listener.redirects[0].find("/pkg.bin"), std::string::npos);
}

TEST_F(DownloadTaskTest, APinnedAddressWithAPortIsReachedThere) {
    // Nothing listens on the URL's port; the fallback names the server's.
    const std::string url = "http://127.0.0.1:" + std::to_string(testsupport::UnusedLoopbackPort()) + "/pkg.bin";
    CDownloadTask task(Params(url, "127.0.0.1:" + std::to_string(m_server.Port())), m_engine, m_listener);
    task.SetReportEnabled(false);
    task.Start();
    ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return !m_listener.done.empty(); }));
    EXPECT_TRUE(m_listener.done.at(0).Ok());
    EXPECT_TRUE(testsupport::TempDir::ReadFile(m_dir.Path() / "home" / "pkg.exe") == m_payload);
    ASSERT_FALSE(m_server.Requests().empty());
    EXPECT_EQ(m_server.Requests()[0].Header("Host"), url.substr(7, url.find('/', 7) - 7)) << "the URL's own Host";
}

TEST_F(DownloadTaskTest, ReportCarriesThePairAndItsLogSections) {
    m_server.SetFault(ScriptedHttpServer::Fault::Status, -1, 404);
    CDownloadTask task(Params(m_server.Url("/pkg.bin")), m_engine, m_listener);
    task.SetReportEnabled(false);
    task.Start();
    ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return !m_listener.done.empty(); }));
    EXPECT_EQ(m_listener.done[0], (NetResult{NetResult::kProgram, 404}));
    const ProtoValue report = task.BuildReport();
    EXPECT_EQ(report[L"et"].integer(), 3);
    EXPECT_EQ(report[L"ec"].integer(), 404);
    EXPECT_EQ(report[L"request"].narrowString(), "{\"game\":1}");
    const ProtoValue& log = report[L"log"];
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].narrowString().rfind("sources:\n" + m_server.Url("/pkg.bin"), 0), 0u);
    EXPECT_NE(log[3].narrowString().find("et:4 ec:404"), std::string::npos);
}

TEST_F(DownloadTaskTest, ServerIgnoringRangesAfterTheFirstPeerGaveUpStillCompletes) {
    struct PeerListener : RecordingListener {
        void OnPeerDone(CDownloadTask& task, int peer, NetResult result) override {
            peers.push_back(peer);
            RecordingListener::OnPeerDone(task, peer, result);
        }
        std::vector<int> peers;
    };
    SetDownloadTuning({.blockSize = 32 * 1024, .peerCount = 2, .retryDelaysMs = {}});
    m_server.SetRate(64 * 1024);
    // The one source fails once; the case needs that failure to be peer 0's, which then gives
    // up while peer 1 is still fetching. Which request comes first is up to the scheduler.
    for (int attempt = 0; attempt < 10; ++attempt) {
        SCOPED_TRACE(attempt);
        PeerListener listener;
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
        EXPECT_EQ(testsupport::TempDir::ReadFile(m_dir.Path() / "home" / "pkg.exe"), m_payload);
        return;
    }
    GTEST_SKIP() << "the failure never went to peer 0";
}
