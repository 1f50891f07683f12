#include "support/LoopbackUpdateServer.h"

#include <arpa/inet.h>
#include <json/json.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sstream>

#include "platform/fs/DriveMap.h"
#include "platform/strings/StringConv.h"

#include "support/CollectorOracle.h"
#include "support/LoopbackHttpServer.h"

namespace testsupport {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kEventFields = {
    "ftime",     "server",  "logname",   "event_type", "info_version", "uid",     "platform",
    "device_id", "network", "stats_obj", "event_id",   "event_label",  "context", "stats_col",
};
const std::vector<std::string> kInstallCountFields = {
    "ftime", "logic_sevice_id", "logname",     "title", "version", "mac", "package_id", "gate",
    "os",    "count_dimension", "count_value",
};
constexpr char kInstallCountLogname[] = "c_downInstall_rekkan_5.2";
constexpr char kStatisticsPath[] = "/bigdata/report";
constexpr char kDownloadLogPath[] = "/api/xj/data/rece_download_data";
constexpr size_t kPackagePieceBytes = 256 * 1024;
// Every descriptor path serves the same descriptor.
const char* const kDescriptorPaths[] = {"/qvzurazarevuz.txt", "/test/qvinstall_public.txt",
                                        "/test/qvinstall_public_test.txt"};

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

const std::vector<std::string>& LayoutOf(const StatisticsRecord& record) {
    return record.IsInstallCount() ? kInstallCountFields : kEventFields;
}

}  // namespace

bool StatisticsRecord::IsInstallCount() const {
    return fields.size() > 2 && fields[2] == kInstallCountLogname;
}

std::string StatisticsRecord::Field(const std::string& name) const {
    const std::vector<std::string>& layout = LayoutOf(*this);
    for (size_t i = 0; i < layout.size() && i < fields.size(); ++i) {
        if (layout[i] == name) return fields[i];
    }
    return {};
}

LoopbackUpdateServer::LoopbackUpdateServer(Options options)
    : m_options(std::move(options)), m_packageMd5(OpenSslMd5Hex(*m_package)) {}

LoopbackUpdateServer::~LoopbackUpdateServer() {
    if (m_httpsThread.joinable()) {
        m_https->stop();
        m_httpsThread.join();
    }
    if (m_httpThread.joinable()) {
        m_http->stop();
        m_httpThread.join();
    }
    if (m_closedSocket >= 0) ::close(m_closedSocket);
}

