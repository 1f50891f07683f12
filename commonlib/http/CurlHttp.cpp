#include "commonlib/http/CurlHttp.h"

#include <arpa/inet.h>
#include <curl/curl.h>

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "commonlib/http/CurlListener.h"
#include "commonlib/http/HttpTrust.h"
#include "platform/sync/Clock.h"

struct CCurlHttp::Handles {
    curl_slist* headers = nullptr;
    curl_slist* connectTo = nullptr;
    curl_mime* form = nullptr;
};

namespace {

bool EqualsNoCaseAscii(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view TrimAscii(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

bool HasHeader(const std::vector<std::string>& lines, std::string_view name) {
    return std::any_of(lines.begin(), lines.end(), [name](const std::string& line) {
        const auto colon = line.find(':');
        return colon != std::string::npos &&
               EqualsNoCaseAscii(TrimAscii(std::string_view(line).substr(0, colon)), name);
    });
}

std::string RangeText(const HttpByteRange& range) {
    if (range.length < 0) return std::to_string(range.offset) + "-";
    return std::to_string(range.offset) + "-" + std::to_string(range.offset + range.length - 1);
}

}  // namespace

void EnsureCurlGlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string HostOfUrl(const std::string& url) {
    CURLU* parsed = curl_url();
    if (!parsed) return {};
    std::string host;
    char* part = nullptr;
    if (curl_url_set(parsed, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
        curl_url_get(parsed, CURLUPART_HOST, &part, 0) == CURLUE_OK) {
        host = part;
        curl_free(part);
    }
    curl_url_cleanup(parsed);
    return host;
}

bool IsIpLiteral(const std::string& host) {
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') return true;
    in_addr v4{};
    return inet_pton(AF_INET, host.c_str(), &v4) == 1;
}

std::string HttpResponse::Header(const std::string& name) const {
    for (const auto& line : headers) {
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        if (EqualsNoCaseAscii(TrimAscii(std::string_view(line).substr(0, colon)), name))
            return std::string(TrimAscii(std::string_view(line).substr(colon + 1)));
    }
    return {};
}

std::string FormatHttpResult(const HttpResult& result) {
    char text[48];
    std::snprintf(text, sizeof text, "et:%d ec:%d", result.type, result.code);
    return text;
}

void CCurlBase::MarkActive() {
    const std::uint64_t now = m_clock ? platform::TickCount64Of(*m_clock) : GetTickCount64();
    m_lastActivity.store(static_cast<std::uint32_t>(now), std::memory_order_relaxed);
}

void CCurlBase::Abort(HttpResult result) {
    if (IsAborted()) return;
    m_abortResult = result;
    m_aborted.store(true, std::memory_order_release);
}

CCurlHttp::CCurlHttp(HttpRequestSettings settings) : m_settings(std::move(settings)) {}

CCurlHttp::~CCurlHttp() {
    ReleaseHandle();
}

bool CCurlHttp::Prepare(HttpResult* failure) {
    EnsureCurlGlobalInit();
    ReleaseHandle();
    m_response = {};
    m_failure.reset();
    m_headersDelivered = false;
    m_requestSent.store(false, std::memory_order_relaxed);
    m_easy = curl_easy_init();
    if (!m_easy) {
        *failure = HttpResult::Make(HttpResultType::Curl, CURLE_FAILED_INIT);
        return false;
    }
    m_handles = new Handles;
    CURL* easy = m_easy;
    CURLcode rc = CURLE_OK;
    auto set = [&rc](CURLcode step) {
        if (rc == CURLE_OK) rc = step;
    };
    set(curl_easy_setopt(easy, CURLOPT_URL, m_settings.url.c_str()));
    // Only web transfers, also after a redirect: a crafted URL must not reach file:// or others.
    set(curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https"));
    set(curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https"));
    set(curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L));
    set(curl_easy_setopt(easy, CURLOPT_NOPROXY, "*"));
    set(curl_easy_setopt(easy, CURLOPT_PRIVATE, static_cast<CCurlBase*>(this)));
    set(curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CCurlHttp::WriteCallback));
    set(curl_easy_setopt(easy, CURLOPT_WRITEDATA, this));
    set(curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &CCurlHttp::HeaderCallback));
    set(curl_easy_setopt(easy, CURLOPT_HEADERDATA, this));
    set(curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L));
    set(curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &CCurlHttp::ProgressCallback));
    set(curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this));
    set(curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &CCurlHttp::PrereqCallback));
    set(curl_easy_setopt(easy, CURLOPT_PREREQDATA, this));
    // A body announced larger than allowed fails before its first byte; one that does not
    // announce its length is stopped by the body sink.
    if (m_settings.maxBodyBytes >= 0)
        set(curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(m_settings.maxBodyBytes)));
    set(curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, m_settings.followRedirects ? 1L : 0L));
    set(curl_easy_setopt(easy, CURLOPT_MAXREDIRS, m_settings.maxRedirects));
    // Departs from the original behaviour, which never verifies the chain: the program runs
    // what it downloads, so only a server a trusted CA vouches for is heard. The host name
    // is checked where the owner asks for it.
    set(curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L));
    set(curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, m_settings.checkHost ? 2L : 0L));
    if (const std::shared_ptr<const std::string> trusted = HttpTrustedCaText()) {
        curl_blob blob{const_cast<char*>(trusted->data()), trusted->size(), CURL_BLOB_COPY};
        set(curl_easy_setopt(easy, CURLOPT_CAINFO_BLOB, &blob));
    }
    if (m_settings.deadlineMs > 0) set(curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, m_settings.deadlineMs));
    if (m_settings.maxReceiveSpeed > 0)
        set(curl_easy_setopt(easy, CURLOPT_MAX_RECV_SPEED_LARGE, static_cast<curl_off_t>(m_settings.maxReceiveSpeed)));

    std::vector<std::string> headers = m_settings.headers;
    if (m_settings.method == HttpMethod::Post && !HasHeader(headers, "Expect")) {
        // A server that does not answer "100 Continue" would hold a large POST for a second.
        headers.emplace_back("Expect:");
    }
    for (const auto& line : headers) {
        curl_slist* grown = curl_slist_append(m_handles->headers, line.c_str());
        if (!grown) {
            rc = CURLE_OUT_OF_MEMORY;
            break;
        }
        m_handles->headers = grown;
    }
    if (m_handles->headers) set(curl_easy_setopt(easy, CURLOPT_HTTPHEADER, m_handles->headers));

    if (m_settings.method == HttpMethod::Post) {
        if (!m_settings.formFields.empty()) {
            m_handles->form = curl_mime_init(easy);
            if (!m_handles->form) rc = CURLE_OUT_OF_MEMORY;
            for (const auto& [name, value] : m_settings.formFields) {
                if (rc != CURLE_OK) break;
                curl_mimepart* part = curl_mime_addpart(m_handles->form);
                if (!part) {
                    rc = CURLE_OUT_OF_MEMORY;
                    break;
                }
                set(curl_mime_name(part, name.c_str()));
                set(curl_mime_data(part, value.data(), value.size()));
            }
            set(curl_easy_setopt(easy, CURLOPT_MIMEPOST, m_handles->form));
        } else {
            set(curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(m_settings.body.size())));
            set(curl_easy_setopt(easy, CURLOPT_POSTFIELDS, m_settings.body.data()));
        }
    }
    if (m_settings.range) {
        if (m_settings.range->offset < 0 || m_settings.range->length == 0 || m_settings.range->length < -1) {
            *failure = HttpResult::Program(HttpProgramCode::NothingToFetch);
            ReleaseHandle();
            return false;
        }
        set(curl_easy_setopt(easy, CURLOPT_RANGE, RangeText(*m_settings.range).c_str()));
    }
    if (!m_settings.connectAddress.empty()) {
        in_addr v4{};
        const std::string host = HostOfUrl(m_settings.url);
        if (inet_pton(AF_INET, m_settings.connectAddress.c_str(), &v4) != 1 || host.empty()) {
            *failure = HttpResult::Make(HttpResultType::Curl, CURLE_COULDNT_RESOLVE_HOST);
            ReleaseHandle();
            return false;
        }
        // Any port of this host only: a redirect to another host resolves normally.
        const std::string entry = host + "::" + m_settings.connectAddress + ":";
        m_handles->connectTo = curl_slist_append(nullptr, entry.c_str());
        if (!m_handles->connectTo) rc = CURLE_OUT_OF_MEMORY;
        set(curl_easy_setopt(easy, CURLOPT_CONNECT_TO, m_handles->connectTo));
    }
    if (rc != CURLE_OK) {
        *failure = HttpResult::Make(HttpResultType::Curl, rc);
        ReleaseHandle();
        return false;
    }
    MarkActive();
    return true;
}

