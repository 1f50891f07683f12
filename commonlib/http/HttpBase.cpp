#include "commonlib/http/HttpBase.h"

#include "commonlib/http/HttpEngine.h"
#include "commonlib/http/HttpMgr.h"

CHttpBase::CHttpBase(CHttpEngine* engine) : m_engine(engine) {}

CHttpBase::~CHttpBase() {
    CHttpBase::Stop();
}

void CHttpBase::AddFormField(std::string name, std::string value) {
    XJ_ASSERT_ON_THREAD(m_threadChecker);
    m_formFields.emplace_back(std::move(name), std::move(value));
}

void CHttpBase::ClearFormFields() {
    XJ_ASSERT_ON_THREAD(m_threadChecker);
    m_formFields.clear();
}

void CHttpBase::AddHeader(std::string line) {
    XJ_ASSERT_ON_THREAD(m_threadChecker);
    m_headers.push_back(std::move(line));
}

void CHttpBase::ClearHeaders() {
    XJ_ASSERT_ON_THREAD(m_threadChecker);
    m_headers.clear();
}

void CHttpBase::SetRange(std::optional<HttpByteRange> range) {
    XJ_ASSERT_ON_THREAD(m_threadChecker);
    m_range = range;
}

void CHttpBase::SetExpectedLength(std::int64_t length) {
    XJ_ASSERT_ON_THREAD(m_threadChecker);
    m_expectedLength = length;
}

void CHttpBase::SetFollowRedirects(bool follow) {
    XJ_ASSERT_ON_THREAD(m_threadChecker);
    m_followRedirects = follow;
}

void CHttpBase::SetMaxBodyBytes(std::int64_t bytes) {
    XJ_ASSERT_ON_THREAD(m_threadChecker);
    m_maxBodyBytes = bytes < 0 ? -1 : bytes;
}

void CHttpBase::SetTimeout(DWORD milliseconds) {
    XJ_ASSERT_ON_THREAD(m_threadChecker);
    m_timeoutMs = milliseconds;
}

DWORD CHttpBase::Timeout() const {
    XJ_ASSERT_ON_THREAD(m_threadChecker);
    return m_timeoutMs;
}

void CHttpBase::SetDeadline(DWORD milliseconds) {
    XJ_ASSERT_ON_THREAD(m_threadChecker);
    m_deadlineMs = milliseconds;
}

DWORD CHttpBase::Deadline() const {
    XJ_ASSERT_ON_THREAD(m_threadChecker);
    return m_deadlineMs;
}

bool CHttpBase::IsActive() const {
    XJ_ASSERT_ON_THREAD(m_threadChecker);
    return m_mgr != nullptr;
}

bool CHttpBase::IsRunning() const {
    XJ_ASSERT_ON_THREAD(m_threadChecker);
    return m_running;
}

void CHttpBase::Stop() {
    XJ_ASSERT_ON_THREAD(m_threadChecker);
    if (m_mgr) m_mgr->RemoveRequest(this);
}

HttpRequestSettings CHttpBase::BuildSettings(std::string url, HttpMethod method, std::string body,
                                             std::string connectAddress) const {
    HttpRequestSettings settings;
    settings.url = std::move(url);
    settings.method = method;
    settings.body = std::move(body);
    settings.headers = m_headers;
    if (method == HttpMethod::Post) settings.formFields = m_formFields;
    settings.range = m_range;
    settings.connectAddress = std::move(connectAddress);
    settings.checkHost = m_checkHost != 0;
    settings.followRedirects = m_followRedirects;
    settings.expectedLength = m_expectedLength;
    settings.maxBodyBytes = m_maxBodyBytes;
    settings.deadlineMs = static_cast<long>(m_deadlineMs);
    return settings;
}

bool CHttpBase::StartAttempt(HttpRequestSettings settings, DWORD delayMs) {
    XJ_ASSERT_ON_THREAD(m_threadChecker);
    if (m_mgr) return false;
    CHttpEngine* engine = Engine();
    if (!engine) return false;
    return engine->Mgr().AddRequest(this, std::move(settings), delayMs);
}

CHttpEngine* CHttpBase::Engine() const {
    CHttpEngine* engine = m_engine ? m_engine : GetHttpCommandEngine();
    return engine && engine->IsRunning() ? engine : nullptr;
}

CRefPtr<CCurlHttp> CHttpBase::CreateTransfer(HttpRequestSettings settings) {
    return CRefPtr<CCurlHttp>(new CCurlHttp(std::move(settings)));
}
