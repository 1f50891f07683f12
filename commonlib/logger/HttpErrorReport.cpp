#include "commonlib/logger/HttpErrorReport.h"

#include <atomic>
#include <cstdarg>
#include <ctime>

#include "commonlib/logger/ReportSupport.h"
#include "commonlib/util/StringFormat.h"
#include "commonlib/util/StringUtils.h"

namespace {

std::atomic<bool> g_shortLayout{false};

}  // namespace

HttpErrorReport& HttpErrorReport::GetInstance() {
    static HttpErrorReport instance;
    return instance;
}

void HttpErrorReport::SetUrl(const std::wstring& url) {
    CAutoLock guard(m_lock);
    m_url = url;
    ResetPendingForUrl(m_pending, url);
    m_on = !url.empty();
}

void HttpErrorReport::SetShortLayout(bool on) {
    g_shortLayout = on;
}

void HttpErrorReport::AddError(int level, int source, int type, int code, const wchar_t* format, ...) {
    if (!m_on) return;
    std::wstring message;
    if (format) {
        va_list args;
        va_start(args, format);
        message = FormatWV(format, args);
        va_end(args);
    }
    Json::Value record =
        g_shortLayout ? ShortRecord(type, code, message) : FullRecord(level, source, type, code, message);
    CAutoLock guard(m_lock);
    if (m_pending) m_pending->append(std::move(record));
}

Json::Value HttpErrorReport::FullRecord(int level, int source, int type, int code, const std::wstring& message) const {
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
    return record;
}

Json::Value HttpErrorReport::ShortRecord(int type, int code, const std::wstring& message) const {
    Json::Value record(Json::objectValue);
    record["productId"] = WideToUtf8(m_product);
    record["version"] = WideToUtf8(m_version);
    if (!m_userName.empty()) record["username"] = WideToUtf8(FormatW(L"%s(%u)", m_userName.c_str(), m_userId));
    record["errType"] = std::to_string(type);
    record["errCode"] = code;
    record["errMsg"] = WideToUtf8(message);
    record["systemType"] = WideToUtf8(m_system);
    record["time"] = static_cast<Json::Int64>(std::time(nullptr));
    return record;
}

Json::Value HttpErrorReport::GetPending() const {
    CAutoLock guard(m_lock);
    return m_pending ? *m_pending : Json::Value();
}
