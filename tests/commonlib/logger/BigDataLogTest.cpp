#include "commonlib/logger/BigDataLog.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "ReportTestCommands.h"
#include "commonlib/util/StringUtils.h"
#include "commonlib/util/SystemInfo.h"
#include "support/CollectorOracle.h"

namespace {

// The lines of a posted statistics body, in record order.
std::vector<std::string> LinesOfBody(const std::string& body) {
    Json::Value records;
    EXPECT_TRUE(ParseJsonText(body, records)) << body;
    std::vector<std::string> lines;
    for (const auto& record : records)
        EXPECT_TRUE(testsupport::DecryptStatisticsBody(record["body"].asString(), &lines.emplace_back()));
    return lines;
}

// The title column of every line of every post, each post opened by "|".
std::string TitlesOf(const std::vector<FakePost>& posts) {
    std::string titles;
    for (const FakePost& post : posts) {
        titles += "|";
        for (const std::string& line : LinesOfBody(post.body))
            titles += " " + std::regex_replace(line, std::regex("^([^\t]*\t){3}([^\t]*).*$"), "$2");
    }
    return titles;
}

BigDataLog& Stats() {
    return BigDataLog::GetInstance();
}

class BigDataLogTest : public ReportTest {
protected:
    void SetUp() override {
        ReportTest::SetUp();
        Stats().ReleaseCommand();  // the next send makes its command from this test's factory
        Stats().SetUrl(L"http://127.0.0.1:9/stats");
    }
    void TearDown() override {
        // Leave the process-wide reporter idle and empty for the next test.
        ScopedCommandFactory refusing;
        refusing.log->refuse = true;
        Stats().ReleaseCommand();
        Stats().SetUrl(L"http://127.0.0.1:9/stats");
        Stats().Send();
        Stats().ReleaseCommand();
        ReportTest::TearDown();
    }

    static ProtoValue CountEvent(const wchar_t* title) {
        ProtoValue event;
        event[L"logname"] = L"c_downInstall_rekkan_5.2";
        event[L"title"] = title;
        return event;
    }
};

}  // namespace

TEST_F(BigDataLogTest, ValuesRenderAsTheCollectorReadsThem) {
    const wchar_t* const fields[] = {L"absent", L"wide", L"integer", L"real", L"narrow", L"skipped", L"map", L""};
    ProtoValue event;
    event[L"wide"] = L"中文\tTAB";  // UTF-8, unescaped
    event[L"integer"] = -5;
    event[L"real"] = 2.5;  // only inside a map
    event[L"narrow"] = "bytes";
    event[L"skipped"][L"list"] = ProtoValue(ProtoValue::Type::Array);
    event[L"skipped"][L"bytes"] = "narrow";
    ProtoValue& map = event[L"map"];  // in key order, reals truncated toward zero
    map[L"up"] = 2.9;
    map[L"down"] = -2.9;
    map[L"huge"] = 1e300;
    map[L"client_type"] = 1;
    map[L"edition"] = L"版本";
    EXPECT_EQ(BuildBigDataEventLine(fields, event), "\t中文\tTAB\t-5\t\t\t\tclient_type:1,down:-2,edition:版本,up:2");
    // Computed with OpenSSL's legacy DES-ECB (PKCS#5) under the key "morin530".
    EXPECT_EQ(EncryptBigDataEventLine("12345678"), "EA6C0ECDDE079BA7BD12D4F1924CDEB9");
}

