#include "commonlib/logger/TraceLogger.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool TraceSwitchedOn() {
    const char* value = std::getenv("XJ_TRACE_LOG");
    return value && *value && std::strcmp(value, "0") != 0;
}

}  // namespace

TraceLogger::TraceLogger() : BaseLogger(Stamp::None), m_enabled(TraceSwitchedOn()) {}

void TraceLogger::WriteLine(LogLevel, const std::string& line) {
    if (!m_enabled) return;
    const std::string whole = line + '\n';
    std::fwrite(whole.data(), 1, whole.size(), stderr);  // one call, so threads never split a line
}
