// The program's usual logging call: one line to the file logger and the same message
// to the trace logger, with the calling source file and line.
//
//   XJ_LOG_WARN(L"CreateDirByXj:%s GetLastError %u", path.c_str(), error);
//   XJ_LOG_INFO("et:%d ec:%d", type, code);
//
// Wide formats follow FormatW, narrow ones printf (UTF-8). Any thread may log.
#pragma once

#include "commonlib/logger/BaseLogger.h"

void LogToFileAndTrace(LogLevel level, int line, const char* sourceFile, const wchar_t* format, ...);
void LogToFileAndTrace(LogLevel level, int line, const char* sourceFile, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

#define XJ_LOG(level, ...) LogToFileAndTrace((level), __LINE__, __FILE__, __VA_ARGS__)
#define XJ_LOG_INFO(...) XJ_LOG(LogLevel::Info, __VA_ARGS__)
#define XJ_LOG_WARN(...) XJ_LOG(LogLevel::Warn, __VA_ARGS__)
#define XJ_LOG_ERROR(...) XJ_LOG(LogLevel::Error, __VA_ARGS__)
