#include "commonlib/logger/BaseLogger.h"

#include <cstdio>
#include <vector>

#include "commonlib/util/StringFormat.h"
#include "platform/strings/StringConv.h"
#include "platform/sync/Clock.h"
#include "platform/sync/Thread.h"

namespace {

// __FILE__ carries the build machine's folders; the name alone identifies the source.
const char* FileNameOnly(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; ++p) {
        if (*p == '/' || *p == '\\') name = p + 1;
    }
    return name;
}

}  // namespace

const char* LogLevelTag(LogLevel level) {
    switch (level) {
        case LogLevel::Info:
            return "INFO";
        case LogLevel::Warn:
            return "WARN";
        case LogLevel::Error:
            break;
    }
    return "ERRO";  // an out-of-range level is shown as the most severe, never dropped
}

LogStamp LogStamp::Now() {
    LogStamp stamp;
    GetLocalTime(&stamp.localTime);
    stamp.tick = GetTickCount();
    stamp.processId = GetCurrentProcessId();
    stamp.threadId = GetCurrentThreadId();
    return stamp;
}

std::string FormatLogLine(LogLevel level, const LogStamp* stamp, const char* sourceFile, int line,
                          std::string_view message) {
    std::string out = LogLevelTag(level);
    char buffer[160];
    if (stamp) {
        const SYSTEMTIME& t = stamp->localTime;
        std::snprintf(buffer, sizeof buffer, " %04u-%02u-%02u %02u:%02u:%02u.%03u tick:%u pid:%u tid:%u", t.wYear,
                      t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds, stamp->tick, stamp->processId,
                      stamp->threadId);
        out += buffer;
    }
    if (sourceFile) {
        std::snprintf(buffer, sizeof buffer, " [%s:%d]", FileNameOnly(sourceFile), line);
        out += buffer;
    }
    out += ' ';
    out += message;
    return out;
}

std::string FormatNarrowV(const char* format, va_list args) {
    if (!format) return {};
    std::vector<char> buffer(256);
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        const int needed = std::vsnprintf(buffer.data(), buffer.size(), format, copy);
        va_end(copy);
        if (needed < 0) return {};
        if (static_cast<size_t>(needed) < buffer.size()) return std::string(buffer.data(), needed);
        buffer.resize(static_cast<size_t>(needed) + 1);
    }
}

void BaseLogger::LogAtV(LogLevel level, int line, const char* sourceFile, const wchar_t* format, va_list args) {
    LogText(level, line, sourceFile, platform::Utf8FromWide(FormatWV(format, args)));
}

void BaseLogger::LogAtV(LogLevel level, int line, const char* sourceFile, const char* format, va_list args) {
    LogText(level, line, sourceFile, FormatNarrowV(format, args));
}

void BaseLogger::LogText(LogLevel level, int line, const char* sourceFile, std::string_view message) {
    LogStamp stamp;
    if (m_stamp == Stamp::Full) stamp = LogStamp::Now();
    WriteLine(level, FormatLogLine(level, m_stamp == Stamp::Full ? &stamp : nullptr, sourceFile, line, message));
}

void BaseLogger::LogAt(LogLevel level, int line, const char* sourceFile, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    LogAtV(level, line, sourceFile, format, args);
    va_end(args);
}

void BaseLogger::LogAt(LogLevel level, int line, const char* sourceFile, const char* format, ...) {
    va_list args;
    va_start(args, format);
    LogAtV(level, line, sourceFile, format, args);
    va_end(args);
}

void BaseLogger::Log(LogLevel level, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    LogAtV(level, 0, nullptr, format, args);
    va_end(args);
}

void BaseLogger::Log(LogLevel level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    LogAtV(level, 0, nullptr, format, args);
    va_end(args);
}
