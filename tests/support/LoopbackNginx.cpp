#include "support/LoopbackNginx.h"

#include <signal.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "support/ScriptedTcpServer.h"
#include "support/Subprocess.h"

namespace testsupport {

LoopbackNginx::~LoopbackNginx() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGTERM);
    WaitForProgram(m_pid);
}

bool LoopbackNginx::Start(const TempDir& dir, const TestCertificate& certificate) {
    m_root = dir.Path().string();
    m_httpPort = UnusedLoopbackPort();
    m_httpsPort = UnusedLoopbackPort();
    const std::string confPath = m_root + "/nginx.conf";
    const std::string errorLog = m_root + "/error.log";
    {
        std::ofstream conf(confPath);
        conf << "daemon off;\nmaster_process off;\nworker_processes 1;\npid " << m_root << "/nginx.pid;\n"
             << "error_log " << errorLog << " warn;\nevents { worker_connections 64; }\nhttp {\n"
             << "  log_format xj '$request_uri $status $connection $connection_requests \"$http_range\"';\n"
             << "  access_log " << m_root << "/access.log xj;\n"
             << "  client_body_temp_path " << m_root << "/body;\n  proxy_temp_path " << m_root << "/proxy;\n"
             << "  fastcgi_temp_path " << m_root << "/fcgi;\n  uwsgi_temp_path " << m_root << "/uwsgi;\n"
             << "  scgi_temp_path " << m_root << "/scgi;\n  keepalive_timeout 65;\n"
             << "  ssl_certificate " << certificate.certFile << ";\n  ssl_certificate_key " << certificate.keyFile
             << ";\n  server {\n    listen 127.0.0.1:" << m_httpPort << ";\n    listen 127.0.0.1:" << m_httpsPort
             << " ssl;\n    root " << m_root << "/www;\n  }\n}\n";
        if (!conf) return false;
    }
    m_pid = StartProgram({"nginx", "-p", m_root, "-e", errorLog, "-c", confPath});
    if (m_pid == 0) return false;
    for (int i = 0; i < 300; ++i) {
        httplib::Client client("127.0.0.1", m_httpPort);
        if (client.Get("/")) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

std::string LoopbackNginx::Url(const std::string& path, bool tls) const {
    return std::string(tls ? "https" : "http") + "://127.0.0.1:" + std::to_string(tls ? m_httpsPort : m_httpPort) +
           path;
}

std::vector<std::string> LoopbackNginx::AccessLog() const {
    std::ifstream log(m_root + "/access.log");
    std::vector<std::string> lines;
    for (std::string line; std::getline(log, line);)
        lines.push_back(line);
    return lines;
}

}  // namespace testsupport
