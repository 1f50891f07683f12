// Where the download engine's reports go. UI thread.
#pragma once

#include <string>

class ProtoValue;

// Hands a finished task's report to the download log.
void SubmitDownloadRecord(const ProtoValue& report);
// Starts the network analysis of a peer's host (its report and the host in the ANSI code page).
void StartNetworkAnalysis(const ProtoValue& report, const std::string& host);
