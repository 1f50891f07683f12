// The installer's servers on loopback, for the tests and the demo: an update server that
// serves the update descriptor and the installer package over HTTP and HTTPS (byte
// ranges; a certificate for 127.0.0.1 signed by a CA of its own, which the installer
// trusts through the [Servers] key CaFile), and the two collectors, which keep what they
// receive in readable form: the statistics records decrypted into their fields, the
// download-log uploads with their sign checked.
//
// The collectors decrypt and check with OpenSSL and their own copy of the shared keys, so
// they judge the installer's encryption independently of its code.
//
// Any thread may script the server and read what it recorded; requests are served on the
// server's own threads. The destructor stops both listeners.
#pragma once

#include <httplib.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

struct UpdateServerRequest {
    bool tls = false;
    std::string method;
    std::string path;
    std::string range;  // the Range header, "" when none
};

// One record of a statistics upload.
struct StatisticsRecord {
    std::string body;                 // as posted: upper-case hex of the ciphertext
    bool decrypted = false;           // the hex, the length and the padding were sound
    std::vector<std::string> fields;  // the TAB-separated fields of the plain line

    bool IsInstallCount() const;
    // The value of a named field in the record's layout (install count or event); "" when
    // the record has no such field.
    std::string Field(const std::string& name) const;
};

struct DownloadLogRecord {
    std::string data;  // the "data" field: JSON text
    std::string sign;  // the "sign" field
    bool signValid = false;
};

class LoopbackUpdateServer {
public:
    static constexpr const char* kPackagePath = "/qvinstaller.exe";

    struct Options {
        std::string address = "127.0.0.1";
        int httpPort = 0;  // 0: a free port
        // False: the HTTPS port is held closed, so connections to it are refused.
        bool https = true;
        // Where the certificate and its CA are written ("cert.pem", "ca.pem"); a CA the
        // test made there already ("ca.pem" and "ca-key.pem") signs it instead of a new one.
        std::string certDir;
    };

    explicit LoopbackUpdateServer(Options options);
    ~LoopbackUpdateServer();
    LoopbackUpdateServer(const LoopbackUpdateServer&) = delete;
    LoopbackUpdateServer& operator=(const LoopbackUpdateServer&) = delete;

    bool Start();
    std::string HttpOrigin() const;
    std::string HttpsOrigin() const;

    // The package and its version; the default descriptor names them.
    void SetPackage(std::string bytes, std::string version);
    // The default descriptor: Url over HTTP, SSLUrl over HTTPS, Size, Md5, Version.
    std::string DefaultDescriptor() const;
    // Serves `body` with `status` at every descriptor path instead of the default descriptor.
    void SetDescriptor(std::string body, int status = 200);
    // A [Servers] section that points every maker value at this server and, unless
    // `trustCa` is false, names the CA of its certificate as CaFile.
    std::string ServersSection(bool trustCa = true) const;
    // The CA's certificate (host path).
    std::string CaFile() const;

    std::vector<UpdateServerRequest> Requests() const;
    std::vector<UpdateServerRequest> RequestsFor(const std::string& path) const;
    std::vector<StatisticsRecord> StatisticsRecords() const;
    std::vector<DownloadLogRecord> DownloadLogRecords() const;

    // Receives a readable text of every collector record as it arrives (server thread).
    void SetReportSink(std::function<void(const std::string&)> sink);
    static std::string Describe(const StatisticsRecord& record);
    static std::string Describe(const DownloadLogRecord& record);

private:
    void Install(httplib::Server& server, bool tls);
    bool Listen(httplib::Server& server, int port, int* bound, std::thread* thread);
    void OnStatistics(const std::string& body);
    void OnDownloadLog(const std::vector<std::pair<std::string, std::string>>& fields);
    void Report(const std::string& text);
    std::string DescriptorText() const;  // under m_mutex

    Options m_options;
    std::unique_ptr<httplib::Server> m_http;
    std::unique_ptr<httplib::Server> m_https;
    std::thread m_httpThread;
    std::thread m_httpsThread;
    int m_httpPort = 0;
    int m_httpsPort = 0;
    int m_closedSocket = -1;

    mutable std::mutex m_mutex;
    std::shared_ptr<const std::string> m_package = std::make_shared<const std::string>();
    std::string m_packageMd5;
    std::string m_version = "2.1.790";
    bool m_customDescriptor = false;
    std::string m_descriptor;
    int m_descriptorStatus = 200;
    std::vector<UpdateServerRequest> m_requests;
    std::vector<StatisticsRecord> m_statistics;
    std::vector<DownloadLogRecord> m_downloadLog;
    std::function<void(const std::string&)> m_sink;
};

}  // namespace testsupport
