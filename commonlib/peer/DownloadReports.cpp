#include "commonlib/peer/DownloadReports.h"

#include "commonlib/core/ProtoValue.h"

// FIXME: call DownloadLog::AddDownloadRecord once the report classes are in.
void SubmitDownloadRecord(const ProtoValue& report) {
    (void)report;
}

// FIXME: call NetworkStatsLog::Start once the report classes are in.
void StartNetworkAnalysis(const ProtoValue& report, const std::string& host) {
    (void)report;
    (void)host;
}
