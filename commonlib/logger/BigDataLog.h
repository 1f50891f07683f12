// The statistics-event reporter: each event becomes one TAB-separated line in the order
// of a field list, DES-encrypted under the fixed key and kept as upper-case hex in a
// pending JSON array, which Send posts to the statistics collector in one request.
//
// Owning thread: the UI thread. The install worker may call AddEvent, ReportInstallEvent
// and Send too: the line is built on the caller's thread, but the pending array, the busy
// flag and the command are touched on the UI thread only (a call from elsewhere is posted
// there), so the object needs no lock. The completion runs on the UI thread; records added
// while a POST is under way go out in one further POST when it ends. A send attempt always
// forgets the records it took, so a failed upload is never repeated.
#pragma once

#include <json/json.h>

#include <memory>
#include <string>

#include "commonlib/core/ProtoValue.h"
#include "commonlib/logger/ReportSupport.h"

// Field lists, each ended by an empty name.
extern const wchar_t* const BigDataEventFields[];
extern const wchar_t* const InstallCountFields[];

// The event line: the values of the listed names joined by TABs, unescaped.
std::string BuildBigDataEventLine(const wchar_t* const* fields, const ProtoValue& event);
// The record body: the DES-ECB ciphertext of the padded line under the fixed key, upper hex.
std::string EncryptBigDataEventLine(const std::string& line);

class BigDataLog {
public:
    static BigDataLog& GetInstance();

    // The collector's URL, used unchanged; set by the application at start-up.
    void SetUrl(std::wstring url) { m_url = std::move(url); }
    const std::wstring& GetUrl() const { return m_url; }

    // True when a record was appended (or, off the UI thread, handed to it for appending).
    // False for an empty URL or an event that is neither null nor a map.
    bool AddEvent(const wchar_t* const* fields, const ProtoValue& event);
    // Writes the standard values into `event`, then adds it with BigDataEventFields.
    bool AddStandardEvent(ProtoValue& event);
    // The install event, on a copy of `event`.
    bool ReportInstallEvent(const ProtoValue& event);

    // Posts the pending records. False (records kept) when busy, when nothing is pending or
    // the URL is empty; false (records dropped, logged) when the POST could not start. Off
    // the UI thread the send is posted there, and true means it was handed over.
    bool Send();

    static void OnPostDone(void* user, const std::string& response, int type, int code);
    void OnStatisticsDone(int type, int code);

    // Shut-down: stops a POST under way and deletes the command. Later sends make a new one.
    void ReleaseCommand();

    // Test view: the records not yet posted.
    const Json::Value& GetPending() const { return m_pending; }
    bool IsBusy() const { return m_busy; }

private:
    BigDataLog();
    ~BigDataLog();
    BigDataLog(const BigDataLog&) = delete;
    BigDataLog& operator=(const BigDataLog&) = delete;

    void Init();
    void AppendRecord(const std::string& body);
    static void AppendRecordOnUiThread(std::string body);
    static void SendOnUiThread(int unused);

    std::wstring m_url;
    bool m_busy = false;
    std::unique_ptr<IReportCommand> m_command;
    Json::Value m_pending;
    ProtoValue m_defaultFields;
};
