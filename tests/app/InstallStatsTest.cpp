#include "app/InstallStats.h"

#include <thread>

#include "app/AppTestEnvironment.h"
#include "commonlib/logger/BigDataLog.h"
#include "commonlib/util/StringUtils.h"
#include "commonlib/util/SystemInfo.h"
#include "platform/sync/Clock.h"
#include "platform/system/OsVersion.h"

using testsupport::StatisticsRecord;

namespace {

InstallStatsContext Context(int gameId, std::wstring channelId, std::wstring installDir, DWORD startTick = 0) {
    return {gameId, std::move(channelId), L"2.1.790", std::move(installDir), startTick};
}

class InstallStatsTest : public AppTestEnvironment {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.Start());
        WriteIni(m_server.ServersSection() + "[Debug]\nLog=0\n");
        StartApp(223);
    }

    LoopbackUpdateServer m_server{LoopbackUpdateServer::Options{.certDir = m_dir.Path().string()}};
    ChannelCodeMap m_channelCodes;
};

}  // namespace

// The records as the collector received them, decrypted by its own code, field by field.
TEST_F(InstallStatsTest, TheCollectorReceivesTheEventsAndTheCountRecords) {
    m_dir.WriteFile("home/inst/tg.id", "A1B2C3D4\r\nsecond line");
    m_dir.WriteFile("home/inst/rkupdate.ini", "[Setting]\r\nVersion=2.1.784\r\n");
    m_dir.WriteFile("home/bare/rkupdate.ini", "[Setting]\nVer\n");  // too short to hold a version
    const DWORD fiveSecondsAgo = GetTickCount() - 5000;
    ASSERT_TRUE(SendInstallEvent(Context(223, L"0", L"C:\\inst")));
    ASSERT_TRUE(SendInstallEvent({0, L"57", L"", L"C:\\inst", 0}));
    ASSERT_TRUE(ReportInstallStats(Context(223, L"0", L"C:\\inst", fiveSecondsAgo), true, m_channelCodes));
    ASSERT_TRUE(ReportInstallStats(Context(223, L"0", L"C:\\bare", fiveSecondsAgo), false, m_channelCodes));
    ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return m_server.StatisticsRecords().size() >= 4; }));
    const std::vector<StatisticsRecord> records = m_server.StatisticsRecords();
    ASSERT_EQ(records.size(), 4u);

    const platform::OsVersionNumbers os = platform::OsVersion();
    const std::string mac = WideToUtf8(GetDeviceMac());
    const std::vector<std::vector<std::pair<std::string, std::string>>> expected = {
        {{"logname", "d_event_rekkan_5.2"},
         {"event_type", "1"},
         {"uid", "0"},
         {"platform", "3"},
         {"device_id", mac},
         {"network", "5"},
         {"stats_obj", "2"},
         {"event_id", "xj_install"},
         {"event_label", "1"},
         {"info_version", "1.0.2|vidi_zazeroroda|GameId:223"},
         {"stats_col", "channel_id:223,channel_type:1,client_type:1,edition_type:2.1.790"}},
        {{"event_id", "xj_install"},
         {"info_version", "1.0.2|vidi_zazeroroda"},
         {"stats_col", "channel_id:57,channel_type:2,client_type:1,edition_type:"}},
        {{"logname", "c_downInstall_rekkan_5.2"},
         {"logic_sevice_id", ""},
         {"mac", mac},
         {"gate", "0"},  // the product's table is not part of the program
         {"os", WideToUtf8(GetOsVersionName()) + " MajorVersion " + std::to_string(os.major) + " MinorVersion " +
                    std::to_string(os.minor)},
         {"title", "2"},
         {"version", "2.1.784"},
         {"package_id", "A1B2C3D4"},
         {"count_dimension", "installxj_state:1"}},
        {{"title", "1"},
         {"version", "0"},
         {"package_id", "00000000"},
         {"count_dimension", "installxj_state:0"},
         {"count_value", ""}},
    };
    for (size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(records[i].decrypted);
        EXPECT_EQ(records[i].fields.size(), i < 2 ? 14u : 11u);
        for (const auto& [name, value] : expected[i])
            EXPECT_EQ(records[i].Field(name), value) << name;
    }
    EXPECT_EQ(records[3].Field("ftime").size(), 19u);
    const std::string time = records[2].Field("count_value");
    ASSERT_EQ(time.rfind("installxj_time:", 0), 0u) << time;
    EXPECT_GE(std::stoll(time.substr(15)), 5000);
}

TEST_F(InstallStatsTest, ReportsOffTheUiThreadAreRefused) {
    bool eventSent = true;
    bool countSent = true;
    std::thread worker([&] {
        eventSent = SendInstallEvent(Context(223, L"0", L"C:\\inst"));
        countSent = ReportInstallStats(Context(223, L"0", L"C:\\inst"), true, m_channelCodes);
    });
    worker.join();
    EXPECT_FALSE(eventSent);
    EXPECT_FALSE(countSent);
    testsupport::PumpMessagesFor(std::chrono::milliseconds(100));
    EXPECT_EQ(BigDataLog::GetInstance().GetPending().size(), 0u);
    EXPECT_TRUE(m_server.StatisticsRecords().empty());
}
