#include "commonlib/logger/ConsoleLogger.h"

#include <cstdio>

void ConsoleLogger::WriteLine(LogLevel, const std::string& line) {
    const std::string whole = line + '\n';
    std::fwrite(whole.data(), 1, whole.size(), stdout);  // one call, so threads never split a line
    std::fflush(stdout);
}
