#include "commonlib/logger/NetworkStatsLog.h"

#include <algorithm>

#include "commonlib/nettool/NetToolThread.h"
#include "commonlib/util/StringUtils.h"

namespace {

bool QueueTask(NetStatsQueueTask add, const std::string& host, void* user) {
    return add && add(host, user);
}

// The ping and traceroute texts are plain text, not JSON: keep them as strings unless they
// really are a JSON object or array.
Json::Value ResultValue(const std::string& text) {
    Json::Value parsed;
    if (ParseJsonText(text, parsed) && (parsed.isObject() || parsed.isArray())) return parsed;
    return Json::Value(text);
}

}  // namespace

bool QueueNetStatsLookUp(const std::string& host, void* user) {
    return CSingleton<CNetToolThread>::GetInstance().AddNSLookUpTask(host, user, &NetworkStatsLog::OnNSLookUpResult);
}

bool QueueNetStatsTraceRoute(const std::string& host, void* user) {
    return CSingleton<CNetToolThread>::GetInstance().AddTraceRouteTask(host, user, &NetworkStatsLog::OnTraceRootResult);
}

bool QueueNetStatsPing(const std::string& host, void* user) {
    return CSingleton<CNetToolThread>::GetInstance().AddPingTask(host, user, &NetworkStatsLog::OnPingResult);
}

NetworkStatsLog& NetworkStatsLog::GetInstance() {
    static NetworkStatsLog instance;
    return instance;
}

void NetworkStatsLog::SetUrl(const std::wstring& url) {
    CAutoLock guard(m_lock);
    m_url = url;
    ResetPendingForUrl(m_pending, url);
}

void NetworkStatsLog::SetDiagnostics(const NetStatsDiagnostics& diagnostics) {
    CAutoLock guard(m_lock);
    m_diagnostics = diagnostics;
}

void NetworkStatsLog::Start(const ProtoValue& report, const std::string& host) {
    CAutoLock guard(m_lock);
    if (m_url.empty() || !m_pending) return;
    // Without a host there is nothing to analyse, so no record is built.
    if (host.empty()) return;

    NetStatsPendingEntry& entry = m_analyses.emplace_back();
    entry.record = std::make_unique<Json::Value>(BuildRecord(report));
    entry.lookupPending = entry.traceRoutePending = entry.pingPending = true;
    void* user = entry.record.get();
    auto it = std::prev(m_analyses.end());

    // A refused task would leave its flag set for good, and the analysis would never end.
    entry.pingPending = QueueTask(m_diagnostics.addPing, host, user);
    entry.traceRoutePending = QueueTask(m_diagnostics.addTraceRoute, host, user);
    entry.lookupPending = !IsIPv4Text(Utf8ToWide(host)) && QueueTask(m_diagnostics.addNsLookUp, host, user);
    FinishIfComplete(it);
}

Json::Value NetworkStatsLog::BuildRecord(const ProtoValue& report) const {
    Json::Value record = ReportRecordWithIdentity(report, m_identity);
    record["uid"] = Json::UInt(m_uid);
    record["title"] = 4;
    record["ftime"] = ReportTimeText();
    return record;
}

void NetworkStatsLog::OnNSLookUpResult(int, void* user, const std::string&, const std::string& text) {
    GetInstance().AddResult(static_cast<int>(ResultKind::NsLookUp), user, text);
}

void NetworkStatsLog::OnTraceRootResult(int, void* user, const std::string&, const std::string& text) {
    GetInstance().AddResult(static_cast<int>(ResultKind::TraceRoute), user, text);
}

void NetworkStatsLog::OnPingResult(int, void* user, const std::string&, const std::string& text) {
    GetInstance().AddResult(static_cast<int>(ResultKind::Ping), user, text);
}

void NetworkStatsLog::AddResult(int kind, void* user, const std::string& text) {
    CAutoLock guard(m_lock);
    auto it = std::find_if(m_analyses.begin(), m_analyses.end(),
                           [user](const NetStatsPendingEntry& e) { return e.record.get() == user; });
    if (it == m_analyses.end()) return;

    Json::Value& results = (*it->record)["stats_rel"];
    // The report may carry a stats_rel of another type; the results need an object.
    if (!results.isObject() && !results.isNull()) results = Json::Value(Json::objectValue);
    switch (static_cast<ResultKind>(kind)) {
        case ResultKind::NsLookUp:
            it->lookupPending = false;
            results["NSLookUp"] = text;
            break;
        case ResultKind::TraceRoute:
            it->traceRoutePending = false;
            results["TraceRoot"] = ResultValue(text);
            break;
        case ResultKind::Ping:
            it->pingPending = false;
            results["Ping"] = ResultValue(text);
            break;
        default:
            return;
    }
    FinishIfComplete(it);
}

void NetworkStatsLog::FinishIfComplete(std::list<NetStatsPendingEntry>::iterator entry) {
    if (entry->lookupPending || entry->traceRoutePending || entry->pingPending) return;
    // Switched off meanwhile: the analysis ends without a place to keep it.
    if (m_pending) m_pending->append(*entry->record);
    m_analyses.erase(entry);
}

Json::Value NetworkStatsLog::GetPending() const {
    CAutoLock guard(m_lock);
    return m_pending ? *m_pending : Json::Value();
}

size_t NetworkStatsLog::GetAnalysisCount() const {
    CAutoLock guard(m_lock);
    return m_analyses.size();
}
