// Against a real server: nginx on 127.0.0.1, started and ended by the test.
#include <gtest/gtest.h>

#include <sstream>

#include "commonlib/http/HttpCommand.h"
#include "commonlib/util/StringUtils.h"
#include "support/HttpTestFixture.h"
#include "support/LoopbackNginx.h"

using HttpNginxTest = HttpUiThreadTest;

TEST_F(HttpNginxTest, RangesKeepAliveAndHttpsAgainstNginx) {
    testsupport::TempDir dir;
    testsupport::TestCertificate certificate;
    ASSERT_TRUE(testsupport::MakeTestCertificate(dir.Path().string(), "IP:127.0.0.1", &certificate));
    // A certificate that signed itself is trusted only when named.
    ASSERT_TRUE(TrustCaFile(certificate.certFile));
    std::string payload;
    for (int i = 0; i < 100000; ++i)
        payload += static_cast<char>('a' + i % 26);
    dir.WriteFile("www/pkg.bin", payload);
    testsupport::LoopbackNginx nginx;
    ASSERT_TRUE(nginx.Start(dir, certificate));
    {
        // A range: the slice, 206 and its Content-Range.
        ProbeRequest request;
        request.SetRange(HttpByteRange{1000, 500});
        ASSERT_TRUE(request.Start(nginx.Url("/pkg.bin")));
        ASSERT_TRUE(PumpUntil([&] { return request.doneCalls > 0; }));
        EXPECT_EQ(request.result, HttpResult::Ok());
        EXPECT_EQ(request.response.body, payload.substr(1000, 500));
        EXPECT_EQ(request.response.Header("Content-Range"), "bytes 1000-1499/100000");
    }
    {
        // Keep-alive: requests one after another share one connection.
        for (int i = 0; i < 3; ++i) {
            CHttpCommand command;
            CommandOutcome outcome;
            ASSERT_TRUE(outcome.Get(command, Utf8ToWide(nginx.Url("/pkg.bin?k=" + std::to_string(i)))));
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
        ASSERT_TRUE(outcome.Get(command, Utf8ToWide(nginx.Url("/pkg.bin", true))));
        ASSERT_TRUE(PumpUntil([&] { return outcome.calls > 0; }));
        EXPECT_TRUE(outcome.Delivered(payload));
    }
}
