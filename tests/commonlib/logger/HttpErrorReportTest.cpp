#include "commonlib/logger/HttpErrorReport.h"

#include <gtest/gtest.h>

#include "commonlib/util/StringUtils.h"

TEST(HttpErrorReportTest, RecordsTheFormattedFailureOnlyWithAUrl) {
    const std::wstring longUrl = L"http://cdn.example.com/" + std::wstring(5000, L'路');
    const wchar_t* format = L"CHttpCommand::Done() url:%s ip:%s 连接失败，尝试使用备用地址:%s";
    HttpErrorReport& report = HttpErrorReport::GetInstance();
    report.SetUrl(L"");
    report.AddError(1, 9003, 3, 3002, format, longUrl.c_str(), L"10.0.0.1", L"10.0.0.2");
    EXPECT_TRUE(report.GetPending().isNull());
    report.SetUrl(L"http://127.0.0.1:9/errors");
    report.AddError(1, 9003, 3, 3002, format, longUrl.c_str(), L"10.0.0.1", L"10.0.0.2");

    const Json::Value pending = report.GetPending();
    ASSERT_EQ(pending.size(), 1u);
    const Json::Value& first = pending[0];
    EXPECT_EQ(first["error_content"].asString(),
              "CHttpCommand::Done() url:" + WideToUtf8(longUrl) + " ip:10.0.0.1 连接失败，尝试使用备用地址:10.0.0.2");
    for (const auto& [key, value] :
         {std::pair{"error_level", "1"}, {"error_src", "9003"}, {"error_type", "3"}, {"error_code", "3002"}}) {
        EXPECT_EQ(first[key].asString(), value) << key;
    }
    report.SetUrl(L"");
}
