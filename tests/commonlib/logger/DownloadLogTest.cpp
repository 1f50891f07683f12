#include "commonlib/logger/DownloadLog.h"

#include <gtest/gtest.h>

#include <regex>

#include "ReportTestCommands.h"
#include "commonlib/peer/DownloadModule.h"
#include "commonlib/peer/DownloadReports.h"
#include "commonlib/util/StringUtils.h"
#include "commonlib/util/SystemInfo.h"
#include "support/CollectorOracle.h"
#include "support/TempDir.h"

namespace {

DownloadLog& Log() {
    return DownloadLog::GetInstance();
}

ProtoValue Report(const wchar_t* url) {
    ProtoValue report;
    report[L"url"] = url;
    report[L"log"].append(L"section");
    return report;
}

// The "url" members of the records in an upload's data text, in order.
std::vector<std::string> UrlsOf(const std::string& data) {
    Json::Value records;
    EXPECT_TRUE(ParseJsonText(data, records)) << data;
    std::vector<std::string> urls;
    for (const auto& record : records)
        urls.push_back(record["url"].asString());
    return urls;
}

class DownloadLogTest : public ReportTest {
protected:
    void TearDown() override {
        Log().Uninit();
        ReportTest::TearDown();
    }
};

}  // namespace

TEST_F(DownloadLogTest, RecordsCarryTheIdentityOverTheReport) {
    ScopedCommandFactory fake;
    ASSERT_TRUE(Log().Init(L"http://127.0.0.1:9/log", L"ver 1", L"产品"));
    ProtoValue report = Report(L"http://cdn/x");
    report[L"ftime"] = L"old";
    report[L"os"] = L"theirs";
    report[L"id"] = 42;
    const Json::Value record = Log().BuildDownloadRecord(report);
    EXPECT_EQ(record["url"].asString() + "|" + record["product_id"].asString() + "|" + record["os"].asString(),
              "http://cdn/x|产品|" + WideToUtf8(GetOsVersionName()) + " x64");
    EXPECT_TRUE(record["id"].isUInt() && record["id"].asUInt() == 0u) << record["id"];
    EXPECT_TRUE(std::regex_match(record["ftime"].asString(), std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)")));

    // Reports that are not maps still give a record of the identity members.
    for (const ProtoValue& odd : {ProtoValue(), ProtoValue(L"text"), ProtoValue(ProtoValue::Type::Array)}) {
        SCOPED_TRACE(static_cast<int>(odd.type()));
        const Json::Value identity = Log().BuildDownloadRecord(odd);
        ASSERT_TRUE(identity.isObject());
        EXPECT_EQ(identity.size(), 8u);
        EXPECT_EQ(identity["upload_platform"].asString(), "PC");
    }
}

TEST_F(DownloadLogTest, ReportsAddedDuringAnUploadGoOutOnceWhenItEnds) {
    ScopedCommandFactory fake;
    ASSERT_TRUE(Log().Init(L"http://127.0.0.1:9/log", L"1.0", L"xj"));
    const ProtoValue reports[] = {Report(L"a"), Report(L"b"), Report(L"c"), Report(L"d"), Report(L"e")};
    for (int i : {0, 1, 2})
        Log().AddDownloadRecord(&reports[i]);
    Log().AddDownloadRecord(nullptr);
    ASSERT_EQ(fake.log->posts.size(), 1u);
    fake.log->Complete(4, 500);
    ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return fake.log->posts.size() == 2; }));
    fake.log->Complete();
    // An upload that cannot start drops its records: the next report goes out alone.
    fake.log->refuse = true;
    Log().AddDownloadRecord(&reports[3]);
    EXPECT_FALSE(Log().IsBusy());
    EXPECT_TRUE(Log().GetPending()->empty());
    fake.log->refuse = false;
    Log().AddDownloadRecord(&reports[4]);
    std::vector<std::vector<std::string>> urls;
    for (const FakePost& post : fake.log->posts) {
        EXPECT_TRUE(post.body.empty());
        urls.push_back(post.formFields.size() == 2 ? UrlsOf(post.formFields[1].second) : std::vector<std::string>{});
    }
    EXPECT_EQ(urls, (std::vector<std::vector<std::string>>{{"a"}, {"b", "c"}, {"e"}}));

    // Shut-down stops the upload before it deletes the command; later reports are dropped.
    ASSERT_TRUE(Log().Uninit());
    EXPECT_EQ(fake.log->stops, 1);
    EXPECT_EQ(fake.log->deletedWhileActive, 0);
    Log().AddDownloadRecord(&reports[0]);
    EXPECT_EQ(Log().GetPending(), nullptr);
    EXPECT_FALSE(Log().Send());
    EXPECT_EQ(fake.log->posts.size(), 3u);
    // Without a transport there is nothing to record into.
    ScopedCommandFactory none([] { return std::unique_ptr<IReportCommand>(); });
    EXPECT_FALSE(Log().Init(L"http://127.0.0.1:9/log", L"1.0", L"xj"));
}

