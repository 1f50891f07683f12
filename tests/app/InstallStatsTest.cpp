#include "app/InstallStats.h"

#include <gtest/gtest.h>

#include <thread>

#include "app/AppTestEnvironment.h"
#include "commonlib/logger/BigDataLog.h"
#include "commonlib/logger/DownloadLog.h"
#include "commonlib/util/StringUtils.h"
#include "commonlib/util/SystemInfo.h"
#include "platform/sync/Clock.h"
#include "platform/system/OsVersion.h"
#include "support/LoopbackUpdateServer.h"
#include "support/MessagePump.h"

using testsupport::LoopbackUpdateServer;
using testsupport::StatisticsRecord;

namespace {

InstallStatsContext Context(int gameId, std::wstring channelId, std::wstring version, std::wstring installDir,
                            DWORD startTick = 0) {
    InstallStatsContext context;
    context.gameId = gameId;
    context.channelId = std::move(channelId);
    context.descriptorVersion = std::move(version);
    context.installDir = std::move(installDir);
    context.startTick = startTick;
    return context;
}

class InstallStatsTest : public AppTestEnvironment {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.Start());
        WriteIni(m_server.ServersSection() + "[Debug]\nLog=0\n");
        StartApp(223);
    }

    std::vector<StatisticsRecord> WaitForRecords(size_t count) {
        EXPECT_TRUE(testsupport::PumpMessagesUntil([&] { return m_server.StatisticsRecords().size() >= count; }));
        return m_server.StatisticsRecords();
    }
    static void ExpectFields(const StatisticsRecord& record,
                             const std::vector<std::pair<std::string, std::string>>& fields) {
        ASSERT_TRUE(record.decrypted);
        for (const auto& [name, value] : fields)
            EXPECT_EQ(record.Field(name), value) << name;
    }

    LoopbackUpdateServer m_server{LoopbackUpdateServer::Options{.certDir = m_dir.Path().string()}};
    ChannelCodeMap m_channelCodes;
};

}  // namespace

TEST_F(InstallStatsTest, TheCollectorReceivesTheInstallEvents) {
    ASSERT_TRUE(SendInstallEvent(Context(223, L"0", L"2.1.790", L"C:\\inst")));
    ASSERT_TRUE(SendInstallEvent(Context(0, L"57", L"", L"C:\\inst")));
    const auto records = WaitForRecords(2);
    ASSERT_EQ(records.size(), 2u);
    for (const StatisticsRecord& record : records) {
        ASSERT_EQ(record.fields.size(), 14u);
        EXPECT_FALSE(record.IsInstallCount());
        ExpectFields(record, {{"logname", "d_event_rekkan_5.2"},
                              {"event_type", "1"},
                              {"uid", "0"},
                              {"platform", "3"},
                              {"device_id", WideToUtf8(GetDeviceMac())},
                              {"network", "5"},
                              {"stats_obj", "2"},
                              {"event_id", "xj_install"},
                              {"event_label", "1"}});
    }
    ExpectFields(records[0], {{"info_version", "1.0.2|vidi_zazeroroda|GameId:223"},
                              {"stats_col", "channel_id:223,channel_type:1,client_type:1,edition_type:2.1.790"}});
    ExpectFields(records[1], {{"info_version", "1.0.2|vidi_zazeroroda"},
                              {"stats_col", "channel_id:57,channel_type:2,client_type:1,edition_type:"}});
}