void CCurlHttp::ReleaseHandle() {
    if (m_easy) {
        curl_easy_cleanup(m_easy);
        m_easy = nullptr;
    }
    if (m_handles) {
        curl_mime_free(m_handles->form);
        curl_slist_free_all(m_handles->headers);
        curl_slist_free_all(m_handles->connectTo);
        delete m_handles;
        m_handles = nullptr;
    }
}

void CCurlHttp::Fail(HttpResult result) {
    if (!m_failure) m_failure = result;
}

bool CCurlHttp::OnResponseHeaders(const HttpResponse&) {
    return true;
}

bool CCurlHttp::OnBodyData(const char* data, std::size_t size) {
    if (m_settings.maxBodyBytes >= 0 &&
        m_response.body.size() + size > static_cast<std::uint64_t>(m_settings.maxBodyBytes)) {
        // No part of an answer that was cut short is handed on as if it were the answer.
        m_response.body.clear();
        Fail(HttpResult::Make(HttpResultType::Curl, CURLE_FILESIZE_EXCEEDED));
        return false;
    }
    m_response.body.append(data, size);
    return true;
}

bool CCurlHttp::DeliverHeadersOnce() {
    if (m_headersDelivered) return true;
    m_headersDelivered = true;
    if (CurlListener* listener = Listener()) listener->OnCurlResponseCode(this, m_response.statusCode);
    return OnResponseHeaders(m_response);
}

