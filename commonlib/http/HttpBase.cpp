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

HttpRequestSpec CHttpBase::BuildSpec(std::string url, HttpMethod method, std::string body,
                                     std::string connectAddress) const {
    HttpRequestSpec spec;
    spec.url = std::move(url);
    spec.method = method;
    spec.body = std::move(body);
    spec.headers = m_headers;
    if (method == HttpMethod::Post) spec.formFields = m_formFields;
    spec.range = m_range;
    spec.connectAddress = std::move(connectAddress);
    spec.checkHost = m_checkHost != 0;
    spec.followRedirects = m_followRedirects;
    spec.expectedLength = m_expectedLength;
    return spec;
}

bool CHttpBase::StartAttempt(HttpRequestSpec spec, DWORD delayMs) {
    if (m_mgr) return false;
    CHttpEngine* engine = Engine();
    if (!engine) return false;
    return engine->Mgr().AddRequest(this, std::move(spec), delayMs);
}

CHttpEngine* CHttpBase::Engine() const {
    CHttpEngine* engine = m_engine ? m_engine : GetHttpCommandEngine();
    return engine && engine->IsRunning() ? engine : nullptr;
}

CRefPtr<CCurlHttp> CHttpBase::CreateTransfer(HttpRequestSpec spec) {
    return CRefPtr<CCurlHttp>(new CCurlHttp(std::move(spec)));
}
