#include "commonlib/logger/Log.h"

#include "commonlib/core/Singleton.h"
#include "commonlib/logger/FileLogger.h"
#include "commonlib/logger/TraceLogger.h"
#include "commonlib/util/StringFormat.h"
#include "platform/strings/StringConv.h"

namespace {

void LogToBoth(LogLevel level, int line, const char* sourceFile, const std::string& message) {
    CSingleton<FileLogger>::GetInstance().LogText(level, line, sourceFile, message);
    CSingleton<TraceLogger>::GetInstance().LogText(level, line, sourceFile, message);
}

}  // namespace

void LogToFileAndTrace(LogLevel level, int line, const char* sourceFile, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string message = platform::Utf8FromWide(FormatWV(format, args));
    va_end(args);
    LogToBoth(level, line, sourceFile, message);
}

void LogToFileAndTrace(LogLevel level, int line, const char* sourceFile, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string message = FormatNarrowV(format, args);
    va_end(args);
    LogToBoth(level, line, sourceFile, message);
}
