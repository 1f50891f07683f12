#include "commonlib/http/HttpCommand.h"

#include <algorithm>
#include <atomic>
#include <ctime>
#include <new>
#include <random>

#include "commonlib/http/DNSThread.h"
#include "commonlib/http/HttpEngine.h"
#include "commonlib/logger/HttpErrorReport.h"
#include "commonlib/util/StringFormat.h"
#include "commonlib/util/StringUtils.h"
#include "platform/net/InetAddress.h"

namespace {

constexpr int kHttpErrorSource = 9003;
constexpr int kRetryLevel = 1;
constexpr int kFinalLevel = 2;
constexpr DWORD kDnsStopTimeoutMs = 100;
constexpr std::size_t kShortestUrl = 3;

// The report keeps nothing while it has no destination, which is the program's normal case;
// it formats the message only when it keeps it.
template <typename... Args>
void AddHttpErrorReport(int level, const HttpResult& result, const wchar_t* format, const Args&... args) {
    HttpErrorReport::GetInstance().AddError(level, kHttpErrorSource, result.type, result.code, format, args...);
}

bool IsIPv4Address(const std::string& text) {
    std::uint32_t address = 0;
    return platform::ParseIPv4Address(text, &address);
}

// Up to `limit` distinct IPv4 addresses of the ";"-list, in a time-seeded random order.
std::vector<std::string> PickPinnedAddresses(const std::wstring& list, std::size_t limit) {
    std::vector<std::string> candidates;
    for (const std::wstring& piece : SplitBySemicolonW(list)) {
        std::string address = WideToUtf8(TrimW(piece));
        if (IsIPv4Address(address) && std::find(candidates.begin(), candidates.end(), address) == candidates.end())
            candidates.push_back(std::move(address));
    }
    std::mt19937 random(static_cast<std::mt19937::result_type>(std::time(nullptr)));
    std::shuffle(candidates.begin(), candidates.end(), random);
    if (candidates.size() > limit) candidates.resize(limit);
    return candidates;
}

std::atomic<DWORD>& DefaultDeadlineValue() {
    static std::atomic<DWORD> value{CHttpCommand::kDefaultDeadlineMs};
    return value;
}

}  // namespace

CHttpCommand::CHttpCommand(CHttpEngine* engine) : CHttpBase(engine), m_link(std::make_shared<Link>(Link{this})) {
    SetTimeout(kDefaultTimeoutMs);
    // Departs from the original behaviour, which has only the inactivity time-out: an answer
    // that trickles in a byte at a time would otherwise hold the command for ever.
    SetDeadline(DefaultDeadline());
    SetMaxBodyBytes(kMaxResponseBytes);
}

CHttpCommand::~CHttpCommand() {
    CHttpCommand::Stop();
}

void CHttpCommand::SetDefaultDeadline(DWORD milliseconds) {
    DefaultDeadlineValue().store(milliseconds, std::memory_order_relaxed);
}

DWORD CHttpCommand::DefaultDeadline() {
    return DefaultDeadlineValue().load(std::memory_order_relaxed);
}

CHttpCommand* CHttpCommand::Create(void* memory) {
    return memory ? new (memory) CHttpCommand() : nullptr;
}

bool CHttpCommand::Get(const std::wstring& url, HttpCommandCallback callback, void* user, HttpErrorReporting reporting,
                       const std::wstring& fallbackAddresses, const std::wstring& alternates) {
    return Begin(HttpMethod::Get, url, {}, callback, user, reporting, fallbackAddresses, alternates);
}

bool CHttpCommand::Post(const std::wstring& url, const std::string& body, HttpCommandCallback callback, void* user) {
    return Begin(HttpMethod::Post, url, body, callback, user, HttpErrorReporting::Off, {}, {});
}

bool CHttpCommand::Begin(HttpMethod method, const std::wstring& url, std::string body, HttpCommandCallback callback,
                         void* user, HttpErrorReporting reporting, const std::wstring& fallbackAddresses,
                         const std::wstring& alternates) {
    XJ_ASSERT_ON_THREAD(m_threadChecker);
    if (m_busy || IsActive() || url.size() < kShortestUrl || !Engine()) return false;
    const std::string primary = WideToUtf8(url);
    m_method = method;
    m_body = std::move(body);
    m_urls.assign(1, primary);
    for (const std::wstring& piece : SplitBySemicolonW(alternates)) {
        std::string alternate = WideToUtf8(piece);
        if (alternate.size() >= kShortestUrl && alternate != primary) m_urls.push_back(std::move(alternate));
    }
    m_pinned = PickPinnedAddresses(fallbackAddresses, kMaxPinnedAddresses);
    m_nextUrl = 0;
    m_nextPinned = 0;
    m_dnsTried = false;
    m_callback = callback;
    m_user = user;
    m_reporting = reporting;
    m_lastResult = {};
    m_lastText.clear();
    m_lastUrl.clear();
    m_lastIp.clear();
    m_busy = StartNextRung(0);
    return m_busy;
}

