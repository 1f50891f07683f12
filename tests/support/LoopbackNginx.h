// A private nginx on 127.0.0.1 for integration tests: HTTP and HTTPS on ports the test
// picks, serving `<dir>/www`, logging "<uri> <status> <connection> <requests on it>
// "<range>"" per request. Single process, not daemonised; the destructor ends it.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "support/LoopbackHttpServer.h"
#include "support/TempDir.h"

namespace testsupport {

class LoopbackNginx {
public:
    LoopbackNginx() = default;
    ~LoopbackNginx();
    LoopbackNginx(const LoopbackNginx&) = delete;
    LoopbackNginx& operator=(const LoopbackNginx&) = delete;

    // Writes the configuration into `dir` and starts nginx; true once it answers.
    bool Start(const TempDir& dir, const TestCertificate& certificate);
    std::string Url(const std::string& path, bool tls = false) const;
    std::vector<std::string> AccessLog() const;

private:
    std::string m_root;
    int m_httpPort = 0;
    int m_httpsPort = 0;
    pid_t m_pid = -1;
};

}  // namespace testsupport
