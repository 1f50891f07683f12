// The download log: the download engine's task reports, each turned into a JSON object
// with the machine's identity, uploaded at once as a signed multipart form ("sign", then
// "data") through the log's own command.
//
// Owning thread: the UI thread (the engine's reports, the completion, start-up and
// shut-down all run there); adding and sending also hold the object's re-entrant lock.
// One upload at a time: a report added while one is under way goes out with the next
// upload, which starts when the current one completes. A send attempt always forgets the
// records it took, so a failed upload is never repeated.
#pragma once

#include <json/json.h>

#include <memory>
#include <string>

#include "commonlib/core/ProtoValue.h"
#include "commonlib/logger/ReportSupport.h"
#include "commonlib/thread/Lock.h"

// The key followed by the data: the text whose MD5 is the upload's sign.
std::string MakeSignSource(const std::string& key, const std::string& data);
// 32 lower-case hex digits of MD5(fixed sign key + data).
std::string MakeDownloadLogSign(const std::string& data);

class DownloadLog {
public:
    static DownloadLog& GetInstance();

    // Start-up: the upload URL and the identity texts. False (nothing recorded later)
    // when no command could be made.
    bool Init(const std::wstring& url, const std::wstring& version, const std::wstring& product);
    // Shut-down: stops an upload under way and drops the pending records and the command.
    bool Uninit();

    // Records the report and uploads; dropped when not initialised or when `report` is null.
    void AddDownloadRecord(const ProtoValue* report);
    // One record: the report's members with the identity members set over them.
    Json::Value BuildDownloadRecord(const ProtoValue& report) const;

    // False when there is nothing to upload or an upload is under way (records kept), or
    // when the upload could not start (records dropped, logged).
    bool Send();

    static void OnUploadDone(void* user, const std::string& response, int type, int code);

    // Test view: the records not yet uploaded (null when not initialised).
    const Json::Value* GetPending() const { return m_pending.get(); }
    bool IsBusy() const { return m_busy; }

private:
    DownloadLog() = default;
    ~DownloadLog();
    DownloadLog(const DownloadLog&) = delete;
    DownloadLog& operator=(const DownloadLog&) = delete;

    void UploadDone();
    static void SendOnUiThread(int unused);

    std::unique_ptr<Json::Value> m_pending;
    std::unique_ptr<IReportCommand> m_command;
    std::wstring m_url;
    ReportIdentity m_identity;
    unsigned m_id = 0;
    bool m_busy = false;
    CLock m_lock;
};
