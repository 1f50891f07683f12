#include "app/MainApp.h"

#include <ctime>
#include <thread>

#include "app/AppTestEnvironment.h"
#include "app/SpareDnsTable.h"
#include "commonlib/http/DNSThread.h"
#include "commonlib/http/HttpCommand.h"
#include "commonlib/http/HttpEngine.h"
#include "commonlib/http/HttpTrust.h"
#include "commonlib/logger/BigDataLog.h"
#include "commonlib/util/StringUtils.h"
#include "support/FakeDnsServer.h"
#include "support/HttpTestFixture.h"
#include "support/LoopbackHttpServer.h"
#include "support/ManualClock.h"
#include "support/ScriptedTcpServer.h"

namespace {

constexpr char kAllServers[] =
    "[Servers]\n"
    "UpdateServer=https://127.0.0.9:4431/\n"
    "UpdateServerHttp=http://127.0.0.9:8081\n"
    "StatisticsUrl=https://127.0.0.9:4431/stats\n"
    "DownloadLogUrl=http://127.0.0.9:8081/dl\n"
    "Resolvers= 127.0.0.7 ; resolver.invalid ;127.0.0.8\n"
    "TestHost=probe.localhost\n"
    "CommandAddresses=127.0.0.61;127.0.0.62\n"
    "Spare_1.1.1.1=127.0.0.111\n"
    "Spare_2.2.2.2=127.0.0.121;127.0.0.122\n"
    "Spare_3.3.3.3=127.0.0.131\n"
    "Spare_4.4.4.4=127.0.0.141\n"
    "Spare_9.9.9.9=\n"
    "AgreementUrl=https://127.0.0.9:4431/licence.html\n"
    "CaFile=C:\\ca.pem\n";

class MainAppTest : public AppTestEnvironment {};

}  // namespace

TEST_F(MainAppTest, IniReplacesEveryMakerValueAndDebugKeysWin) {
    WriteIni(std::string(kAllServers) + "[Debug]\nBigServerUrl=https://127.0.0.9:4431/debug-stats\nLog=0\n");
    m_dir.WriteFile("home/ca.pem", "-----BEGIN CERTIFICATE-----\n");
    StartApp();
    const MakerServers& servers = MainApp::GetInstance().Servers();
    EXPECT_EQ(servers.DescriptorUrls(MakerServers::ListMode::Release),
              (std::vector<std::wstring>{L"https://127.0.0.9:4431/qvzurazarevuz.txt",
                                         L"http://127.0.0.9:8081/qvzurazarevuz.txt"}));
    EXPECT_EQ(servers.VersionListUrl(MakerServers::ListMode::PublicTest),
              L"https://127.0.0.9:4431/test/qvinstall_public_test.txt");
    EXPECT_EQ(servers.agreementUrl, L"https://127.0.0.9:4431/licence.html");
    EXPECT_EQ(servers.caFile, L"C:\\ca.pem");
    ASSERT_NE(HttpTrustedCaText(), nullptr);
    EXPECT_EQ(HttpTrustedCaText()->rfind("-----BEGIN CERTIFICATE-----\n", 0), 0u);
    EXPECT_EQ(BigDataLog::GetInstance().GetUrl(), L"https://127.0.0.9:4431/debug-stats");
    EXPECT_EQ(MainApp::GetInstance().GetDownloadLogUrl(), L"http://127.0.0.9:8081/dl");
    const SpareDnsTable& table = SpareDnsTable::GetInstance();
    EXPECT_EQ(table.ResolverList(), L"127.0.0.7;127.0.0.8");
    EXPECT_EQ(table.TestHost(), L"probe.localhost");
    EXPECT_EQ(table.CommandAddressList(), L"127.0.0.61;127.0.0.62");
    EXPECT_EQ(table.DownloadAddressList(), L"127.0.0.141");
    // The commands' re-resolution asks the same resolvers.
    EXPECT_EQ(GetHttpDnsResolvers(), "127.0.0.7;127.0.0.8");

    // A resolver list is never empty: without a usable entry the built-in one is used.
    for (const char* value : {"", "resolver.invalid", " ; "}) {
        SCOPED_TRACE(value);
        WriteIni(std::string("[Servers]\nResolvers=") + value + "\n[Debug]\nLog=0\n");
        EXPECT_EQ(MakerServers::Load(L"C:\\prog\\xjzurazarevuz.ini").resolvers, L"127.0.0.1");
    }
}