TEST_F(InstallStatsTest, TheCollectorReceivesTheCountRecordsOfSuccessAndFailure) {
    m_dir.WriteFile("home/inst/tg.id", "A1B2C3D4\r\nsecond line");
    m_dir.WriteFile("home/inst/rkupdate.ini", "[Setting]\r\nVersion=2.1.784\r\n");
    m_dir.WriteFile("home/bare/rkupdate.ini", "[Setting]\nVer\n");  // too short to hold a version
    const DWORD fiveSecondsAgo = GetTickCount() - 5000;
    ASSERT_TRUE(ReportInstallStats(Context(223, L"0", L"2.1.790", L"C:\\inst", fiveSecondsAgo), true, m_channelCodes));
    ASSERT_TRUE(ReportInstallStats(Context(223, L"0", L"2.1.790", L"C:\\bare", fiveSecondsAgo), false, m_channelCodes));
    const auto records = WaitForRecords(2);
    ASSERT_EQ(records.size(), 2u);

    const platform::OsVersionNumbers os = platform::OsVersion();
    const std::string osText = WideToUtf8(GetOsVersionName()) + " MajorVersion " + std::to_string(os.major) +
                               " MinorVersion " + std::to_string(os.minor);
    for (const StatisticsRecord& record : records) {
        ASSERT_EQ(record.fields.size(), 11u);
        EXPECT_TRUE(record.IsInstallCount());
        EXPECT_EQ(record.Field("ftime").size(), 19u);
        ExpectFields(record, {{"logic_sevice_id", ""},
                              {"mac", WideToUtf8(GetDeviceMac())},
                              {"gate", "0"},  // the product's table is not part of the program
                              {"os", osText}});
    }
    ExpectFields(
        records[0],
        {{"title", "2"}, {"version", "2.1.784"}, {"package_id", "A1B2C3D4"}, {"count_dimension", "installxj_state:1"}});
    const std::string time = records[0].Field("count_value");
    ASSERT_EQ(time.rfind("installxj_time:", 0), 0u) << time;
    EXPECT_GE(std::stoll(time.substr(15)), 5000);
    ExpectFields(records[1], {{"title", "1"},
                              {"version", "0"},
                              {"package_id", "00000000"},
                              {"count_dimension", "installxj_state:0"},
                              {"count_value", ""}});
}

TEST_F(InstallStatsTest, ReportsOffTheUiThreadAreRefused) {
    bool eventSent = true;
    bool countSent = true;
    std::thread worker([&] {
        eventSent = SendInstallEvent(Context(223, L"0", L"2.1.790", L"C:\\inst"));
        countSent = ReportInstallStats(Context(223, L"0", L"2.1.790", L"C:\\inst"), true, m_channelCodes);
    });
    worker.join();
    EXPECT_FALSE(eventSent);
    EXPECT_FALSE(countSent);
    testsupport::PumpMessagesFor(std::chrono::milliseconds(100));
    EXPECT_EQ(BigDataLog::GetInstance().GetPending().size(), 0u);
    EXPECT_TRUE(m_server.StatisticsRecords().empty());
}

TEST_F(InstallStatsTest, TheCollectorsTellBrokenRecordsFromSoundOnes) {
    // The installer's own encryption and sign, judged by the collectors' independent code.
    httplib::Client client(m_server.HttpOrigin());
    const std::string sound = EncryptBigDataEventLine("a\tb\tc_downInstall_rekkan_5.2");
    const std::string body = "[{\"headers\":{},\"body\":\"" + sound + "\"},{\"headers\":{},\"body\":\"" +
                             sound.substr(0, sound.size() - 2) + "\"},{\"headers\":{},\"body\":\"XYZ\"}]";
    ASSERT_TRUE(client.Post(LoopbackUpdateServer::kStatisticsPath, body, "application/json"));
    const auto records = m_server.StatisticsRecords();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_TRUE(records[0].decrypted);
    EXPECT_EQ(records[0].fields, (std::vector<std::string>{"a", "b", "c_downInstall_rekkan_5.2"}));
    EXPECT_EQ(records[0].Field("title"), "");  // beyond the three fields sent
    EXPECT_FALSE(records[1].decrypted);
    EXPECT_FALSE(records[2].decrypted);

    const std::string data = "{\"a\":1}";
    for (const std::string& sign : {MakeDownloadLogSign(data), MakeDownloadLogSign(data + " ")}) {
        const httplib::MultipartFormDataItems form = {{"sign", sign, "", ""}, {"data", data, "", ""}};
        ASSERT_TRUE(client.Post(LoopbackUpdateServer::kDownloadLogPath, form));
    }
    const auto uploads = m_server.DownloadLogRecords();
    ASSERT_EQ(uploads.size(), 2u);
    EXPECT_TRUE(uploads[0].signValid);
    EXPECT_FALSE(uploads[1].signValid);
    EXPECT_EQ(uploads[1].data, data);
}
