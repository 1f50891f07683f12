// The network-statistics log: an analysis of a download host (ping, traceroute and, for a
// host name, a DNS lookup, run on the diagnostics thread) kept with the download engine's
// report as one record in a pending JSON array.
//
// Owning thread: the UI thread, where Start is called and where the diagnostics thread's
// results arrive; the analyses and the pending array are guarded by the object's lock.
// Nothing happens while the log has no URL: Start returns at once and queues nothing.
// The log has no upload of its own; finished records stay pending.
#pragma once

#include <json/json.h>

#include <list>
#include <memory>
#include <string>

#include "commonlib/core/ProtoValue.h"
#include "commonlib/logger/ReportSupport.h"
#include "commonlib/thread/Lock.h"

struct NetStatsPendingEntry {
    std::unique_ptr<Json::Value> record;
    bool lookupPending = false;
    bool traceRoutePending = false;
    bool pingPending = false;
};

// Queues a diagnostic task for `host` whose result reaches the matching
// NetworkStatsLog::On...Result with `user`, later, through the UI-thread queue (never from
// inside this call); false when the task was refused.
using NetStatsQueueTask = bool (*)(const std::string& host, void* user);

// The diagnostics thread's Add operations, with the log's result callbacks.
bool QueueNetStatsLookUp(const std::string& host, void* user);
bool QueueNetStatsTraceRoute(const std::string& host, void* user);
bool QueueNetStatsPing(const std::string& host, void* user);

struct NetStatsDiagnostics {
    NetStatsQueueTask addNsLookUp = &QueueNetStatsLookUp;
    NetStatsQueueTask addTraceRoute = &QueueNetStatsTraceRoute;
    NetStatsQueueTask addPing = &QueueNetStatsPing;
};

class NetworkStatsLog {
public:
    enum class ResultKind : int { NsLookUp = 1, TraceRoute = 2, Ping = 3 };

    static NetworkStatsLog& GetInstance();

    // A non-empty URL switches the log on (with an empty pending array); an empty one off.
    void SetUrl(const std::wstring& url);
    // How tasks reach the diagnostics thread; a missing entry counts as a refused task.
    void SetDiagnostics(const NetStatsDiagnostics& diagnostics);

    // Starts an analysis of `host` (ANSI text) for the report; nothing for an empty host.
    void Start(const ProtoValue& report, const std::string& host);
    Json::Value BuildRecord(const ProtoValue& report) const;

    static void OnNSLookUpResult(int code, void* user, const std::string& host, const std::string& text);
    static void OnTraceRootResult(int code, void* user, const std::string& host, const std::string& text);
    static void OnPingResult(int code, void* user, const std::string& host, const std::string& text);
    // A result for a record no analysis holds is ignored.
    void AddResult(int kind, void* user, const std::string& text);

    // Test view: copies, taken under the lock.
    Json::Value GetPending() const;
    size_t GetAnalysisCount() const;

private:
    NetworkStatsLog() = default;
    ~NetworkStatsLog() = default;
    NetworkStatsLog(const NetworkStatsLog&) = delete;
    NetworkStatsLog& operator=(const NetworkStatsLog&) = delete;

    void FinishIfComplete(std::list<NetStatsPendingEntry>::iterator entry);

    std::unique_ptr<Json::Value> m_pending;
    std::wstring m_url;
    ReportIdentity m_identity;
    unsigned m_uid = 0;
    std::list<NetStatsPendingEntry> m_analyses;
    NetStatsDiagnostics m_diagnostics;
    mutable CLock m_lock;
};
