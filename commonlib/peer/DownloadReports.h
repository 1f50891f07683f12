// Where the download engine's reports go. UI thread.
#pragma once

#include <string>

class ProtoValue;

// Hands a finished task's report to the download log.
void SubmitDownloadRecord(const ProtoValue& report);
// Starts the network analysis of a peer's host (its report and the host in the ANSI code page).
void StartNetworkAnalysis(const ProtoValue& report, const std::string& host);
// Start-up: sets up the download log with its upload URL and identity texts; false when
// a text is missing or the log could not be set up.
bool InitDownloadLogging(const wchar_t* url, const wchar_t* version, const wchar_t* product);