bool LoopbackUpdateServer::Start() {
    m_http = std::make_unique<httplib::Server>();
    Install(*m_http, false);
    if (!Listen(*m_http, m_options.httpPort, &m_httpPort, &m_httpThread)) return false;

    if (!m_options.https) {
        // A bound socket that never listens: every connection to its port is refused.
        m_closedSocket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        inet_pton(AF_INET, m_options.address.c_str(), &address.sin_addr);
        socklen_t length = sizeof address;
        if (m_closedSocket < 0 || ::bind(m_closedSocket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::getsockname(m_closedSocket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return false;
        }
        m_httpsPort = ntohs(address.sin_port);
        return true;
    }
    TestCertificate ca{CaFile(), m_options.certDir + "/ca-key.pem"};
    if ((!fs::exists(ca.certFile) || !fs::exists(ca.keyFile)) && !MakeTestCertificateAuthority(m_options.certDir, &ca))
        return false;
    TestCertificate certificate;
    std::string names = "IP:127.0.0.1";
    if (m_options.address != "127.0.0.1") names += ",IP:" + m_options.address;
    if (!MakeTestCertificate(m_options.certDir, names, &certificate, &ca)) return false;
    m_https = std::make_unique<httplib::SSLServer>(certificate.certFile.c_str(), certificate.keyFile.c_str());
    if (!m_https->is_valid()) return false;
    Install(*m_https, true);
    return Listen(*m_https, 0, &m_httpsPort, &m_httpsThread);
}

bool LoopbackUpdateServer::Listen(httplib::Server& server, int port, int* bound, std::thread* thread) {
    // A stopping server waits for idle keep-alive connections; clients here keep theirs open.
    server.set_keep_alive_timeout(1);
    // An answer goes out as headers and body in separate writes: with Nagle's algorithm the
    // body would wait for the client's delayed acknowledgement, 40 ms on every small answer.
    server.set_tcp_nodelay(true);
    if (port != 0) {
        if (!server.bind_to_port(m_options.address.c_str(), port)) return false;
        *bound = port;
    } else {
        *bound = server.bind_to_any_port(m_options.address.c_str());
        if (*bound <= 0) return false;
    }
    *thread = std::thread([&server] { server.listen_after_bind(); });
    for (int i = 0; i < 1000 && !server.is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return server.is_running();
}

void LoopbackUpdateServer::Install(httplib::Server& server, bool tls) {
    server.Get(".*", [this, tls](const httplib::Request& request, httplib::Response& response) {
        std::lock_guard lock(m_mutex);
        m_requests.push_back({tls, request.method, request.path, request.get_header_value("Range")});
        if (request.path == kPackagePath) {
            // Served from the one copy in piece-sized writes: a range answer costs what it
            // sends, so a download measures the client and not this server.
            std::shared_ptr<const std::string> package = m_package;
            if (package->empty()) {
                response.set_content(std::string(), "application/octet-stream");
                return;
            }
            response.set_content_provider(package->size(), "application/octet-stream",
                                          [package](size_t offset, size_t length, httplib::DataSink& sink) {
                                              return sink.write(package->data() + offset,
                                                                std::min(length, kPackagePieceBytes));
                                          });
            return;
        }
        for (const char* path : kDescriptorPaths) {
            if (request.path != path) continue;
            response.status = m_customDescriptor ? m_descriptorStatus : 200;
            response.set_content(m_customDescriptor ? m_descriptor : DescriptorText(), "text/plain");
            return;
        }
        response.status = 404;
        response.set_content("not found", "text/plain");
    });
    server.Post(".*", [this, tls](const httplib::Request& request, httplib::Response& response,
                                  const httplib::ContentReader& reader) {
        std::string body;
        std::vector<std::pair<std::string, std::string>> fields;
        if (request.is_multipart_form_data()) {
            reader(
                [&fields](const httplib::MultipartFormData& part) {
                    fields.emplace_back(part.name, std::string());
                    return true;
                },
                [&fields](const char* data, size_t length) {
                    fields.back().second.append(data, length);
                    return true;
                });
        } else {
            reader([&body](const char* data, size_t length) {
                body.append(data, length);
                return true;
            });
        }
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back({tls, request.method, request.path, ""});
        }
        if (request.path == kStatisticsPath) {
            OnStatistics(body);
        } else if (request.path == kDownloadLogPath) {
            OnDownloadLog(fields);
        } else {
            response.status = 404;
            response.set_content("not found", "text/plain");
            return;
        }
        response.set_content("ok", "text/plain");
    });
}

void LoopbackUpdateServer::OnStatistics(const std::string& body) {
    Json::Value array;
    Json::Reader reader;
    std::vector<StatisticsRecord> received;
    if (!reader.parse(body, array, false) || !array.isArray()) {
        StatisticsRecord broken;
        broken.body = body;
        received.push_back(broken);
    } else {
        for (const Json::Value& entry : array) {
            StatisticsRecord record;
            if (entry.isObject() && entry["body"].isString()) record.body = entry["body"].asString();
            std::string plain;
            record.decrypted = DecryptStatisticsBody(record.body, &plain);
            if (record.decrypted) record.fields = SplitTabs(plain);
            received.push_back(std::move(record));
        }
    }
    for (const StatisticsRecord& record : received) {
        {
            std::lock_guard lock(m_mutex);
            m_statistics.push_back(record);
        }
        Report(Describe(record));
    }
}

void LoopbackUpdateServer::OnDownloadLog(const std::vector<std::pair<std::string, std::string>>& fields) {
    DownloadLogRecord record;
    for (const auto& [name, value] : fields) {
        if (name == "data") record.data = value;
        if (name == "sign") record.sign = value;
    }
    record.signValid = !record.sign.empty() && record.sign == DownloadLogSign(record.data);
    {
        std::lock_guard lock(m_mutex);
        m_downloadLog.push_back(record);
    }
    Report(Describe(record));
}

void LoopbackUpdateServer::Report(const std::string& text) {
    std::function<void(const std::string&)> sink;
    {
        std::lock_guard lock(m_mutex);
        sink = m_sink;
    }
    if (sink) sink(text);
}

std::string LoopbackUpdateServer::Describe(const StatisticsRecord& record) {
    std::ostringstream out;
    if (!record.decrypted) {
        out << "statistics record that does not decrypt: " << record.body << "\n";
        return out.str();
    }
    out << "statistics record (" << (record.IsInstallCount() ? "install count" : "event") << ")\n";
    const std::vector<std::string>& layout = LayoutOf(record);
    for (size_t i = 0; i < record.fields.size(); ++i) {
        const std::string name = i < layout.size() ? layout[i] : "field " + std::to_string(i);
        out << "  " << name << std::string(name.size() < 16 ? 16 - name.size() : 1, ' ') << record.fields[i] << "\n";
    }
    if (record.fields.size() != layout.size())
        out << "  (" << record.fields.size() << " fields, the layout has " << layout.size() << ")\n";
    return out.str();
}

std::string LoopbackUpdateServer::Describe(const DownloadLogRecord& record) {
    std::ostringstream out;
    out << "download log (" << (record.signValid ? "sign correct" : "SIGN WRONG: " + record.sign) << ")\n";
    Json::Value data;
    Json::Reader reader;
    out << (reader.parse(record.data, data, false) ? data.toStyledString() : record.data + "\n");
    return out.str();
}

std::string LoopbackUpdateServer::HttpOrigin() const {
    return "http://" + m_options.address + ":" + std::to_string(m_httpPort);
}

std::string LoopbackUpdateServer::HttpsOrigin() const {
    return "https://" + m_options.address + ":" + std::to_string(m_httpsPort);
}

void LoopbackUpdateServer::SetPackage(std::string bytes, std::string version) {
    auto package = std::make_shared<const std::string>(std::move(bytes));
    std::string md5 = OpenSslMd5Hex(*package);
    std::lock_guard lock(m_mutex);
    m_package = std::move(package);
    m_packageMd5 = std::move(md5);
    m_version = std::move(version);
}

std::string LoopbackUpdateServer::DefaultDescriptor() const {
    std::lock_guard lock(m_mutex);
    return DescriptorText();
}

std::string LoopbackUpdateServer::DescriptorText() const {
    return "[Install]\r\nUrl=" + HttpOrigin() + kPackagePath + "\r\nSSLUrl=" + HttpsOrigin() + kPackagePath +
           "\r\nSize=" + std::to_string(m_package->size()) + "\r\nMd5=" + m_packageMd5 + "\r\nVersion=" + m_version +
           "\r\nThirdCDNHost=\r\nThirdCDNMinSpeed=0\r\n";
}

void LoopbackUpdateServer::SetDescriptor(std::string body, int status) {
    std::lock_guard lock(m_mutex);
    m_customDescriptor = true;
    m_descriptor = std::move(body);
    m_descriptorStatus = status;
}

std::string LoopbackUpdateServer::CaFile() const {
    return m_options.certDir + "/ca.pem";
}

std::string LoopbackUpdateServer::ServersSection(bool trustCa) const {
    const std::string& address = m_options.address;
    std::string text = "[Servers]\nUpdateServer=" + HttpsOrigin() + "\nUpdateServerHttp=" + HttpOrigin() +
                       "\nStatisticsUrl=" + HttpsOrigin() + kStatisticsPath + "\nDownloadLogUrl=" + HttpOrigin() +
                       kDownloadLogPath + "\nResolvers=" + address +
                       "\nTestHost=nettest.localhost\nCommandAddresses=" + address + "\n";
    for (const char* marker : {"1.1.1.1", "2.2.2.2", "3.3.3.3", "4.4.4.4", "9.9.9.9"})
        text += std::string("Spare_") + marker + "=" + address + "\n";
    text += "AgreementUrl=" + HttpsOrigin() + "/agreement.html\n";
    // The installer takes paths in its own form: Z: is the root of this system.
    if (trustCa && fs::exists(CaFile()))
        text += "CaFile=" + platform::Utf8FromWide(platform::WinPath(fs::absolute(CaFile()).string())) + "\n";
    return text;
}

std::vector<UpdateServerRequest> LoopbackUpdateServer::Requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::vector<UpdateServerRequest> LoopbackUpdateServer::RequestsFor(const std::string& path) const {
    std::vector<UpdateServerRequest> matching;
    for (UpdateServerRequest& request : Requests()) {
        if (request.path == path) matching.push_back(std::move(request));
    }
    return matching;
}

std::vector<StatisticsRecord> LoopbackUpdateServer::StatisticsRecords() const {
    std::lock_guard lock(m_mutex);
    return m_statistics;
}

std::vector<DownloadLogRecord> LoopbackUpdateServer::DownloadLogRecords() const {
    std::lock_guard lock(m_mutex);
    return m_downloadLog;
}

void LoopbackUpdateServer::SetReportSink(std::function<void(const std::string&)> sink) {
    std::lock_guard lock(m_mutex);
    m_sink = std::move(sink);
}

}  // namespace testsupport
