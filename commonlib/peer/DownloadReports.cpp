#include "commonlib/peer/DownloadReports.h"

#include "commonlib/core/ProtoValue.h"
#include "commonlib/logger/DownloadLog.h"
#include "commonlib/logger/NetworkStatsLog.h"

void SubmitDownloadRecord(const ProtoValue& report) {
    DownloadLog::GetInstance().AddDownloadRecord(&report);
}

void StartNetworkAnalysis(const ProtoValue& report, const std::string& host) {
    NetworkStatsLog::GetInstance().Start(report, host);
}

bool InitDownloadLogging(const wchar_t* url, const wchar_t* version, const wchar_t* product) {
    if (!url || !version || !product) return false;
    return DownloadLog::GetInstance().Init(url, version, product);
}
