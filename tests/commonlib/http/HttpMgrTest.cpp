#include "commonlib/http/HttpMgr.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "commonlib/http/HttpEngine.h"
#include "support/HttpTestFixture.h"
#include "support/LoopbackHttpServer.h"
#include "support/ManualClock.h"
#include "support/ScriptedTcpServer.h"

using testsupport::ScriptedTcpServer;

using HttpMgrTest = HttpEngineTest;

TEST_F(HttpMgrTest, ElevenRequestsRunTenAndQueueOne) {
    ScriptedTcpServer silent;
    ASSERT_TRUE(silent.Start());
    std::vector<std::unique_ptr<ProbeRequest>> requests;
    for (int i = 0; i < 11; ++i) {
        requests.push_back(std::make_unique<ProbeRequest>(&m_engine));
        std::string path = "/";  // built by append: GCC 12 misreports "/" + to_string(i) at -O3
        path += std::to_string(i);
        ASSERT_TRUE(requests.back()->Start(silent.Url(path)));
    }
    EXPECT_EQ(m_engine.Mgr().RunningCount(), 10u);
    EXPECT_EQ(m_engine.Mgr().WaitingCount(), 1u);
    ASSERT_TRUE(PumpUntil([&] { return silent.Connections() == 10; }));
    testsupport::PumpMessagesFor(std::chrono::milliseconds(200));
    EXPECT_EQ(silent.Connections(), 10) << "the eleventh must wait for a slot";
    EXPECT_FALSE(requests[10]->IsRunning());
    EXPECT_TRUE(requests[10]->IsActive());

    // A slot set free starts the waiting one; nobody is failed for waiting.
    requests[0]->Stop();
    EXPECT_TRUE(requests[10]->IsRunning());
    ASSERT_TRUE(PumpUntil([&] { return silent.Connections() == 11; }));
    for (auto& request : requests)
        EXPECT_EQ(request->doneCalls, 0);
}

namespace {

// Holds the curl worker inside the body sink of its transfer until the test opens it.
struct SinkGate {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
    bool inSink = false;
};

class GatedTransfer : public CCurlHttp {
public:
    GatedTransfer(HttpRequestSettings settings, std::shared_ptr<SinkGate> gate)
        : CCurlHttp(std::move(settings)), m_gate(std::move(gate)) {}

protected:
    bool OnBodyData(const char* data, std::size_t size) override {
        std::unique_lock lock(m_gate->mutex);
        m_gate->inSink = true;
        m_gate->changed.notify_all();
        m_gate->changed.wait_for(lock, std::chrono::seconds(10), [this] { return m_gate->open; });
        m_gate->inSink = false;
        lock.unlock();
        return CCurlHttp::OnBodyData(data, size);
    }

private:
    std::shared_ptr<SinkGate> m_gate;
};

class GatedRequest : public ProbeRequest {
public:
    GatedRequest(CHttpEngine* engine, std::shared_ptr<SinkGate> gate) : ProbeRequest(engine), m_gate(std::move(gate)) {}
    bool deliveredWhileInSink = false;

protected:
    CRefPtr<CCurlHttp> CreateTransfer(HttpRequestSettings settings) override {
        return CRefPtr<CCurlHttp>(new GatedTransfer(std::move(settings), m_gate));
    }
    void OnAttemptDone(const CRefPtr<CCurlHttp>& transfer, HttpResult pair) override {
        {
            std::lock_guard lock(m_gate->mutex);
            deliveredWhileInSink |= m_gate->inSink;
        }
        ProbeRequest::OnAttemptDone(transfer, pair);
    }

private:
    std::shared_ptr<SinkGate> m_gate;
};

}  // namespace

