// Against a real server: nginx on 127.0.0.1, started and ended by the test.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>

#include "commonlib/http/HttpCommand.h"
#include "commonlib/util/StringUtils.h"
#include "support/HttpTestFixture.h"
#include "support/LoopbackHttpServer.h"
#include "support/ScriptedTcpServer.h"
#include "support/TempDir.h"

extern char** environ;

namespace {

// A private nginx on 127.0.0.1 serving `www` over HTTP and HTTPS, logging each request's
// connection serial number and its count on that connection.
class LoopbackNginx {
public:
    bool Start(const testsupport::TempDir& dir, const testsupport::TestCertificate& certificate) {
        m_root = dir.Path().string();
        m_httpPort = testsupport::UnusedLoopbackPort();
        m_httpsPort = testsupport::UnusedLoopbackPort();
        std::ofstream conf(m_root + "/nginx.conf");
        conf << "daemon off;\nmaster_process off;\nworker_processes 1;\npid " << m_root << "/nginx.pid;\n"
             << "error_log " << m_root << "/error.log warn;\nevents { worker_connections 64; }\nhttp {\n"
             << "  log_format xj '$request_uri $status $connection $connection_requests \"$http_range\"';\n"
             << "  access_log " << m_root << "/access.log xj;\n"
             << "  client_body_temp_path " << m_root << "/body;\n  proxy_temp_path " << m_root << "/proxy;\n"
             << "  fastcgi_temp_path " << m_root << "/fcgi;\n  uwsgi_temp_path " << m_root << "/uwsgi;\n"
             << "  scgi_temp_path " << m_root << "/scgi;\n  keepalive_timeout 65;\n"
             << "  ssl_certificate " << certificate.certFile << ";\n  ssl_certificate_key " << certificate.keyFile
             << ";\n  server {\n    listen 127.0.0.1:" << m_httpPort << ";\n    listen 127.0.0.1:" << m_httpsPort
             << " ssl;\n    root " << m_root << "/www;\n  }\n}\n";
        conf.close();
        const std::string confPath = m_root + "/nginx.conf";
        const std::string errorLog = m_root + "/error.log";
        const char* argv[] = {"nginx", "-p", m_root.c_str(), "-e", errorLog.c_str(), "-c", confPath.c_str(), nullptr};
        if (posix_spawnp(&m_pid, "nginx", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return false;
        // Ready when the HTTP port answers.
        for (int i = 0; i < 200; ++i) {
            httplib::Client client("127.0.0.1", m_httpPort);
            if (client.Get("/")) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    ~LoopbackNginx() {
        if (m_pid <= 0) return;
        ::kill(m_pid, SIGTERM);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
    }
    std::string Url(const std::string& path, bool tls = false) const {
        return std::string(tls ? "https" : "http") + "://127.0.0.1:" + std::to_string(tls ? m_httpsPort : m_httpPort) +
               path;
    }
    std::vector<std::string> AccessLog() const {
        std::ifstream log(m_root + "/access.log");
        std::vector<std::string> lines;
        for (std::string line; std::getline(log, line);)
            lines.push_back(line);
        return lines;
    }

private:
    std::string m_root;
    int m_httpPort = 0;
    int m_httpsPort = 0;
    pid_t m_pid = -1;
};

class RangeRequest : public CHttpBase {
public:
    bool Start(const std::string& url) { return StartAttempt(BuildSpec(url, HttpMethod::Get, {}, {}), 0); }
    int calls = 0;
    HttpResult result;
    HttpResponse response;

protected:
    void OnAttemptDone(const CRefPtr<CCurlHttp>& transfer, HttpResult pair) override {
        ++calls;
        result = pair;
        response = transfer->Response();
    }
};

class HttpNginxTest : public HttpUiThreadTest {};

}  // namespace

TEST_F(HttpNginxTest, RangesKeepAliveAndHttpsAgainstNginx) {
    testsupport::TempDir dir;
    testsupport::TestCertificate certificate;
    ASSERT_TRUE(testsupport::MakeTestCertificate(dir.Path().string(), "IP:127.0.0.1", &certificate));
    std::string payload;
    for (int i = 0; i < 100000; ++i)
        payload += static_cast<char>('a' + i % 26);
    dir.WriteFile("www/pkg.bin", payload);
    LoopbackNginx nginx;
    ASSERT_TRUE(nginx.Start(dir, certificate));
    {
        // Ranges: the slice, 206 and its Content-Range; one past the end is a 416 pair.
        const struct {
            HttpByteRange range;
            HttpResult expected;
        } cases[] = {
            {{1000, 500}, HttpResult::Ok()},
            {{99990, -1}, HttpResult::Ok()},
            {{200000, 10}, HttpResult::Make(HttpResultType::HttpStatus, 416)},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.range.offset);
            RangeRequest request;
            request.SetRange(c.range);
            ASSERT_TRUE(request.Start(nginx.Url("/pkg.bin")));
            ASSERT_TRUE(PumpUntil([&] { return request.calls > 0; }));
            EXPECT_EQ(request.result, c.expected);
            if (!c.expected.Succeeded()) continue;
            const std::size_t length = c.range.length < 0 ? payload.size() - c.range.offset : c.range.length;
            EXPECT_EQ(request.response.body, payload.substr(c.range.offset, length));
            EXPECT_EQ(request.response.Header("Content-Range"), "bytes " + std::to_string(c.range.offset) + "-" +
                                                                    std::to_string(c.range.offset + length - 1) + "/" +
                                                                    std::to_string(payload.size()));
        }
    }
    {
        // Keep-alive: requests one after another share one connection.
        for (int i = 0; i < 3; ++i) {
            CHttpCommand command;
            CommandOutcome outcome;
            ASSERT_TRUE(command.Get(Utf8ToWide(nginx.Url("/pkg.bin?k=" + std::to_string(i))), &CommandOutcome::Record,
                                    &outcome, HttpErrorReporting::Off, L"", L""));
            ASSERT_TRUE(PumpUntil([&] { return outcome.calls > 0; }));
            EXPECT_EQ(outcome.text, payload);
        }
        std::vector<std::string> connections;
        for (const auto& line : nginx.AccessLog()) {
            if (line.find("?k=") == std::string::npos) continue;
            std::istringstream fields(line);
            std::string uri, status, connection;
            fields >> uri >> status >> connection;
            connections.push_back(connection);
        }
        ASSERT_EQ(connections.size(), 3u);
        EXPECT_EQ(connections[0], connections[1]);
        EXPECT_EQ(connections[1], connections[2]);
    }
    {
        // HTTPS with the host check on.
        CHttpCommand command;
        command.m_checkHost = 1;
        CommandOutcome outcome;
        ASSERT_TRUE(command.Get(Utf8ToWide(nginx.Url("/pkg.bin", true)), &CommandOutcome::Record, &outcome,
                                HttpErrorReporting::Off, L"", L""));
        ASSERT_TRUE(PumpUntil([&] { return outcome.calls > 0; }));
        EXPECT_TRUE(outcome.Is(0, 0));
        EXPECT_EQ(outcome.text, payload);
    }
}