TEST_F(MainAppTest, OnlyASingleMarkerAnswerSwitchesTheDownloadList) {
    WriteIni(std::string(kAllServers) + "[Debug]\nLog=0\n");
    StartApp();
    const struct {
        int code;
        const char* answer;
        const wchar_t* list;
    } cases[] = {
        {0, "2.2.2.2", L"127.0.0.121;127.0.0.122"},
        {0, "9.9.9.9", L""},
        {0, "2.2.2.2;3.3.3.3", L"127.0.0.141"},
        {0, "8.8.4.4", L"127.0.0.141"},
        {0, "", L"127.0.0.141"},
        {-1, "2.2.2.2", L"127.0.0.141"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        SpareDnsTable::GetInstance().Fill(MainApp::GetInstance().Servers());
        OnSpareDNSResult(c.code, &MainApp::GetInstance(), "probe.localhost", c.answer);
        EXPECT_EQ(SpareDnsTable::GetInstance().DownloadAddressList(), c.list);
    }
}

TEST_F(MainAppTest, TheStartupLookupAsksTheIniResolversAndSwitchesTheList) {
    testsupport::CFakeDnsServer resolver("127.0.0.1", 0, testsupport::AnswerWith({"3.3.3.3"}));
    NetToolOptions options;
    options.dns.port = resolver.Port();
    options.dns.timeoutMs = 100;
    CSingleton<CNetToolThread>::GetInstance().SetOptions(options);
    // Only the first resolver of the file listens; the lookup must reach it.
    std::string ini = std::string(kAllServers) + "[Debug]\nLog=0\n";
    ini.replace(ini.find("127.0.0.7"), 9, "127.0.0.1");
    WriteIni(ini);
    StartApp();
    EXPECT_TRUE(testsupport::PumpMessagesUntil(
        [] { return SpareDnsTable::GetInstance().DownloadAddressList() == L"127.0.0.131"; }));
    EXPECT_EQ(resolver.QueryCount(), 1);
    // So do the network analyses' lookups.
    std::string answer;
    ASSERT_TRUE(CSingleton<CNetToolThread>::GetInstance().AddNSLookUpTask(
        "cdn.localhost", &answer,
        [](int, void* user, const std::string&, const std::string& text) { *static_cast<std::string*>(user) = text; }));
    EXPECT_TRUE(testsupport::PumpMessagesUntil([&] { return !answer.empty(); }));
    EXPECT_EQ(answer, "3.3.3.3");
}

TEST_F(MainAppTest, TheLogFileIsNamedOnceWithTheDateOfItsFirstUse) {
    WriteIni("[Debug]\nLog=2\n");
    StartApp();
    MainApp& app = MainApp::GetInstance();
    const std::wstring first = app.LogFilePath();
    // Into the next second: a name made again would differ.
    const std::time_t started = std::time(nullptr);
    while (std::time(nullptr) == started)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(app.LogFilePath(), first);
    const std::string name = platform::Utf8FromWide(first);
    EXPECT_EQ(name.rfind("C:\\prog\\MiniLog\\vidi_zazeroroda", 0), 0u) << name;
    EXPECT_EQ(name.size(), std::string("C:\\prog\\MiniLog\\vidi_zazeroroda").size() + 15 + 7) << name;
    EXPECT_TRUE(name.ends_with(".xjelog")) << name;
    std::size_t written = 0;
    for (const auto& entry : fs::directory_iterator(HostPath("prog/MiniLog")))
        written += entry.path().filename().string() == name.substr(name.rfind('\\') + 1);
    EXPECT_EQ(written, 1u) << "the log file is the one named";
}

TEST_F(MainAppTest, TheEngineTimerChecksTimeOutsEveryOtherTickAndStartsDueRequestsOnEvery) {
    // The whole test stays within the engine timer's own first period on this clock, so
    // only the test's ticks run.
    testsupport::ScopedManualClock clock;
    WriteIni("[Debug]\nLog=0\n");
    StartApp();
    MainApp& app = MainApp::GetInstance();
    CHttpMgr* mgr = GetHttpCommandMgr();
    ASSERT_NE(mgr, nullptr);
    const auto pumpUntil = [](const std::function<bool()>& done) { return testsupport::PumpMessagesUntil(done); };

    // A request that gets no answer, with a time-out of 100 ms.
    testsupport::ScriptedTcpServer silent;
    ASSERT_TRUE(silent.Start());
    CHttpCommand waiting;
    waiting.SetTimeout(100);
    CommandOutcome timedOut;
    ASSERT_TRUE(timedOut.Get(waiting, Utf8ToWide(silent.Url("/x"))));
    ASSERT_TRUE(pumpUntil([&] { return silent.Connections() == 1 && mgr->RunningCount() == 1; }));
    app.OnEngineTimer();  // tick 0: nothing has been silent long enough yet
    clock.Advance(std::chrono::milliseconds(150));
    app.OnEngineTimer();  // tick 1: time-outs are not looked at
    testsupport::PumpMessagesFor(std::chrono::milliseconds(100));
    EXPECT_EQ(timedOut.calls, 0);
    app.OnEngineTimer();  // tick 2: they are
    ASSERT_TRUE(pumpUntil([&] { return timedOut.calls == 1; }));
    EXPECT_EQ(std::make_pair(timedOut.type, timedOut.code), std::make_pair(3, 3002));

    // A retry waiting 100 ms starts on the next tick after that, an odd one too.
    testsupport::LoopbackHttpServer server;  // every path answers 404
    ASSERT_TRUE(server.Start());
    CHttpCommand retried;
    retried.SetRetryDelay(100);
    CommandOutcome outcome;
    ASSERT_TRUE(retried.Get(Utf8ToWide(server.Url("/first")), &CommandOutcome::Record, &outcome,
                            HttpErrorReporting::Off, L"", Utf8ToWide(server.Url("/second"))));
    ASSERT_TRUE(pumpUntil([&] { return mgr->WaitingCount() == 1; }));
    clock.Advance(std::chrono::milliseconds(100));
    app.OnEngineTimer();  // tick 3
    EXPECT_EQ(mgr->WaitingCount(), 0u);
    ASSERT_TRUE(pumpUntil([&] { return outcome.calls == 1; }));
    EXPECT_EQ(server.Requests().size(), 2u);
}
