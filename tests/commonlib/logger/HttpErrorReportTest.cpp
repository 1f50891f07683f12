#include "commonlib/logger/HttpErrorReport.h"

#include <gtest/gtest.h>

#include <regex>

#include "ReportTestCommands.h"
#include "commonlib/http/HttpCommand.h"
#include "commonlib/thread/MainThreadTask.h"
#include "commonlib/util/StringUtils.h"
#include "support/ReportCollector.h"

namespace {

HttpErrorReport& Report() {
    return HttpErrorReport::GetInstance();
}

class HttpErrorReportTest : public ::testing::Test {
protected:
    void SetUp() override { Report().SetUrl(L""); }
    void TearDown() override { Report().SetUrl(L""); }
};

}  // namespace

TEST_F(HttpErrorReportTest, WithoutUrlNothingIsRecorded) {
    Report().AddError(2, 9003, 5, 7, L"CHttpCommand::Done() 最终失败.... url:%s ip:%s", L"http://x/", L"1.2.3.4");
    EXPECT_TRUE(Report().GetPending().isNull());
}

TEST_F(HttpErrorReportTest, RecordsTheFormattedFailure) {
    Report().SetUrl(L"http://127.0.0.1:9/errors");
    const std::wstring longUrl = L"http://cdn.example.com/" + std::wstring(5000, L'路');
    Report().AddError(1, 9003, 3, 3002, L"CHttpCommand::Done() url:%s ip:%s 连接失败，尝试使用备用地址:%s",
                      longUrl.c_str(), L"10.0.0.1", L"10.0.0.2");

    const Json::Value pending = Report().GetPending();
    ASSERT_EQ(pending.size(), 1u);
    const Json::Value& first = pending[0];
    const std::string url = "http://cdn.example.com/" + [] {
        std::string text;
        for (int i = 0; i < 5000; ++i)
            text += "路";
        return text;
    }();
    EXPECT_EQ(first["error_content"].asString(),
              "CHttpCommand::Done() url:" + url + " ip:10.0.0.1 连接失败，尝试使用备用地址:10.0.0.2");
    EXPECT_EQ(first["error_level"].asString(), "1");
    EXPECT_EQ(first["error_src"].asString(), "9003");
    EXPECT_EQ(first["error_type"].asString(), "3");
    EXPECT_EQ(first["error_code"].asString(), "3002");
    EXPECT_EQ(first.size(), 16u);
    EXPECT_TRUE(std::regex_match(first["v_upload_time"].asString(), std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)")));
}

TEST_F(HttpErrorReportTest, ACommandWithErrorReportingRecordsItsFinalFailure) {
    ASSERT_TRUE(CreateMainThreadWindow());
    {
        ScopedCommandEngine engine([] {});
        ASSERT_TRUE(engine.Started());
        Report().SetUrl(L"http://127.0.0.1:9/errors");
        // The port of a collector that is gone refuses connections.
        const std::wstring url = Utf8ToWide(testsupport::ReportCollector().Url("/gone"));

        struct Outcome {
            int calls = 0;
            int type = 0;
        } outcome;
        CHttpCommand command;
        ASSERT_TRUE(command.Get(
            url,
            [](void* user, const std::string&, int type, int) {
                ++static_cast<Outcome*>(user)->calls;
                static_cast<Outcome*>(user)->type = type;
            },
            &outcome, HttpErrorReporting::On, L"", L""));
        ASSERT_TRUE(PumpReportsUntil([&] { return outcome.calls == 1; }));

        const Json::Value pending = Report().GetPending();
        ASSERT_GE(pending.size(), 1u);
        const Json::Value& last = pending[pending.size() - 1];
        EXPECT_EQ(last["error_level"].asString(), "2");
        EXPECT_EQ(last["error_src"].asString(), "9003");
        EXPECT_EQ(last["error_type"].asString(), std::to_string(outcome.type));
        EXPECT_EQ(last["error_content"].asString().rfind("CHttpCommand::Done() 最终失败.... url:" + WideToUtf8(url), 0),
                  0u);
    }
    ShutdownMainThreadQueue();
}
