#include "commonlib/http/CurlHttp.h"

#include <gtest/gtest.h>

#include <atomic>

#include "support/HttpTestFixture.h"
#include "support/LoopbackHttpServer.h"

namespace {

// What the download engine does: vets the headers, then takes the body on the worker thread.
class SinkTransfer : public CCurlHttp {
public:
    SinkTransfer(HttpRequestSettings settings, std::string requiredRange)
        : CCurlHttp(std::move(settings)), m_requiredRange(std::move(requiredRange)) {}

    std::string taken;
    std::atomic<bool> onUiThread{false};

protected:
    bool OnResponseHeaders(const HttpResponse& response) override {
        if (response.Header("Content-Range") == m_requiredRange) return true;
        Fail(HttpResult::Program(HttpProgramCode::NoRangeSupport));
        return false;
    }
    bool OnBodyData(const char* data, std::size_t size) override {
        onUiThread = onUiThread || GetCurrentThreadId() == GetMainThreadId();
        taken.append(data, size);
        return true;
    }

private:
    std::string m_requiredRange;
};

class SinkRequest : public ProbeRequest {
public:
    SinkRequest(CHttpEngine* engine, std::string requiredRange)
        : ProbeRequest(engine), m_range(std::move(requiredRange)) {}
    CRefPtr<SinkTransfer> transfer;

protected:
    CRefPtr<CCurlHttp> CreateTransfer(HttpRequestSettings settings) override {
        return transfer = new SinkTransfer(std::move(settings), m_range);
    }

private:
    std::string m_range;
};

using CurlHttpTest = HttpEngineTest;

}  // namespace

TEST_F(CurlHttpTest, SubclassTakesTheBodyOnTheWorkerAndMayRefuseTheHeaders) {
    testsupport::LoopbackHttpServer server;
    server.Serve("/pkg", "0123456789");
    ASSERT_TRUE(server.Start());
    for (const char* required : {"bytes 3-6/10", "bytes 0-3/10"}) {
        SCOPED_TRACE(required);
        const bool match = required[6] == '3';
        SinkRequest request(&m_engine, required);
        request.SetRange(HttpByteRange{3, 4});
        ASSERT_TRUE(request.Start(server.Url("/pkg")));
        ASSERT_TRUE(PumpUntil([&] { return request.doneCalls > 0; }));
        // Headers refused: the subclass's pair ends the transfer and no byte is taken.
        EXPECT_EQ(request.result, match ? HttpResult::Ok() : HttpResult::Program(HttpProgramCode::NoRangeSupport));
        EXPECT_EQ(request.transfer->taken, match ? "3456" : "");
        EXPECT_TRUE(request.transfer->Response().body.empty());
        EXPECT_FALSE(request.transfer->onUiThread);
    }
}