TEST_F(DownloadLogTest, AFinishedDownloadTasksReportReachesTheCollectorAsASignedForm) {
    // Computed with Python's hashlib.
    EXPECT_EQ(MakeDownloadLogSign("[]\n"), "8498f04c29cbce93a6ee7806185be496");

    testsupport::TempDir home{testsupport::TempDir::Home::Redirect};
    testsupport::ScriptedHttpServer collector;
    ASSERT_TRUE(
        InitDownloadLogging(Utf8ToWide(collector.Url("/api/xj/data/rece_download_data")).c_str(), L"1.0", L"xj"));
    std::vector<std::pair<int, int>> done;
    SetDownloadCallbacks([](void*, std::int64_t, std::int64_t, std::uint32_t) {},
                         [](void* user, int type, int code) {
                             static_cast<std::vector<std::pair<int, int>>*>(user)->emplace_back(type, code);
                         });
    ASSERT_TRUE(StartDownloadModule());
    StartDownload(L"", L"", L"ftp://example/pkg.bin", L"", L"C:\\dl\\pkg.bin", 100, &done, 0, "{\"game\":1}");
    const bool arrived = PumpUntil([&] { return collector.Requests().size() == 1 && !Log().IsBusy(); });
    StopDownloadModule();
    ASSERT_TRUE(arrived);
    ASSERT_EQ(done.size(), 1u);

    const testsupport::CollectedRequest post = collector.Requests()[0];
    EXPECT_EQ(post.method + " " + post.path, "POST /api/xj/data/rece_download_data");
    EXPECT_EQ(post.Header("Content-Type").rfind("multipart/form-data; boundary=", 0), 0u);
    const auto parts = testsupport::ParseMultipartForm(post);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].name + "," + parts[1].name, "sign,data");
    const std::string& data = parts[1].value;
    EXPECT_EQ(parts[0].value, testsupport::DownloadLogSign(data));
    EXPECT_EQ(data.rfind("[\n   {\n      \"", 0), 0u) << data;  // the styled layout the collector reads
    Json::Value records;
    ASSERT_TRUE(ParseJsonText(data, records) && records.size() == 1);
    // The task's report: its pair, request text and log sections, under the sender's identity.
    const Json::Value& record = records[0];
    EXPECT_EQ(record["url"].asString(), "ftp://example/pkg.bin");
    EXPECT_EQ(std::make_pair(record["et"].asInt(), record["ec"].asInt()), done[0]);
    EXPECT_EQ(record["request"].asString(), "{\"game\":1}");
    ASSERT_EQ(record["log"].size(), 4u);
    EXPECT_EQ(record["log"][0].asString().rfind("sources:\n", 0), 0u);
    EXPECT_EQ(record["product_id"].asString(), "xj");
}
