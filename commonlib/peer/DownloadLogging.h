// Log lines of the download engine, with source file and line. Any thread.
#pragma once

#include <string>

enum class DownloadLogLevel { Info, Warn, Error };

void WriteDownloadLog(DownloadLogLevel level, const char* file, int line, const std::string& message);

#define DL_LOG_INFO(msg) WriteDownloadLog(DownloadLogLevel::Info, __FILE__, __LINE__, (msg))
#define DL_LOG_WARN(msg) WriteDownloadLog(DownloadLogLevel::Warn, __FILE__, __LINE__, (msg))
#define DL_LOG_ERROR(msg) WriteDownloadLog(DownloadLogLevel::Error, __FILE__, __LINE__, (msg))
