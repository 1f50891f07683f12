#include "commonlib/http/HttpCommand.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <sstream>

#include "commonlib/http/DNSThread.h"
#include "commonlib/util/StringUtils.h"
#include "support/FakeDnsServer.h"
#include "support/HttpTestFixture.h"
#include "support/LoopbackHttpServer.h"
#include "support/ManualClock.h"
#include "support/ScriptedHttpServer.h"
#include "support/ScriptedTcpServer.h"
#include "support/TempDir.h"

using testsupport::LoopbackHttpServer;
using testsupport::ScriptedTcpServer;

namespace {

class HttpCommandTest : public HttpUiThreadTest {
protected:
    void SetUp() override {
        HttpUiThreadTest::SetUp();
        ASSERT_TRUE(m_server.Start());
        m_command.SetRetryDelay(0);
    }
    std::wstring Url(const std::string& path, const std::string& host = "127.0.0.1") const {
        return Utf8ToWide(m_server.Url(path, host));
    }
    bool Finish() {
        return PumpUntil([this] { return m_outcome.calls > 0; });
    }

    LoopbackHttpServer m_server;
    CHttpCommand m_command;
    CommandOutcome m_outcome;
};

}  // namespace

// The reports' tests see JSON bodies and form fields arrive through these commands too.
TEST_F(HttpCommandTest, GetAndPostSendWhatTheCallerGave) {
    m_server.Route("/echo", [](const testsupport::RecordedRequest& request, httplib::Response& response) {
        response.set_content("answer to " + request.method, "text/plain");
    });
    // GET with an extra header line; the body comes back on the UI thread.
    m_command.AddHeader("X-Game:tarnvik");
    ASSERT_TRUE(m_outcome.Get(m_command, Url("/echo?a=1")));
    ASSERT_TRUE(Finish());
    EXPECT_TRUE(m_outcome.Delivered("answer to GET"));
    EXPECT_EQ(m_server.Requests().back().Header("X-Game"), "tarnvik");
    EXPECT_FALSE(m_outcome.offUiThread);

    // The header list is replaced; multipart fields go out in the order added, byte for byte.
    m_command.ClearHeaders();
    const std::vector<std::pair<std::string, std::string>> fields = {
        {"sign", "0123456789abcdef0123456789abcdef"}, {"data", std::string(3000, 'x')}, {"aaa", {"\0\x01\xff", 3}}};
    for (const auto& [name, value] : fields)
        m_command.AddFormField(name, value);
    ASSERT_TRUE(m_outcome.Post(m_command, Url("/echo"), ""));
    ASSERT_TRUE(Finish());
    EXPECT_TRUE(m_outcome.Delivered("answer to POST"));
    EXPECT_EQ(m_server.Requests().back().formFields, fields);
    EXPECT_EQ(m_server.Requests().back().Header("X-Game"), "");
}

TEST_F(HttpCommandTest, RefusalsReportNothingAndNeverSucceed) {
    // Too short a URL, or a command already active: false and no callback.
    EXPECT_FALSE(m_outcome.Post(m_command, L"ab", ""));
    m_server.Serve("/x", "x");
    ASSERT_TRUE(m_outcome.Post(m_command, Url("/x"), ""));
    EXPECT_FALSE(m_outcome.Post(m_command, Url("/x"), ""));
    ASSERT_TRUE(Finish());
    testsupport::PumpMessagesFor(std::chrono::milliseconds(50));
    EXPECT_EQ(m_outcome.calls, 1);  // exactly once

    // A URL curl cannot take still ends with a failure pair, never with success.
    ASSERT_TRUE(m_outcome.Get(m_command, L"gopher://127.0.0.1/", HttpErrorReporting::On));
    ASSERT_TRUE(Finish());
    EXPECT_EQ(m_outcome.type, 5);
    EXPECT_NE(m_outcome.code, 0);
}

TEST_F(HttpCommandTest, RetryLadderFallsOverToPinnedAddresses) {
    int hits = 0;
    m_server.Route("/busy", [&hits](const testsupport::RecordedRequest&, httplib::Response& response) {
        response.status = ++hits == 1 ? 503 : 200;
        response.set_content(hits == 1 ? "busy" : "fine", "text/plain");
    });
    {
        // A 503 then success: the pinned address reaches the same server again.
        ASSERT_TRUE(m_outcome.Get(m_command, Url("/busy"), HttpErrorReporting::On, L"127.0.0.1"));
        ASSERT_TRUE(Finish());
        EXPECT_TRUE(m_outcome.Delivered("fine"));
        EXPECT_EQ(hits, 2);
    }
    {
        // A dead address falls over to a pinned one; invalid and extra entries are not used. Redirects are followed.
        m_server.Serve("/pinned", "via pin");
        m_server.Route("/old", [this](const testsupport::RecordedRequest&, httplib::Response& response) {
            response.set_redirect(m_server.Url("/pinned"), 302);  // followed, to the pinned address too
        });
        ASSERT_TRUE(m_outcome.Get(m_command, Url("/old", "127.0.0.2"), HttpErrorReporting::Off,
                                  L"999.1.1.1;127.0.0.1;not-an-ip"));
        ASSERT_TRUE(Finish());
        EXPECT_TRUE(m_outcome.Delivered("via pin"));
    }
}

