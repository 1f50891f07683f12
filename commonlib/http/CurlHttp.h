// One HTTP(S) transfer on libcurl: the object that crosses from the thread that owns a
// request to the curl worker and back.
//
// Threads. The owner (the UI thread for the engines' schedulers) fills in the request
// (MutableRequest) and hands the object to a CCurlWorkshop; from then on the request is
// read-only and the worker alone touches the easy handle and the response fields. The
// worker reports through CurlListener. The response (Response) may be read by the owner
// once the listener's OnCurlDone has been handed over to it; the counters (progress,
// activity, whether the request went out) may be read at any time. Cancel and Abort
// may be called from any thread.
//
// Lifetime. Reference-counted: the owner, the worker and every queued UI task hold a
// CRefPtr, so whichever side lets go last frees it. Nothing here points back at the
// owner; the scheduler keeps that link on its own thread.
//
// Results. Finish turns the transfer's outcome into the program's (type, code) pair:
// a curl failure is (5, CURLcode); a final status outside 100-399 is (4, status); a
// redirect that is not followed is (3, 3003); a range answered without 206 is (3, 2009);
// a body whose length differs from the expected one is (4, 2008); a body larger than
// the request allows is (5, CURLE_FILESIZE_EXCEEDED).
//
// The download engine's seam. A subclass may take over the body: OnResponseHeaders sees
// the final status and headers (Content-Length, Content-Range) before the first body
// byte, OnBodyData receives the body bytes, both on the worker thread, and either may
// stop the transfer with Fail, whose pair then becomes the result. The defaults accept
// every status and keep the body in memory. A subclass that passes the body on to another
// thread may override Finish to wait for it there, so that the owner hears of the end only
// once the body has gone where it goes; the worker's other transfers wait meanwhile.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "commonlib/core/RefCounted.h"
#include "commonlib/http/HttpResult.h"
#include "platform/sync/TimerClock.h"

class CurlListener;
using CURL = void;

enum class HttpMethod { Get, Post };

struct HttpByteRange {
    std::int64_t offset = 0;
    std::int64_t length = -1;  // -1: to the end of the resource
};

struct HttpRequestSettings {
    std::string url;
    HttpMethod method = HttpMethod::Get;
    std::string body;                                             // POST body, sent as is
    std::vector<std::string> headers;                             // complete lines, "Name:value"
    std::vector<std::pair<std::string, std::string>> formFields;  // non-empty: multipart POST, in this order
    std::optional<HttpByteRange> range;
    std::string connectAddress;  // IPv4 text: connect there instead of resolving the URL's host
    bool checkHost = false;      // HTTPS: verify the certificate's host name too (the chain always, HttpTrust.h)
    bool followRedirects = true;
    long maxRedirects = 10;
    std::int64_t expectedLength = -1;  // body length that must arrive; -1: any
    std::int64_t maxReceiveSpeed = 0;  // bytes per second; 0: unlimited
    std::int64_t maxBodyBytes = -1;    // the in-memory body's limit; -1: none
    long deadlineMs = 0;               // the whole attempt, connecting included, ends with (5, 28) past it; 0: none
};

struct HttpResponse {
    long statusCode = 0;
    std::vector<std::string> headers;  // lines of the final response, without line ends
    std::string body;                  // the default body sink only
    std::string effectiveUrl;
    std::string primaryIp;       // address of the last connection, "" when none was made
    std::string redirectUrl;     // Location of an unfollowed redirect
    std::int64_t bodyBytes = 0;  // bytes of the final response's body, whoever took them

    // The value of the first header `name` (case-insensitive), trimmed; empty when absent.
    std::string Header(const std::string& name) const;
};

class CCurlBase : public CRefThreadSafeBase {
public:
    // Any thread: asks the worker to end the transfer at its next callback. A cancelled
    // transfer is never reported.
    void Cancel() { m_cancelled.store(true, std::memory_order_relaxed); }
    bool IsCancelled() const { return m_cancelled.load(std::memory_order_relaxed); }
    // Any thread, before CCurlWorkshop::Abort: the transfer is to end with `result`, which
    // the worker reports once it has let go of the transfer (unless it finished first and
    // reported its own outcome).
    void Abort(HttpResult result);
    bool IsAborted() const { return m_aborted.load(std::memory_order_acquire); }
    HttpResult AbortResult() const { return m_abortResult; }
    // Whether the callbacks should end the transfer now.
    bool ShouldStop() const { return IsCancelled() || IsAborted(); }

    void SetListener(CurlListener* listener) { m_listener = listener; }
    CurlListener* Listener() const { return m_listener; }

