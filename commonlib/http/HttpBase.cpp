#include "commonlib/http/HttpBase.h"

#include "commonlib/http/HttpEngine.h"
#include "commonlib/http/HttpMgr.h"

CHttpBase::CHttpBase(CHttpEngine* engine) : m_engine(engine) {}

CHttpBase::~CHttpBase() {
    CHttpBase::Stop();
}

void CHttpBase::AddFormField(std::string name, std::string value) {
    m_formFields.emplace_back(std::move(name), std::move(value));
}

void CHttpBase::ClearFormFields() {
    m_formFields.clear();
}

void CHttpBase::ClearHeaders() {
    m_headers.clear();
}

void CHttpBase::Stop() {
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
    return settings;
}

bool CHttpBase::StartAttempt(HttpRequestSettings settings, DWORD delayMs) {
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
