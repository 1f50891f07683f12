// A command of the command engine: one GET or POST with its fallbacks, completed once on
// the UI thread with the response text and the (type, code) pair.
//
// Thread: the UI thread for everything, callbacks included. The owner holds the command
// by value (or through Create) and may Stop it, start it again, or delete it, also from
// inside the completion callback; after Stop no callback follows.
//
// Each attempt ends with (3, 3002) after kDefaultTimeoutMs without a byte moving, and with
// (5, CURLE_OPERATION_TIMEDOUT) once it has taken longer than its deadline altogether.
//
// Retry ladder. A failed attempt (any pair other than success, the time-outs
// included) is followed, after the retry delay, by the next rung:
//   1. the URL itself, resolved by the system;
//   2. each alternate URL, in the order given;
//   3. the URL connected to each pinned address (up to 3 taken at random from the
//      fallback list), the host name kept for the Host header and the certificate;
//   4. for a host name (not an IP literal), when the last attempt reached no server (a
//      curl error or the time-out): one re-resolution of the host against the public
//      resolvers on a CDNSThread, whose answer (up to 3 new addresses) is pinned and
//      tried like rung 3.
// A POST climbs the ladder only while its attempts fail before the request went out (no
// connection was made): one that a server may have taken is never sent again elsewhere,
// so a statistics or download-log record arrives at most once.
// When the ladder is exhausted the command completes with the last attempt's pair and
// text. The delay is honoured by CHttpMgr::StartDueRequests, which the program polls.
//
// Answers are small (descriptors, collector replies): one larger than kMaxResponseBytes
// fails the attempt with (5, CURLE_FILESIZE_EXCEEDED) and no text.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "commonlib/http/HttpBase.h"
#include "platform/types/WinTypes.h"

class CDNSThread;

// Completion: the user value, the response body (UTF-8 bytes), type and code.
using HttpCommandCallback = void (*)(void* user, const std::string& text, int type, int code);

enum class HttpErrorReporting : int { Off = 0, On = 1 };

class CHttpCommand : public CHttpBase {
public:
    static constexpr DWORD kDefaultTimeoutMs = 30000;
    static constexpr DWORD kDefaultDeadlineMs = 60000;
    static constexpr DWORD kDefaultRetryDelayMs = 1000;
    static constexpr std::size_t kMaxPinnedAddresses = 3;
    static constexpr std::int64_t kMaxResponseBytes = 1 << 20;

    // `engine` null: the command engine.
    explicit CHttpCommand(CHttpEngine* engine = nullptr);
    ~CHttpCommand() override;

    // Builds a command on `memory`, which must come from ::operator new(sizeof(CHttpCommand)):
    // the owner ends it with delete.
    static CHttpCommand* Create(void* memory);

    // Starts a GET of `url`. `alternates` is a ";"-separated URL list (the URL itself and
    // entries shorter than 3 characters are dropped); `fallbackAddresses` a ";"-separated
    // IPv4 list to pin (entries that are not IPv4 addresses are skipped). False, with no
    // callback to follow, when the command is active, the URL is shorter than 3
    // characters or there is no command engine.
    bool Get(const std::wstring& url, HttpCommandCallback callback, void* user, HttpErrorReporting reporting,
             const std::wstring& fallbackAddresses, const std::wstring& alternates);
    // Starts a POST of `body` (or of the form fields, when there are any) to `url`; the
    // same refusals as Get.
    bool Post(const std::wstring& url, const std::string& body, HttpCommandCallback callback, void* user = nullptr);

    // Stops the name-resolution thread (waiting up to 100 ms) and the request; no
    // completion callback follows.
    void Stop() override;
    bool IsBusy() const {
        XJ_ASSERT_ON_THREAD(m_threadChecker);
        return m_busy;
    }

    // The deadline of each attempt of the commands made from now on (SetDeadline), any
    // thread; kDefaultDeadlineMs until changed. Tests shorten it.
    static void SetDefaultDeadline(DWORD milliseconds);
    static DWORD DefaultDeadline();

    void SetRetryDelay(DWORD milliseconds) {
        XJ_ASSERT_ON_THREAD(m_threadChecker);
        m_retryDelayMs = milliseconds;
    }

protected:
    void OnAttemptDone(const CRefPtr<CCurlHttp>& transfer, HttpResult result) override;
    // The end of an attempt: the next rung of the ladder, or the completion.
    void Done(const CRefPtr<CCurlHttp>& transfer, HttpResult result);

private:
    struct Link {
        CHttpCommand* command;
    };

    bool Begin(HttpMethod method, const std::wstring& url, std::string body, HttpCommandCallback callback, void* user,
               HttpErrorReporting reporting, const std::wstring& fallbackAddresses, const std::wstring& alternates);
    // False when the ladder is exhausted; true when an attempt or a lookup is under way.
    bool StartNextRung(DWORD delayMs);
    void OnDnsAnswer(int code, const std::string& text);
    void Complete(HttpResult result, std::string text);
    void CutLink();

    HttpMethod m_method = HttpMethod::Get;
    std::string m_body;
    std::vector<std::string> m_urls;    // the URL, then the alternates
    std::vector<std::string> m_pinned;  // addresses tried with the URL
    std::size_t m_nextUrl = 0;
    std::size_t m_nextPinned = 0;
    bool m_dnsTried = false;
    bool m_busy = false;
    HttpCommandCallback m_callback = nullptr;
    void* m_user = nullptr;
    HttpErrorReporting m_reporting = HttpErrorReporting::Off;
    DWORD m_retryDelayMs = kDefaultRetryDelayMs;

    HttpResult m_lastResult;
    std::string m_lastText;
    std::string m_lastUrl;
    std::string m_lastIp;

    std::unique_ptr<CDNSThread> m_dnsThread;
    std::shared_ptr<Link> m_link;  // lets a late DNS answer find out that the command moved on
};
