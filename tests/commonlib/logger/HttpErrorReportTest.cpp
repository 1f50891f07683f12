#include "commonlib/logger/HttpErrorReport.h"

#include <gtest/gtest.h>

#include <ctime>

#include "commonlib/util/StringUtils.h"
#include "support/HttpTestFixture.h"
#include "support/LoopbackHttpServer.h"

namespace {

HttpErrorReport& Report() {
    return HttpErrorReport::GetInstance();
}

class HttpErrorReportTest : public HttpUiThreadTest {
protected:
    void TearDown() override {
        Report().SetUrl(L"");
        HttpErrorReport::SetShortLayout(false);
        HttpUiThreadTest::TearDown();
    }
};

}  // namespace

TEST_F(HttpErrorReportTest, RecordsTheFormattedFailureOnlyWithAUrl) {
    const std::wstring longUrl = L"http://cdn.example.com/" + std::wstring(5000, L'路');
    const wchar_t* format = L"CHttpCommand::Done() url:%s ip:%s 连接失败，尝试使用备用地址:%s";
    Report().SetUrl(L"");
    // Without a URL nothing is formatted: an argument that cannot be read is never read.
    Report().AddError(1, 9003, 3, 3002, L"%s", reinterpret_cast<const wchar_t*>(16));
    Report().AddError(1, 9003, 3, 3002, format, longUrl.c_str(), L"10.0.0.1", L"10.0.0.2");
    EXPECT_TRUE(Report().GetPending().isNull());
    Report().SetUrl(L"http://127.0.0.1:9/errors");
    Report().AddError(1, 9003, 3, 3002, format, longUrl.c_str(), L"10.0.0.1", L"10.0.0.2");

    const Json::Value pending = Report().GetPending();
    ASSERT_EQ(pending.size(), 1u);
    const Json::Value& first = pending[0];
    EXPECT_EQ(first.size(), 16u);
    EXPECT_EQ(first["error_content"].asString(),
              "CHttpCommand::Done() url:" + WideToUtf8(longUrl) + " ip:10.0.0.1 连接失败，尝试使用备用地址:10.0.0.2");
    for (const auto& [key, value] : {std::pair{"error_level", "1"},
                                     {"error_src", "9003"},
                                     {"error_type", "3"},
                                     {"error_code", "3002"},
                                     {"upload_platform", "PC"}}) {
        EXPECT_EQ(first[key].asString(), value) << key;
    }

    // The short layout, switched on for the whole process; no user name, so no "username".
    HttpErrorReport::SetShortLayout(true);
    const std::time_t before = std::time(nullptr);
    Report().AddError(2, 9003, 4, 404, L"final %d", 7);
    const Json::Value shortRecord = Report().GetPending()[1];
    EXPECT_EQ(shortRecord.getMemberNames(),
              (std::vector<std::string>{"errCode", "errMsg", "errType", "productId", "systemType", "time", "version"}));
    EXPECT_EQ(shortRecord["errType"], Json::Value("4"));
    EXPECT_EQ(shortRecord["errCode"], Json::Value(404));
    EXPECT_EQ(shortRecord["errMsg"].asString(), "final 7");
    EXPECT_TRUE(shortRecord["time"].isIntegral());
    EXPECT_GE(shortRecord["time"].asInt64(), before);
    EXPECT_LE(shortRecord["time"].asInt64(), std::time(nullptr));
}

TEST_F(HttpErrorReportTest, ACommandReportsItsRetryItsSpareAddressAndItsFinalFailure) {
    testsupport::LoopbackHttpServer server;  // every path answers 404
    ASSERT_TRUE(server.Start());
    Report().SetUrl(L"http://127.0.0.1:9/errors");
    CHttpCommand command;
    command.SetRetryDelay(0);
    CommandOutcome outcome;
    const std::string first = server.Url("/first");
    const std::string second = server.Url("/second");
    ASSERT_TRUE(command.Get(Utf8ToWide(first), &CommandOutcome::Record, &outcome, HttpErrorReporting::On, L"127.0.0.1",
                            Utf8ToWide(second)));
    ASSERT_TRUE(PumpUntil([&] { return outcome.calls > 0; }));
    EXPECT_EQ(outcome.type, 4);

    const struct {
        const char* level;
        std::string content;
    } expected[] = {
        {"1", "CHttpCommand::Done() 失败重试....url:" + first + " ip:127.0.0.1"},
        {"1", "CHttpCommand::Done() url:" + second + " ip:127.0.0.1 连接失败，尝试使用备用地址:127.0.0.1"},
        {"2", "CHttpCommand::Done() 最终失败.... url:" + first + " ip:127.0.0.1"},
    };
    const Json::Value pending = Report().GetPending();
    ASSERT_EQ(pending.size(), std::size(expected));
    for (Json::ArrayIndex i = 0; i < pending.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(pending[i]["error_level"].asString(), expected[i].level);
        EXPECT_EQ(pending[i]["error_src"].asString(), "9003");
        EXPECT_EQ(pending[i]["error_type"].asString(), "4");
        EXPECT_EQ(pending[i]["error_code"].asString(), "404");
        EXPECT_EQ(pending[i]["error_content"].asString(), expected[i].content);
    }
}