bool CHttpCommand::StartNextRung(DWORD delayMs) {
    const bool reporting = m_reporting == HttpErrorReporting::On && !m_lastUrl.empty();
    const std::wstring lastUrl = Utf8ToWide(m_lastUrl);
    const std::wstring lastIp = Utf8ToWide(m_lastIp);
    if (m_nextUrl < m_urls.size()) {
        if (reporting) {
            AddHttpErrorReport(kRetryLevel, m_lastResult, L"CHttpCommand::Done() 失败重试....url:%s ip:%s",
                               lastUrl.c_str(), lastIp.c_str());
        }
        const std::string& url = m_urls[m_nextUrl++];
        return StartAttempt(BuildSettings(url, m_method, m_body, {}), delayMs);
    }
    if (m_nextPinned < m_pinned.size()) {
        const std::string& address = m_pinned[m_nextPinned++];
        if (reporting) {
            AddHttpErrorReport(kRetryLevel, m_lastResult,
                               L"CHttpCommand::Done() url:%s ip:%s 连接失败，尝试使用备用地址:%s", lastUrl.c_str(),
                               lastIp.c_str(), Utf8ToWide(address).c_str());
        }
        return StartAttempt(BuildSettings(m_urls.front(), m_method, m_body, address), delayMs);
    }
    // A server that answered was found already; only a failure to reach one calls for new addresses.
    const bool unreachable = m_lastResult.type == static_cast<int>(HttpResultType::Curl) ||
                             m_lastResult == HttpResult::Program(HttpProgramCode::Inactive);
    const std::string host = HostOfUrl(m_urls.front());
    if (!m_dnsTried && unreachable && !host.empty() && !IsIpLiteral(host)) {
        m_dnsTried = true;
        CHttpEngine* engine = Engine();
        if (!engine) return false;
        std::weak_ptr<Link> link = m_link;
        m_dnsThread = std::make_unique<CDNSThread>(host, engine->Mgr().Poster(),
                                                   [link](int code, const std::string&, const std::string& text) {
                                                       if (auto alive = link.lock(); alive && alive->command)
                                                           alive->command->OnDnsAnswer(code, text);
                                                   });
        if (m_dnsThread->Start()) return true;
        m_dnsThread.reset();
    }
    return false;
}

void CHttpCommand::OnDnsAnswer(int code, const std::string& text) {
    if (!m_busy || !m_dnsThread) return;
    StopOrAbandonDnsThread(std::move(m_dnsThread), kDnsStopTimeoutMs);
    std::size_t added = 0;
    if (code == 0) {
        for (const std::string& address : SplitBySemicolon(text)) {
            if (added == kMaxPinnedAddresses) break;
            if (!IsIPv4Address(address) || std::find(m_pinned.begin(), m_pinned.end(), address) != m_pinned.end())
                continue;
            m_pinned.push_back(address);
            ++added;
        }
    }
    if (added > 0 && StartNextRung(0)) return;
    Complete(m_lastResult, std::move(m_lastText));
}

void CHttpCommand::OnAttemptDone(const CRefPtr<CCurlHttp>& transfer, HttpResult result) {
    Done(transfer, result);
}

void CHttpCommand::Done(const CRefPtr<CCurlHttp>& transfer, HttpResult result) {
    const HttpResponse& response = transfer->Response();
    if (result.Succeeded()) {
        Complete(result, response.body);
        return;
    }
    m_lastResult = result;
    m_lastText = response.body;
    m_lastUrl = transfer->Request().url;
    m_lastIp = response.primaryIp;
    // A POST the server may have taken is not sent again: the record would count twice.
    const bool mayRetry = m_method != HttpMethod::Post || !transfer->RequestSent();
    if (mayRetry && StartNextRung(m_retryDelayMs)) return;
    if (m_reporting == HttpErrorReporting::On) {
        AddHttpErrorReport(kFinalLevel, result, L"CHttpCommand::Done() 最终失败.... url:%s ip:%s",
                           Utf8ToWide(m_lastUrl).c_str(), Utf8ToWide(m_lastIp).c_str());
    }
    Complete(result, std::move(m_lastText));
}

void CHttpCommand::Complete(HttpResult result, std::string text) {
    const HttpCommandCallback callback = m_callback;
    void* const user = m_user;
    m_busy = false;
    m_callback = nullptr;
    m_user = nullptr;
    // Last: the callback may start the command again or delete it.
    if (callback) callback(user, text, result.type, result.code);
}

void CHttpCommand::CutLink() {
    m_link->command = nullptr;
    m_link = std::make_shared<Link>(Link{this});
}

void CHttpCommand::Stop() {
    XJ_ASSERT_ON_THREAD(m_threadChecker);
    m_busy = false;
    m_callback = nullptr;
    CutLink();
    if (m_dnsThread) StopOrAbandonDnsThread(std::move(m_dnsThread), kDnsStopTimeoutMs);
    CHttpBase::Stop();
}
