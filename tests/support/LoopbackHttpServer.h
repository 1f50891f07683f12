// HTTP and HTTPS test servers on 127.0.0.1, and the certificate they serve.
//
// LoopbackHttpServer runs cpp-httplib on its own thread, on a port the system picks.
// Routes are set before Start; every request is recorded (method, path, headers, body,
// multipart fields in wire order) and can be read from the test thread at any time.
#pragma once

#include <httplib.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace testsupport {

// A certificate and its key, as PEM files.
struct TestCertificate {
    std::string certFile;
    std::string keyFile;
};
// A CA for signing test certificates: "ca.pem" and "ca-key.pem" in `directory`.
bool MakeTestCertificateAuthority(const std::string& directory, TestCertificate* out);
// A server certificate, "cert.pem" and "key.pem" in `directory`, signed by `issuer` (a CA
// made above), or by itself when there is none. `altNames` is an OpenSSL subjectAltName
// text, such as "IP:127.0.0.1" or "DNS:other.test".
bool MakeTestCertificate(const std::string& directory, const std::string& altNames, TestCertificate* out,
                         const TestCertificate* issuer = nullptr);

struct RecordedRequest {
    std::string method;
    std::string path;
    std::string body;  // empty for multipart requests
    httplib::Headers headers;
    std::vector<std::pair<std::string, std::string>> formFields;

    std::string Header(const std::string& name) const;
};

class LoopbackHttpServer {
public:
    using Handler = std::function<void(const RecordedRequest&, httplib::Response&)>;

    LoopbackHttpServer();  // plain HTTP
    LoopbackHttpServer(const TestCertificate& certificate);
    ~LoopbackHttpServer();

    // Routes for GET and POST of an exact path; unknown paths answer 404. Serve answers 200
    // with `body` (206 and the slice for a Range request).
    void Route(const std::string& path, Handler handler);
    void Serve(const std::string& path, std::string body);

    bool Start();
    int Port() const { return m_port; }
    // "http(s)://<host>:<port><path>"; the host defaults to 127.0.0.1.
    std::string Url(const std::string& path, const std::string& host = "127.0.0.1") const;

    std::vector<RecordedRequest> Requests() const;

private:
    void Dispatch(RecordedRequest request, httplib::Response& response);

    std::unique_ptr<httplib::Server> m_server;
    bool m_tls = false;
    int m_port = 0;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::map<std::string, Handler> m_routes;
    std::vector<RecordedRequest> m_requests;
};

}  // namespace testsupport