    // Counters, readable from any thread.
    std::int64_t DownloadTotal() const { return m_downloadTotal.load(std::memory_order_relaxed); }
    std::int64_t DownloadNow() const { return m_downloadNow.load(std::memory_order_relaxed); }
    std::int64_t UploadNow() const { return m_uploadNow.load(std::memory_order_relaxed); }
    // Tick of the last byte moved or of the hand-over to the worker, on the transfer's clock.
    std::uint32_t LastActivityTick() const { return m_lastActivity.load(std::memory_order_relaxed); }
    void MarkActive();
    // Owner, before the hand-over: the clock of the activity ticks (default: the steady clock).
    void SetClock(std::shared_ptr<platform::ITimerClock> clock) { m_clock = std::move(clock); }
    // True once a connection was made and the request was about to go out on it: from
    // then on the server may have taken it.
    bool RequestSent() const { return m_requestSent.load(std::memory_order_relaxed); }
    // The scheduler's coalescing of progress reports: true for the one caller that may
    // queue a report; ProgressReported opens the way for the next.
    bool TryQueueProgress() { return !m_progressQueued.exchange(true, std::memory_order_acq_rel); }
    void ProgressReported() { m_progressQueued.store(false, std::memory_order_release); }

    // Worker thread: builds the easy handle. On failure the pair says why and no handle is left.
    virtual bool Prepare(HttpResult* failure) = 0;
    // Worker thread: the outcome of a transfer that libcurl ended with `code`.
    virtual HttpResult Finish(int code) = 0;
    // Worker thread: frees the easy handle and what it used; safe to call twice.
    virtual void ReleaseHandle() = 0;
    CURL* Handle() const { return m_easy; }

protected:
    CCurlBase() = default;
    ~CCurlBase() override = default;

    CURL* m_easy = nullptr;
    std::atomic<std::int64_t> m_downloadTotal{0};
    std::atomic<std::int64_t> m_downloadNow{0};
    std::atomic<std::int64_t> m_uploadNow{0};
    std::atomic<bool> m_requestSent{false};

private:
    CurlListener* m_listener = nullptr;
    std::shared_ptr<platform::ITimerClock> m_clock;
    std::atomic<bool> m_cancelled{false};
    std::atomic<bool> m_aborted{false};
    HttpResult m_abortResult;  // written before m_aborted is set, read after
    std::atomic<std::uint32_t> m_lastActivity{0};
    std::atomic<bool> m_progressQueued{false};
};

class CCurlHttp : public CCurlBase {
public:
    explicit CCurlHttp(HttpRequestSettings settings);

    const HttpRequestSettings& Request() const { return m_settings; }
    // Owner, before the hand-over only.
    HttpRequestSettings& MutableRequest() { return m_settings; }
    // Owner, after the completion was handed over; the worker's while it runs.
    const HttpResponse& Response() const { return m_response; }

    bool Prepare(HttpResult* failure) override;
    HttpResult Finish(int code) override;
    void ReleaseHandle() override;

protected:
    ~CCurlHttp() override;

    // Worker thread, once, when the final response's headers are complete (also for an
    // empty body). False stops the transfer; call Fail first to choose the pair.
    virtual bool OnResponseHeaders(const HttpResponse& response);
    // Worker thread: `size` bytes of the final response's body. False stops the transfer.
    virtual bool OnBodyData(const char* data, std::size_t size);
    // Worker thread: the pair that the transfer ends with, whatever libcurl reports after it.
    void Fail(HttpResult result);

private:
    static std::size_t WriteCallback(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t HeaderCallback(char* data, std::size_t size, std::size_t count, void* self);
    static int ProgressCallback(void* self, std::int64_t dlTotal, std::int64_t dlNow, std::int64_t ulTotal,
                                std::int64_t ulNow);
    static int PrereqCallback(void* self, char* primaryIp, char* localIp, int primaryPort, int localPort);
    bool DeliverHeadersOnce();
    HttpResult StatusResult() const;

    HttpRequestSettings m_settings;
    HttpResponse m_response;
    struct Handles;
    Handles* m_handles = nullptr;  // string lists and form, owned, worker thread
    std::optional<HttpResult> m_failure;
    bool m_headersDelivered = false;
    bool m_headerBlockHasLocation = false;
};

// The host of `url` as libcurl parses it ("" when the URL does not parse), and whether it
// is an IP literal.
std::string HostOfUrl(const std::string& url);
bool IsIpLiteral(const std::string& host);
// libcurl's process-wide initialisation, run once, whichever thread asks first.
void EnsureCurlGlobalInit();