TEST_F(HttpMgrTest, TimedOutRequestIsDeliveredOnlyOnceTheWorkerLetsGo) {
    testsupport::ScopedManualClock clock;
    ScriptedTcpServer server({"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n0123456789"});
    ASSERT_TRUE(server.Start());
    auto gate = std::make_shared<SinkGate>();
    GatedRequest request(&m_engine, gate);
    request.SetTimeout(1000);
    ASSERT_TRUE(request.Start(server.Url("/")));
    ASSERT_TRUE(PumpUntil([&] {
        std::lock_guard lock(gate->mutex);
        return gate->inSink;
    }));
    // The worker is writing the response while the time-out strikes.
    clock.Advance(std::chrono::milliseconds(1001));
    m_engine.Mgr().CheckTimeouts();
    testsupport::PumpMessagesFor(std::chrono::milliseconds(50));
    EXPECT_EQ(request.doneCalls, 0) << "delivered while the worker still held the transfer";
    EXPECT_EQ(m_engine.Mgr().RunningCount(), 1u);  // it keeps its slot until then
    {
        std::lock_guard lock(gate->mutex);
        gate->open = true;
    }
    gate->changed.notify_all();
    ASSERT_TRUE(PumpUntil([&] { return request.doneCalls > 0; }));
    EXPECT_FALSE(request.deliveredWhileInSink);
    EXPECT_EQ(request.result, HttpResult::Program(HttpProgramCode::Inactive));
    testsupport::PumpMessagesFor(std::chrono::milliseconds(50));
    EXPECT_EQ(request.doneCalls, 1);
    EXPECT_EQ(m_engine.Mgr().RunningCount(), 0u);
}

TEST_F(HttpMgrTest, OutcomesBecomeTheProgramsPairs) {
    testsupport::LoopbackHttpServer server;
    server.Serve("/plain", "0123456789");
    // Redirects off the web fail; to a refusing FTP port the pair would tell of a failed connect.
    const std::pair<std::string, std::string> redirects[] = {
        {"/moved", "/plain"},
        {"/ftp", "ftp://127.0.0.1:" + std::to_string(testsupport::UnusedLoopbackPort()) + "/x"},
        {"/file", "file:///etc/passwd"},
    };
    for (const auto& [path, target] : redirects) {
        server.Route(path, [target](const testsupport::RecordedRequest&, httplib::Response& response) {
            response.set_redirect(target, 302);
        });
    }
    ASSERT_TRUE(server.Start());
    const HttpResult unsupported = HttpResult::Make(HttpResultType::Curl, CURLE_UNSUPPORTED_PROTOCOL);
    struct Case {
        const char* why;
        std::string url;
        std::function<void(ProbeRequest&)> setup;
        HttpResult expected;
    };
    const Case cases[] = {
        {"redirect not followed", server.Url("/moved"), [](ProbeRequest& r) { r.SetFollowRedirects(false); },
         HttpResult::Program(HttpProgramCode::RedirectTaken)},
        {"redirect followed", server.Url("/moved"), nullptr, HttpResult::Ok()},
        {"redirect to ftp", server.Url("/ftp"), nullptr, unsupported},
        {"redirect to a file", server.Url("/file"), nullptr, unsupported},
        {"longer than expected", server.Url("/plain"), [](ProbeRequest& r) { r.SetExpectedLength(9); },
         HttpResult::Make(HttpResultType::HttpStatus, 2008)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        ProbeRequest request(&m_engine);
        if (c.setup) c.setup(request);
        ASSERT_TRUE(request.Start(c.url));
        ASSERT_TRUE(PumpUntil([&] { return request.doneCalls > 0; }));
        EXPECT_EQ(request.result, c.expected) << FormatHttpResult(request.result);
    }
}

TEST_F(HttpMgrTest, StoppedEngineForgetsItsRequestsAndCannotBeStartedAgain) {
    ScriptedTcpServer silent;
    ASSERT_TRUE(silent.Start());
    auto request = std::make_unique<ProbeRequest>(&m_engine);
    ASSERT_TRUE(request->Start(silent.Url("/")));
    ASSERT_TRUE(PumpUntil([&] { return silent.Connections() == 1; }));
    m_engine.Stop();
    EXPECT_FALSE(request->IsActive());
    EXPECT_FALSE(m_engine.Start());
    EXPECT_FALSE(m_engine.IsRunning());
    EXPECT_FALSE(request->Start(silent.Url("/")));  // must not reach the scheduler it no longer has
    testsupport::PumpMessagesFor(std::chrono::milliseconds(100));
    EXPECT_EQ(request->doneCalls, 0);
    request.reset();  // after its engine: must not reach the freed scheduler
}

#ifndef NDEBUG
TEST_F(HttpMgrTest, UseFromAnotherThreadIsCaughtInDebugBuilds) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ProbeRequest request(&m_engine);
    const auto elsewhere = [](const std::function<void()>& body) { std::thread(body).join(); };
    EXPECT_DEATH(elsewhere([&] { request.Stop(); }), "CalledOnValidThread");
    EXPECT_DEATH(elsewhere([&] { m_engine.Mgr().CheckTimeouts(); }), "CalledOnValidThread");
    EXPECT_DEATH(elsewhere([&] { m_engine.IsRunning(); }), "CalledOnValidThread");
}
#endif
