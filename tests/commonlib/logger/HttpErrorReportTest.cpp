#include "commonlib/logger/HttpErrorReport.h"

#include <gtest/gtest.h>

#include <regex>

#include "ReportTestCommands.h"
#include "commonlib/http/HttpCommand.h"
#include "commonlib/util/StringUtils.h"

namespace {

HttpErrorReport& Report() {
    return HttpErrorReport::GetInstance();
}

class HttpErrorReportTest : public ReportTest {
protected:
    void SetUp() override {
        ReportTest::SetUp();
        Report().SetUrl(L"");
    }
    void TearDown() override {
        Report().SetUrl(L"");
        ReportTest::TearDown();
    }
};

}  // namespace

TEST_F(HttpErrorReportTest, RecordsTheFormattedFailureOnlyWithAUrl) {
    const std::wstring longUrl = L"http://cdn.example.com/" + std::wstring(5000, L'路');
    const wchar_t* format = L"CHttpCommand::Done() url:%s ip:%s 连接失败，尝试使用备用地址:%s";
    Report().AddError(1, 9003, 3, 3002, format, longUrl.c_str(), L"10.0.0.1", L"10.0.0.2");
    EXPECT_TRUE(Report().GetPending().isNull());
    Report().SetUrl(L"http://127.0.0.1:9/errors");
    Report().AddError(1, 9003, 3, 3002, format, longUrl.c_str(), L"10.0.0.1", L"10.0.0.2");

    const Json::Value pending = Report().GetPending();
    ASSERT_EQ(pending.size(), 1u);
    const Json::Value& first = pending[0];
    EXPECT_EQ(first["error_content"].asString(),
              "CHttpCommand::Done() url:" + WideToUtf8(longUrl) + " ip:10.0.0.1 连接失败，尝试使用备用地址:10.0.0.2");
    for (const auto& [key, value] :
         {std::pair{"error_level", "1"}, {"error_src", "9003"}, {"error_type", "3"}, {"error_code", "3002"}}) {
        EXPECT_EQ(first[key].asString(), value) << key;
    }
    EXPECT_EQ(first.size(), 16u);
    EXPECT_TRUE(std::regex_match(first["v_upload_time"].asString(), std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)")));
}

TEST_F(HttpErrorReportTest, ACommandWithErrorReportingRecordsItsFinalFailure) {
    Report().SetUrl(L"http://127.0.0.1:9/errors");
    // The port of a collector that is gone refuses connections.
    const std::wstring url = Utf8ToWide(testsupport::ScriptedHttpServer().Url("/gone"));
    CommandOutcome outcome;
    CHttpCommand command;
    ASSERT_TRUE(command.Get(url, &CommandOutcome::Record, &outcome, HttpErrorReporting::On, L"", L""));
    ASSERT_TRUE(PumpUntil([&] { return outcome.calls == 1; }));

    const Json::Value pending = Report().GetPending();
    ASSERT_GE(pending.size(), 1u);
    const Json::Value& last = pending[pending.size() - 1];
    EXPECT_EQ(last["error_level"].asString(), "2");
    EXPECT_EQ(last["error_src"].asString(), "9003");
    EXPECT_EQ(last["error_type"].asString(), std::to_string(outcome.type));
    EXPECT_EQ(last["error_content"].asString().rfind("CHttpCommand::Done() 最终失败.... url:" + WideToUtf8(url), 0),
              0u);
}
