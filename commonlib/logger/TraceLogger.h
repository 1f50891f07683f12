// The debugger-output logger. Linux has no debugger output channel, so the lines go to
// standard error when the environment variable XJ_TRACE_LOG is set to anything but ""
// or "0" when the logger is constructed (its first use, for the singleton), and nowhere
// otherwise. Lines carry no stamp: a developer reads them live.
//
// Reached through CSingleton<TraceLogger>::GetInstance; any thread may log.
#pragma once

#include "commonlib/logger/BaseLogger.h"

class TraceLogger : public BaseLogger {
public:
    TraceLogger();
    bool IsEnabled() const { return m_enabled; }

protected:
    void WriteLine(LogLevel level, const std::string& line) override;

private:
    bool m_enabled;
};
