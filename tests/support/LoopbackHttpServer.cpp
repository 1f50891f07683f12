#include "support/LoopbackHttpServer.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>

namespace testsupport {
namespace {

bool WritePem(const std::string& path, const std::function<int(FILE*)>& write) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool ok = write(file) == 1;
    return std::fclose(file) == 0 && ok;
}

template <typename T, void (*Free)(T*)>
using Owned = std::unique_ptr<T, decltype([](T* p) { Free(p); })>;

bool ReadPem(const std::string& path, const std::function<bool(FILE*)>& read) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    const bool ok = read(file);
    std::fclose(file);
    return ok;
}

// A certificate for `key` named `commonName` with the extensions (name, OpenSSL text),
// signed by the issuer's key under its name, or by `key` itself when there is no issuer.
bool WriteCertificate(EVP_PKEY* key, const char* commonName, const std::vector<std::pair<int, std::string>>& extensions,
                      const TestCertificate* issuer, const std::string& certFile, const std::string& keyFile) {
    Owned<X509, X509_free> issuerCert;
    Owned<EVP_PKEY, EVP_PKEY_free> issuerKey;
    if (issuer) {
        X509* cert = nullptr;
        EVP_PKEY* signer = nullptr;
        if (!ReadPem(issuer->certFile, [&](FILE* f) { return (cert = PEM_read_X509(f, nullptr, nullptr, nullptr)); }) ||
            !ReadPem(issuer->keyFile,
                     [&](FILE* f) { return (signer = PEM_read_PrivateKey(f, nullptr, nullptr, nullptr)); })) {
            X509_free(cert);
            return false;
        }
        issuerCert.reset(cert);
        issuerKey.reset(signer);
    }
    Owned<X509, X509_free> cert(X509_new());
    if (!key || !cert) return false;
    // Serial numbers differ, so a client never mistakes one test certificate for another.
    static std::atomic<long> serial{1};
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial++);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -60);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 24 * 3600);
    X509_set_pubkey(cert.get(), key);
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
    X509_set_issuer_name(cert.get(), issuerCert ? X509_get_subject_name(issuerCert.get()) : name);
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuerCert ? issuerCert.get() : cert.get(), cert.get(), nullptr, nullptr, 0);
    for (const auto& [nid, value] : extensions) {
        X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
        const bool added = extension && X509_add_ext(cert.get(), extension, -1) == 1;
        X509_EXTENSION_free(extension);
        if (!added) return false;
    }
    if (X509_sign(cert.get(), issuerKey ? issuerKey.get() : key, EVP_sha256()) <= 0) return false;
    return WritePem(certFile, [&cert](FILE* f) { return PEM_write_X509(f, cert.get()); }) &&
           WritePem(keyFile,
                    [key](FILE* f) { return PEM_write_PrivateKey(f, key, nullptr, nullptr, 0, nullptr, nullptr); });
}

}  // namespace

bool MakeTestCertificateAuthority(const std::string& directory, TestCertificate* out) {
    Owned<EVP_PKEY, EVP_PKEY_free> key(EVP_EC_gen("P-256"));
    out->certFile = directory + "/ca.pem";
    out->keyFile = directory + "/ca-key.pem";
    // Each CA a name of its own: a client looks a certificate's issuer up by name.
    static std::atomic<int> number{1};
    const std::string name = "xj test CA " + std::to_string(number++);
    return WriteCertificate(key.get(), name.c_str(),
                            {{NID_basic_constraints, "critical,CA:TRUE"}, {NID_key_usage, "critical,keyCertSign"}},
                            nullptr, out->certFile, out->keyFile);
}

bool MakeTestCertificate(const std::string& directory, const std::string& altNames, TestCertificate* out,
                         const TestCertificate* issuer) {
    Owned<EVP_PKEY, EVP_PKEY_free> key(EVP_EC_gen("P-256"));
    out->certFile = directory + "/cert.pem";
    out->keyFile = directory + "/key.pem";
    return WriteCertificate(key.get(), "xj test", {{NID_subject_alt_name, altNames}}, issuer, out->certFile,
                            out->keyFile);
}

std::string RecordedRequest::Header(const std::string& name) const {
    const auto found = headers.find(name);
    return found == headers.end() ? std::string() : found->second;
}

LoopbackHttpServer::LoopbackHttpServer() : m_server(std::make_unique<httplib::Server>()) {}

LoopbackHttpServer::LoopbackHttpServer(const TestCertificate& certificate)
    : m_server(std::make_unique<httplib::SSLServer>(certificate.certFile.c_str(), certificate.keyFile.c_str())),
      m_tls(true) {}

LoopbackHttpServer::~LoopbackHttpServer() {
    if (!m_thread.joinable()) return;
    m_server->stop();
    m_thread.join();
}

void LoopbackHttpServer::Route(const std::string& path, Handler handler) {
    std::lock_guard lock(m_mutex);
    m_routes[path] = std::move(handler);
}

void LoopbackHttpServer::Serve(const std::string& path, std::string body) {
    Route(path, [body = std::move(body)](const RecordedRequest&, httplib::Response& response) {
        response.set_content(body, "text/plain");
    });
}

bool LoopbackHttpServer::Start() {
    m_server->Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
        Dispatch({request.method, request.path, request.body, request.headers, {}}, response);
    });
    m_server->Post(".*", [this](const httplib::Request& request, httplib::Response& response,
                                const httplib::ContentReader& reader) {
        RecordedRequest recorded{request.method, request.path, {}, request.headers, {}};
        if (request.is_multipart_form_data()) {
            reader(
                [&recorded](const httplib::MultipartFormData& part) {
                    recorded.formFields.emplace_back(part.name, std::string());
                    return true;
                },
                [&recorded](const char* data, size_t length) {
                    recorded.formFields.back().second.append(data, length);
                    return true;
                });
        } else {
            reader([&recorded](const char* data, size_t length) {
                recorded.body.append(data, length);
                return true;
            });
        }
        Dispatch(std::move(recorded), response);
    });
    if (!m_server->is_valid()) return false;
    // A stopping server waits for idle keep-alive connections; clients here keep theirs open.
    m_server->set_keep_alive_timeout(1);
    m_port = m_server->bind_to_any_port("127.0.0.1");
    if (m_port <= 0) return false;
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    for (int i = 0; i < 500 && !m_server->is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return m_server->is_running();
}

std::string LoopbackHttpServer::Url(const std::string& path, const std::string& host) const {
    return std::string(m_tls ? "https://" : "http://") + host + ":" + std::to_string(m_port) + path;
}

void LoopbackHttpServer::Dispatch(RecordedRequest request, httplib::Response& response) {
    Handler handler;
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(request);
        const auto found = m_routes.find(request.path);
        if (found != m_routes.end()) handler = found->second;
    }
    if (handler) {
        handler(request, response);
    } else {
        response.status = 404;
        response.set_content("not found", "text/plain");
    }
}

std::vector<RecordedRequest> LoopbackHttpServer::Requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

}  // namespace testsupport
