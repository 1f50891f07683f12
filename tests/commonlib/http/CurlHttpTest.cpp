#include "commonlib/http/CurlHttp.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "support/HttpTestFixture.h"
#include "support/LoopbackHttpServer.h"

namespace {

// What the download engine does: takes the body on the worker thread and vets the headers.
class SinkTransfer : public CCurlHttp {
public:
    SinkTransfer(HttpRequestSettings settings, std::string requiredRange)
        : CCurlHttp(std::move(settings)), m_requiredRange(std::move(requiredRange)) {}

    std::string taken;
    std::string contentLength;
    std::atomic<bool> onUiThread{false};

protected:
    bool OnResponseHeaders(const HttpResponse& response) override {
        contentLength = response.Header("Content-Length");
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
        : ProbeRequest(engine), m_requiredRange(std::move(requiredRange)) {}

    CRefPtr<SinkTransfer> transfer;

protected:
    CRefPtr<CCurlHttp> CreateTransfer(HttpRequestSettings settings) override {
        transfer = new SinkTransfer(std::move(settings), m_requiredRange);
        return transfer;
    }

private:
    std::string m_requiredRange;
};

using CurlHttpTest = HttpEngineTest;

}  // namespace

TEST_F(CurlHttpTest, SubclassTakesTheBodyOnTheWorkerAndMayRefuseTheHeaders) {
    testsupport::LoopbackHttpServer server;
    server.Serve("/pkg", "0123456789");
    ASSERT_TRUE(server.Start());
    {
        SinkRequest request(&m_engine, "bytes 3-6/10");
        request.SetRange(HttpByteRange{3, 4});
        ASSERT_TRUE(request.Start(server.Url("/pkg")));
        ASSERT_TRUE(PumpUntil([&] { return request.doneCalls > 0; }));
        EXPECT_EQ(request.result, HttpResult::Ok());
        EXPECT_EQ(request.transfer->taken, "3456");
        EXPECT_EQ(request.transfer->contentLength, "4");
        EXPECT_TRUE(request.transfer->Response().body.empty());
        EXPECT_FALSE(request.transfer->onUiThread);
    }
    {
        // Headers refused: the subclass's pair ends the transfer and no byte is taken.
        SinkRequest request(&m_engine, "bytes 0-3/10");
        request.SetRange(HttpByteRange{3, 4});
        ASSERT_TRUE(request.Start(server.Url("/pkg")));
        ASSERT_TRUE(PumpUntil([&] { return request.doneCalls > 0; }));
        EXPECT_EQ(request.result, HttpResult::Program(HttpProgramCode::NoRangeSupport));
        EXPECT_TRUE(request.transfer->taken.empty());
    }
}

TEST(SpeedCenterTest, ConstructedOffAndSharedAmongTransfers) {
    CSpeedCenter center;
    EXPECT_FALSE(center.IsEnabled());
    EXPECT_EQ(center.ShareFor(4), 0);
    center.SetLimit(1000);
    EXPECT_EQ(center.ShareFor(4), 250);
    EXPECT_EQ(center.ShareFor(5000), 1) << "a tiny share must not read as unlimited";
    center.SetLimit(-5);
    EXPECT_FALSE(center.IsEnabled());
}
