// The console logger: whole stamped lines on standard output.
//
// Reached through CSingleton<ConsoleLogger>::GetInstance; any thread may log.
#pragma once

#include "commonlib/logger/BaseLogger.h"

class ConsoleLogger : public BaseLogger {
public:
    ConsoleLogger() : BaseLogger(Stamp::Full) {}

protected:
    void WriteLine(LogLevel level, const std::string& line) override;
};