TEST_F(BigDataLogTest, InstallEventReachesTheCollectorAsTheStandardColumns) {
    testsupport::ScriptedHttpServer collector;
    Stats().SetUrl(Utf8ToWide(collector.Url("/stats")));
    ProtoValue event;
    event[L"stats_col"][L"edition_type"] = L"2.1.800";
    event[L"stats_col"][L"channel_type"] = 1;
    event[L"stats_col"][L"channel_id"] = L"223";
    event[L"info_version"] = L"1.0.2|vidi_zazeroroda|GameId:223";
    event[L"ftime"] = L"1999-01-01 00:00:00";
    event[L"logname"] = L"mine";
    event[L"event_type"] = 7;
    event[L"uid"] = 99;
    ASSERT_TRUE(Stats().ReportInstallEvent(event));
    ASSERT_TRUE(Stats().Send());
    ASSERT_TRUE(PumpUntil([&] { return collector.Requests().size() == 1 && !Stats().IsBusy(); }));

    const testsupport::CollectedRequest post = collector.Requests()[0];
    EXPECT_EQ(post.method + " " + post.path, "POST /stats");
    EXPECT_EQ(post.Header("Content-Type"), "application/json;charset=utf-8");
    const std::vector<std::string> lines = LinesOfBody(post.body);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(post.body, "[{\"body\":\"" + EncryptBigDataEventLine(lines[0]) + "\",\"headers\":{}}]\n");
    // The caller's ftime, logname and uid are replaced; its event_type stays.
    const size_t tab = lines[0].find('\t');
    EXPECT_TRUE(std::regex_match(lines[0].substr(0, tab), std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)"))) << lines[0];
    EXPECT_NE(lines[0].substr(0, tab), "1999-01-01 00:00:00");
    EXPECT_EQ(lines[0].substr(tab), "\t\td_event_rekkan_5.2\t7\t1.0.2|vidi_zazeroroda|GameId:223\t0\t3\t" +
                                        WideToUtf8(GetDeviceMac()) +
                                        "\t5\t2\txj_install\t1\t\t"
                                        "channel_id:223,channel_type:1,client_type:1,edition_type:2.1.800");
}

TEST_F(BigDataLogTest, RecordsFromAnyThreadGoOutFromTheUiThreadOncePostByPost) {
    ScopedCommandFactory fake;
    std::thread worker([] {
        Stats().AddEvent(InstallCountFields, CountEvent(L"first"));
        Stats().Send();
    });
    worker.join();
    EXPECT_TRUE(fake.log->posts.empty());
    ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return fake.log->posts.size() == 1; }));
    EXPECT_EQ(fake.log->posts[0].threadId, GetCurrentThreadId());
    ASSERT_TRUE(Stats().AddEvent(InstallCountFields, CountEvent(L"second")));
    ASSERT_TRUE(Stats().AddEvent(InstallCountFields, CountEvent(L"third")));
    EXPECT_FALSE(Stats().Send());  // busy: the records wait

    fake.log->Complete(5, 28);  // even a failed POST ends the wait, and is not repeated
    ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return fake.log->posts.size() == 2; }));
    EXPECT_EQ(TitlesOf(fake.log->posts), "| first| second third");
    // Shut-down stops the POST under way before it deletes the command.
    Stats().ReleaseCommand();
    EXPECT_EQ(fake.log->stops, 1);
    EXPECT_EQ(fake.log->deletedWhileActive, 0);
    EXPECT_FALSE(Stats().IsBusy());
    EXPECT_FALSE(Stats().Send());
}

TEST_F(BigDataLogTest, RecordsAreRefusedOrDroppedWhereTheyCannotGoOut) {
    ScopedCommandFactory fake;
    // Events that are neither null nor maps are refused; null gives the columns empty.
    EXPECT_FALSE(Stats().AddEvent(InstallCountFields, ProtoValue(L"text")));
    EXPECT_FALSE(Stats().ReportInstallEvent(ProtoValue(3)));
    ASSERT_TRUE(Stats().AddEvent(InstallCountFields, ProtoValue()));
    ASSERT_TRUE(Stats().Send());
    ASSERT_EQ(fake.log->posts.size(), 1u);
    const std::vector<std::string> lines = LinesOfBody(fake.log->posts[0].body);
    EXPECT_TRUE(lines.size() == 1 && std::regex_match(lines[0], std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\t{10})")));
    fake.log->Complete();
    // A POST that cannot start, or no transport at all, drops its records and says so.
    fake.log->refuse = true;
    for (const char* why : {"refused", "no transport"}) {
        SCOPED_TRACE(why);
        ASSERT_TRUE(Stats().AddEvent(InstallCountFields, CountEvent(L"lost")));
        EXPECT_FALSE(Stats().Send());
        EXPECT_FALSE(Stats().IsBusy());
        EXPECT_TRUE(Stats().GetPending().empty());
        Stats().ReleaseCommand();
        SetReportCommandFactory([] { return std::unique_ptr<IReportCommand>(); });  // undone by `fake`
    }
    // Without a URL nothing is recorded.
    Stats().SetUrl(L"");
    EXPECT_FALSE(Stats().AddEvent(InstallCountFields, CountEvent(L"1")));
    EXPECT_EQ(fake.log->posts.size(), 1u);
}