TEST_F(HttpCommandTest, StoppedOrDeletedCommandsNeverCallBackAfterwards) {
    ScriptedTcpServer slow(
        {"HTTP/1.1 200 OK\r\nContent-Length: 40\r\n\r\n" + std::string(40, 'd'), 2, std::chrono::milliseconds(20)});
    ASSERT_TRUE(slow.Start());
    {
        // Stopped while bytes arrive: nothing is reported.
        ASSERT_TRUE(m_outcome.Get(m_command, Utf8ToWide(slow.Url("/"))));
        ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return slow.Connections() == 1; }));
        testsupport::PumpMessagesFor(std::chrono::milliseconds(60));
        m_command.Stop();
        EXPECT_FALSE(m_command.IsActive());
        testsupport::PumpMessagesFor(std::chrono::milliseconds(300));
        EXPECT_EQ(m_outcome.calls, 0);
    }
    {
        // Deleted while running, from memory the owner allocated: queued results find nothing.
        CommandOutcome outcome;
        void* memory = ::operator new(sizeof(CHttpCommand));
        CHttpCommand* command = CHttpCommand::Create(memory);
        ASSERT_TRUE(outcome.Get(*command, Utf8ToWide(slow.Url("/"))));
        testsupport::PumpMessagesFor(std::chrono::milliseconds(50));
        delete command;
        testsupport::PumpMessagesFor(std::chrono::milliseconds(300));
        EXPECT_EQ(outcome.calls, 0);
    }
    {
        // Deleted by its own completion: called once, and nothing touches it afterwards.
        m_server.Serve("/a", "a");
        struct Owner {
            std::unique_ptr<CHttpCommand> command = std::make_unique<CHttpCommand>();
            int calls = 0;
            static void Done(void* user, const std::string&, int, int) {
                auto* owner = static_cast<Owner*>(user);
                ++owner->calls;
                owner->command.reset();
            }
        } owner;
        ASSERT_TRUE(owner.command->Get(Url("/a"), &Owner::Done, &owner, HttpErrorReporting::Off, L"", L""));
        ASSERT_TRUE(PumpUntil([&] { return owner.calls > 0; }));
        testsupport::PumpMessagesFor(std::chrono::milliseconds(50));
        EXPECT_EQ(owner.calls, 1);
    }
}

TEST_F(HttpCommandTest, StopDuringTheLookupNeitherWaitsForItNorFreesItEarly) {
    // A resolver that never answers: after the dead address the lookup waits out its 1.5 s.
    testsupport::CFakeDnsServer silent;
    SetHttpDnsResolvers("127.0.0.1", silent.Port());
    auto command = std::make_unique<CHttpCommand>();
    command->SetRetryDelay(0);
    const int dead = testsupport::UnusedLoopbackPort();
    ASSERT_TRUE(m_outcome.Get(*command, L"http://localhost:" + std::to_wstring(dead) + L"/"));
    ASSERT_TRUE(PumpUntil([&] { return silent.QueryCount() > 0; }));
    SetHttpDnsResolvers("", 53);
    const auto stopping = std::chrono::steady_clock::now();
    command->Stop();
    command.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::seconds(1)) << "waited for the lookup";
    testsupport::PumpMessagesFor(std::chrono::milliseconds(1800));
    StopOrAbandonDnsThread(nullptr, 0);  // frees the abandoned lookup, ended by now
    EXPECT_EQ(m_outcome.calls, 0);
}

using HttpsCommandTest = HttpUiThreadTest;

