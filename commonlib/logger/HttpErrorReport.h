// The HTTP error report: one JSON record, with the installer's identity, for each failed
// HTTP command that was started with error reporting on, kept in a pending JSON array.
//
// Owning thread: the UI thread (command completions run there); the pending array is
// guarded by the object's lock. Nothing happens while the report has no URL: AddError
// returns before formatting. The report has no upload of its own; records stay pending.
#pragma once

#include <json/json.h>

#include <memory>
#include <string>

#include "commonlib/thread/Lock.h"

class HttpErrorReport {
public:
    static HttpErrorReport& GetInstance();

    // A non-empty URL switches the report on (with an empty pending array); an empty one off.
    void SetUrl(const std::wstring& url);

    // `format` follows FormatW (a wide "%s" takes a wide string).
    void AddError(int level, int source, int type, int code, const wchar_t* format, ...);

    // Test view: a copy, taken under the lock.
    Json::Value GetPending() const;

private:
    HttpErrorReport() = default;
    ~HttpErrorReport() = default;
    HttpErrorReport(const HttpErrorReport&) = delete;
    HttpErrorReport& operator=(const HttpErrorReport&) = delete;

    std::unique_ptr<Json::Value> m_pending;
    std::wstring m_url;
    std::wstring m_version;
    std::wstring m_product;
    std::wstring m_system;
    std::wstring m_memory;
    std::wstring m_cpu;
    std::wstring m_mac;
    std::string m_ip;
    std::wstring m_userName;
    unsigned m_userId = 0;
    mutable CLock m_lock;
};
