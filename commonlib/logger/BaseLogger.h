// The loggers' common part: levels, the line format and printf-style entry points.
//
// Any thread may log at any time; a logger formats on the caller's thread and hands one
// finished line to its sink (WriteLine), which serialises the output itself. No logger
// calls back into the program, so logging under one's own lock is safe. Logging never
// fails visibly: a line that cannot be written is dropped.
//
// A line is the level tag, the stamp (when the logger writes one), "[file:line]" (for
// LogAt; the source file's name without its folders) and the message:
//   INFO 2026-12-06 21:33:20.123 tick:12345678 pid:1234 tid:5 [MainApp.cpp:42] message
// The stamp is the local date and time with milliseconds, the tick count, the process id
// and the thread id. Wide formats follow FormatW (Windows printf: "%s" is a wide string);
// narrow formats follow the C library's printf and are UTF-8.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

#include "platform/types/WinTypes.h"

enum class LogLevel : int { Info = 0, Warn = 1, Error = 2 };

// "INFO", "WARN" or "ERRO".
const char* LogLevelTag(LogLevel level);

struct LogStamp {
    SYSTEMTIME localTime{};
    DWORD tick = 0;
    DWORD processId = 0;
    DWORD threadId = 0;

    static LogStamp Now();
};

// One finished line without a line end. `stamp` null: no stamp; `sourceFile` null: no
// "[file:line]".
std::string FormatLogLine(LogLevel level, const LogStamp* stamp, const char* sourceFile, int line,
                          std::string_view message);

class BaseLogger {
public:
    enum class Stamp { None, Full };

    virtual ~BaseLogger() = default;
    BaseLogger(const BaseLogger&) = delete;
    BaseLogger& operator=(const BaseLogger&) = delete;

    void LogAt(LogLevel level, int line, const char* sourceFile, const wchar_t* format, ...);
    void LogAt(LogLevel level, int line, const char* sourceFile, const char* format, ...)
        __attribute__((format(printf, 5, 6)));
    void Log(LogLevel level, const wchar_t* format, ...);
    void Log(LogLevel level, const char* format, ...) __attribute__((format(printf, 3, 4)));

    void LogAtV(LogLevel level, int line, const char* sourceFile, const wchar_t* format, va_list args);
    void LogAtV(LogLevel level, int line, const char* sourceFile, const char* format, va_list args);
    // An already formatted UTF-8 message.
    void LogText(LogLevel level, int line, const char* sourceFile, std::string_view message);

protected:
    explicit BaseLogger(Stamp stamp) : m_stamp(stamp) {}

    // Called on the logging thread with one whole line (no line end); may be called by
    // several threads at once.
    virtual void WriteLine(LogLevel level, const std::string& line) = 0;

private:
    Stamp m_stamp;
};

// printf into a UTF-8 string of any length. `args` is not consumed (a copy is read).
std::string FormatNarrowV(const char* format, va_list args);