TEST_F(HttpsCommandTest, HostCheckFailsOnlyANameMismatch) {
    testsupport::TempDir dir;
    testsupport::TestCertificate ca;
    testsupport::TestCertificate certificate;
    ASSERT_TRUE(testsupport::MakeTestCertificateAuthority(dir.Path().string(), &ca));
    ASSERT_TRUE(testsupport::MakeTestCertificate(dir.Path().string(), "IP:127.0.0.1", &certificate, &ca));
    ASSERT_TRUE(TrustCaFile(ca.certFile));
    LoopbackHttpServer server(certificate);
    server.Serve("/tls", "secret");
    ASSERT_TRUE(server.Start());
    // The failed check ends the ladder at our own resolver, which knows no address.
    testsupport::CFakeDnsServer resolver("127.0.0.1", 0, testsupport::AnswerWith({}));
    SetHttpDnsResolvers("127.0.0.1", resolver.Port());
    const struct {
        const char* why;
        std::string host;
        std::uint8_t check;
        bool succeeds;
    } cases[] = {
        {"matching name, checked", "127.0.0.1", 1, true},
        {"other name, not checked", "localhost", 0, true},
        {"other name, checked", "localhost", 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        CHttpCommand command;
        command.m_checkHost = c.check;
        CommandOutcome outcome;
        ASSERT_TRUE(outcome.Get(command, Utf8ToWide(server.Url("/tls", c.host))));
        ASSERT_TRUE(PumpUntil([&] { return outcome.calls > 0; }));
        if (c.succeeds) {
            EXPECT_TRUE(outcome.Delivered("secret"));
        } else {
            EXPECT_EQ(outcome.type, 5);
            EXPECT_EQ(outcome.code, 60);  // CURLE_PEER_FAILED_VERIFICATION
        }
    }
    SetHttpDnsResolvers("", 53);
}

TEST_F(HttpsCommandTest, TheCertificateChainMustLeadToATrustedCa) {
    testsupport::TempDir dir;
    testsupport::TestCertificate ca, other, bySigned, byItself;
    for (const char* sub : {"ca", "other", "signed", "self"})
        std::filesystem::create_directories(dir.Path() / sub);
    ASSERT_TRUE(testsupport::MakeTestCertificateAuthority((dir.Path() / "ca").string(), &ca));
    ASSERT_TRUE(testsupport::MakeTestCertificateAuthority((dir.Path() / "other").string(), &other));
    ASSERT_TRUE(testsupport::MakeTestCertificate((dir.Path() / "signed").string(), "IP:127.0.0.1", &bySigned, &ca));
    ASSERT_TRUE(testsupport::MakeTestCertificate((dir.Path() / "self").string(), "IP:127.0.0.1", &byItself));
    LoopbackHttpServer signedServer(bySigned);
    LoopbackHttpServer selfServer(byItself);
    for (LoopbackHttpServer* server : {&signedServer, &selfServer}) {
        server->Serve("/tls", "secret");
        ASSERT_TRUE(server->Start());
    }
    const struct {
        const char* why;
        const testsupport::TestCertificate* trusted;
        LoopbackHttpServer* server;
        bool succeeds;
    } cases[] = {
        {"the system's CAs alone", nullptr, &signedServer, false},
        {"the CA that signed it", &ca, &signedServer, true},
        {"another CA", &other, &signedServer, false},
        {"a certificate made on the spot, signed by itself", &ca, &selfServer, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        ASSERT_TRUE(TrustCaFile(c.trusted ? c.trusted->certFile : ""));
        const size_t before = c.server->Requests().size();
        // A GET as the updater makes it, with the host check, and a POST as the reports make it, without.
        for (const bool post : {false, true}) {
            CHttpCommand command;
            command.m_checkHost = post ? 0 : 1;
            CommandOutcome outcome;
            const std::wstring url = Utf8ToWide(c.server->Url("/tls"));
            ASSERT_TRUE(post ? outcome.Post(command, url, "record") : outcome.Get(command, url));
            ASSERT_TRUE(PumpUntil([&] { return outcome.calls > 0; }));
            if (c.succeeds) {
                EXPECT_TRUE(outcome.Delivered("secret"));
            } else {
                EXPECT_EQ(std::make_pair(outcome.type, outcome.code), std::make_pair(5, 60));
            }
        }
        EXPECT_EQ(c.server->Requests().size(), before + (c.succeeds ? 2 : 0));
    }
    // A file that is missing or holds no certificate adds nothing to the trust.
    dir.WriteFile("none.pem", "no certificate");
    EXPECT_FALSE(TrustCaFile((dir.Path() / "none.pem").string()));
    EXPECT_FALSE(TrustCaFile((dir.Path() / "missing.pem").string()));
    EXPECT_EQ(HttpTrustedCaText(), nullptr);
}

TEST_F(HttpCommandTest, PostGoesToAnotherAddressOnlyWhenNoServerTookIt) {
    // After a first attempt the command asks our resolver for the host's addresses again.
    testsupport::CFakeDnsServer resolver("127.0.0.1", 0, testsupport::AnswerWith({"127.0.0.1", "127.0.0.2"}));
    SetHttpDnsResolvers("127.0.0.1", resolver.Port());
    testsupport::ScopedManualClock clock;
    {
        // The server took the POST and cut its answer short: the record must not arrive twice.
        ScriptedTcpServer cut({"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"});
        ASSERT_TRUE(cut.Start());
        ASSERT_TRUE(m_outcome.Post(m_command, L"http://localhost:" + std::to_wstring(cut.Port()) + L"/c", "rec"));
        ASSERT_TRUE(Finish());
        EXPECT_EQ(m_outcome.type, 5);
        EXPECT_EQ(m_outcome.code, 18);  // CURLE_PARTIAL_FILE
        EXPECT_EQ(cut.Connections(), 1);
    }
    {
        // The server took the POST and never answered: the time-out ends it, nothing is resent.
        testsupport::ScriptedHttpServer holding;
        holding.Hold();
        ASSERT_TRUE(m_outcome.Post(m_command, L"http://localhost:" + std::to_wstring(holding.Port()) + L"/c", "rec"));
        ASSERT_TRUE(PumpUntil([&] { return holding.Requests().size() == 1; }));
        clock.Advance(std::chrono::milliseconds(CHttpCommand::kDefaultTimeoutMs + 1));
        ASSERT_TRUE(Finish());
        EXPECT_EQ(m_outcome.type, 3);
        EXPECT_EQ(m_outcome.code, 3002);
        holding.Release();
        testsupport::PumpMessagesFor(std::chrono::milliseconds(50));
        EXPECT_EQ(holding.Requests().size(), 1u);
    }
    EXPECT_EQ(resolver.QueryCount(), 0);
    {
        // Nothing listens where the name first leads: the POST goes to a re-resolved address, once.
        testsupport::ScriptedHttpServer elsewhere("127.0.0.2");
        ASSERT_TRUE(
            m_outcome.Post(m_command, L"http://localhost:" + std::to_wstring(elsewhere.Port()) + L"/c", "record"));
        ASSERT_TRUE(Finish());
        EXPECT_TRUE(m_outcome.Delivered("ok"));
        ASSERT_EQ(elsewhere.Requests().size(), 1u);
        EXPECT_EQ(elsewhere.Requests()[0].body, "record");
    }
    SetHttpDnsResolvers("", 53);
}

TEST_F(HttpCommandTest, AnAnswerThatNeverEndsIsCutAtTheDeadline) {
    // A byte every 100 ms of an answer that would take hours: never inactive for long.
    const std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(100000, 'x');
    ScriptedTcpServer dribble({answer, 1, std::chrono::milliseconds(100)});
    ASSERT_TRUE(dribble.Start());
    const DWORD saved = CHttpCommand::DefaultDeadline();
    EXPECT_EQ(saved, CHttpCommand::kDefaultDeadlineMs);
    CHttpCommand::SetDefaultDeadline(500);
    CHttpCommand command;  // takes the default when made
    CHttpCommand::SetDefaultDeadline(saved);
    command.SetRetryDelay(0);
    // The ladder goes on past a deadline: the URL, then its pinned address, each cut.
    ASSERT_TRUE(m_outcome.Get(command, Utf8ToWide(dribble.Url("/d")), HttpErrorReporting::Off, L"127.0.0.1"));
    ASSERT_TRUE(Finish());
    EXPECT_EQ(m_outcome.type, 5);
    EXPECT_EQ(m_outcome.code, 28);  // CURLE_OPERATION_TIMEDOUT
    EXPECT_EQ(dribble.Connections(), 2);
}

TEST_F(HttpCommandTest, AnswersLargerThanTheCapFail) {
    constexpr auto kCap = static_cast<std::size_t>(CHttpCommand::kMaxResponseBytes);
    m_server.Serve("/cap", std::string(kCap, 'c'));
    m_server.Serve("/over", std::string(kCap + 1, 'o'));
    std::ostringstream size;
    size << std::hex << kCap + 1;
    ScriptedTcpServer chunked({"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + size.str() + "\r\n" +
                               std::string(kCap + 1, 'u') + "\r\n0\r\n\r\n"});
    ASSERT_TRUE(chunked.Start());
    const struct {
        const char* why;
        std::wstring url;
        bool succeeds;
    } cases[] = {
        {"exactly the cap", Url("/cap"), true},
        {"one byte over, length announced", Url("/over"), false},
        {"one byte over, length not announced", Utf8ToWide(chunked.Url("/")), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        ASSERT_TRUE(m_outcome.Get(m_command, c.url));
        ASSERT_TRUE(Finish());
        if (c.succeeds) {
            EXPECT_EQ(m_outcome.type, 0);
            EXPECT_EQ(m_outcome.text.size(), kCap);
        } else {
            EXPECT_EQ(m_outcome.type, 5);
            EXPECT_EQ(m_outcome.code, 63);  // CURLE_FILESIZE_EXCEEDED
            EXPECT_TRUE(m_outcome.text.empty()) << m_outcome.text.size() << " bytes handed on";
        }
    }
}
