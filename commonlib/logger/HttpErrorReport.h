// The HTTP error report: one JSON record, with the installer's identity, for each failed
// HTTP command that was started with error reporting on, kept in a pending JSON array.
//
// Owning thread: the UI thread (command completions run there); the pending array is
// guarded by the object's lock. Nothing happens while the report has no URL: AddError
// returns before formatting and without taking the lock. The report has no upload of its
// own; records stay pending.
//
// Two record layouts, chosen process-wide (SetShortLayout, off by default):
//   full   upload_platform "PC", v_version, uid, uname, upload_system, upload_memory,
//          upload_cpu, upload_mac, upload_ip, v_upload_time, product_id, error_level,
//          error_src, error_type, error_code, error_content, all strings;
//   short  productId, version, username ("name(id)", only with a user name), errType (a
//          string), errCode (a number), errMsg, systemType, time (seconds since 1970).
#pragma once

#include <json/json.h>

#include <atomic>
#include <memory>
#include <string>

#include "commonlib/thread/Lock.h"

class HttpErrorReport {
public:
    static HttpErrorReport& GetInstance();

    // A non-empty URL switches the report on (with an empty pending array); an empty one off.
    void SetUrl(const std::wstring& url);

    // Selects the short layout for records added afterwards, in every report of the process.
    static void SetShortLayout(bool on);

    // `format` follows FormatW (a wide "%s" takes a wide string).
    void AddError(int level, int source, int type, int code, const wchar_t* format, ...);

    // Test view: a copy, taken under the lock.
    Json::Value GetPending() const;

private:
    HttpErrorReport() = default;
    ~HttpErrorReport() = default;
    HttpErrorReport(const HttpErrorReport&) = delete;
    HttpErrorReport& operator=(const HttpErrorReport&) = delete;

    Json::Value FullRecord(int level, int source, int type, int code, const std::wstring& message) const;
    Json::Value ShortRecord(int type, int code, const std::wstring& message) const;

    std::atomic<bool> m_on{false};  // a URL is set: read before the lock
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
