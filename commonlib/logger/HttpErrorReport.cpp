#include "commonlib/logger/HttpErrorReport.h"

#include <cstdarg>

#include "commonlib/logger/ReportSupport.h"
#include "commonlib/util/StringFormat.h"
#include "commonlib/util/StringUtils.h"

HttpErrorReport& HttpErrorReport::GetInstance() {
    static HttpErrorReport instance;
    return instance;
}

void HttpErrorReport::SetUrl(const std::wstring& url) {
    CAutoLock guard(m_lock);
    m_url = url;
    ResetPendingForUrl(m_pending, url);
}

void HttpErrorReport::AddError(int level, int source, int type, int code, const wchar_t* format, ...) {
    {
        CAutoLock guard(m_lock);
        if (m_url.empty() || !m_pending) return;
    }
    std::wstring message;
    if (format) {
        va_list args;
        va_start(args, format);
        message = FormatWV(format, args);
        va_end(args);
    }

    Json::Value record(Json::objectValue);
    record["upload_platform"] = "PC";
    record["v_version"] = WideToUtf8(m_version);
    record["uid"] = std::to_string(m_userId);
    record["uname"] = WideToUtf8(m_userName);
    record["upload_system"] = WideToUtf8(m_system);
    record["upload_memory"] = WideToUtf8(m_memory);
    record["upload_cpu"] = WideToUtf8(m_cpu);
    record["upload_mac"] = WideToUtf8(m_mac);
    record["upload_ip"] = m_ip;
    record["v_upload_time"] = ReportTimeText();
    record["product_id"] = WideToUtf8(m_product);
    record["error_level"] = std::to_string(level);
    record["error_src"] = std::to_string(source);
    record["error_type"] = std::to_string(type);
    record["error_code"] = std::to_string(code);
    record["error_content"] = WideToUtf8(message);

    CAutoLock guard(m_lock);
    if (m_pending) m_pending->append(std::move(record));
}

Json::Value HttpErrorReport::GetPending() const {
    CAutoLock guard(m_lock);
    return m_pending ? *m_pending : Json::Value();
}