std::size_t CCurlHttp::HeaderCallback(char* data, std::size_t size, std::size_t count, void* userData) {
    auto* self = static_cast<CCurlHttp*>(userData);
    const std::size_t bytes = size * count;
    if (self->ShouldStop()) return 0;
    self->MarkActive();
    std::string_view line(data, bytes);
    if (line.starts_with("HTTP/")) {
        // A new response begins (an interim answer or a redirect came before): keep only the last.
        self->m_response.headers.clear();
        self->m_headerBlockHasLocation = false;
        long code = 0;
        curl_easy_getinfo(self->m_easy, CURLINFO_RESPONSE_CODE, &code);
        self->m_response.statusCode = code;
    }
    const std::string_view trimmed = TrimAscii(line);
    if (!trimmed.empty()) {
        self->m_response.headers.emplace_back(trimmed);
        const auto colon = trimmed.find(':');
        if (colon != std::string_view::npos && EqualsNoCaseAscii(TrimAscii(trimmed.substr(0, colon)), "Location"))
            self->m_headerBlockHasLocation = true;
        return bytes;
    }
    // End of a header block: it is final unless an interim answer or a redirect libcurl will follow.
    const long code = self->m_response.statusCode;
    const bool interim = code >= 100 && code < 200;
    const bool followed =
        self->m_settings.followRedirects && code >= 300 && code < 400 && self->m_headerBlockHasLocation;
    if (interim || followed) return bytes;
    return self->DeliverHeadersOnce() ? bytes : 0;
}

std::size_t CCurlHttp::WriteCallback(char* data, std::size_t size, std::size_t count, void* userData) {
    auto* self = static_cast<CCurlHttp*>(userData);
    const std::size_t bytes = size * count;
    if (self->ShouldStop() || self->m_failure) return 0;
    self->MarkActive();
    if (!self->DeliverHeadersOnce()) return 0;
    self->m_response.bodyBytes += static_cast<std::int64_t>(bytes);
    if (self->m_settings.expectedLength >= 0 && self->m_response.bodyBytes > self->m_settings.expectedLength) {
        self->Fail(HttpResult::Make(HttpResultType::HttpStatus, static_cast<int>(HttpProgramCode::LengthMismatch)));
        return 0;
    }
    return self->OnBodyData(data, bytes) ? bytes : 0;
}

int CCurlHttp::ProgressCallback(void* userData, std::int64_t dlTotal, std::int64_t dlNow, std::int64_t,
                                std::int64_t ulNow) {
    auto* self = static_cast<CCurlHttp*>(userData);
    if (self->ShouldStop()) return 1;
    // Both counters are stored whichever moved: a short-circuit would leave the upload count behind.
    const bool downloaded = self->m_downloadNow.exchange(dlNow, std::memory_order_relaxed) != dlNow;
    const bool uploaded = self->m_uploadNow.exchange(ulNow, std::memory_order_relaxed) != ulNow;
    self->m_downloadTotal.store(dlTotal, std::memory_order_relaxed);
    if (downloaded || uploaded) {
        self->MarkActive();
        if (CurlListener* listener = self->Listener()) listener->OnCurlProgress(self);
    }
    return 0;
}

int CCurlHttp::PrereqCallback(void* userData, char*, char*, int, int) {
    auto* self = static_cast<CCurlHttp*>(userData);
    if (self->ShouldStop()) return CURL_PREREQFUNC_ABORT;
    self->m_requestSent.store(true, std::memory_order_relaxed);
    return CURL_PREREQFUNC_OK;
}

HttpResult CCurlHttp::StatusResult() const {
    const long code = m_response.statusCode;
    if (code >= 300 && code < 400 && !m_settings.followRedirects)
        return HttpResult::Program(HttpProgramCode::RedirectTaken);
    if (code < 100 || code > 399) return HttpResult::Make(HttpResultType::HttpStatus, static_cast<int>(code));
    if (m_settings.range && code != 206) return HttpResult::Program(HttpProgramCode::NoRangeSupport);
    if (m_settings.expectedLength >= 0 && m_response.bodyBytes != m_settings.expectedLength)
        return HttpResult::Make(HttpResultType::HttpStatus, static_cast<int>(HttpProgramCode::LengthMismatch));
    return HttpResult::Ok();
}

HttpResult CCurlHttp::Finish(int code) {
    if (m_easy) {
        char* text = nullptr;
        if (curl_easy_getinfo(m_easy, CURLINFO_EFFECTIVE_URL, &text) == CURLE_OK && text)
            m_response.effectiveUrl = text;
        text = nullptr;
        if (curl_easy_getinfo(m_easy, CURLINFO_PRIMARY_IP, &text) == CURLE_OK && text) m_response.primaryIp = text;
        text = nullptr;
        if (curl_easy_getinfo(m_easy, CURLINFO_REDIRECT_URL, &text) == CURLE_OK && text) m_response.redirectUrl = text;
        long status = 0;
        if (curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status != 0)
            m_response.statusCode = status;
    }
    if (m_failure) return *m_failure;
    if (code != CURLE_OK) return HttpResult::Make(HttpResultType::Curl, code);
    if (!m_headersDelivered && !DeliverHeadersOnce() && m_failure) return *m_failure;
    return StatusResult();
}
