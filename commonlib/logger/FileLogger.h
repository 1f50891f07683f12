// The file logger: stamped lines written as encrypted records (LogFileFormat.h) to the
// log file, and the reader that turns such a file back into lines.
//
// Reached through CSingleton<FileLogger>::GetInstance. Any thread may log, Open and
// Close at any time: one lock guards the file and covers only the write itself, so a
// line goes either wholly into the file it was logged to or nowhere. Until Open
// succeeds, and after Close, lines are dropped. A record whose write fails is cut off
// again, so a full disk never leaves half a record before later ones.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "commonlib/logger/BaseLogger.h"

class FileLogger : public BaseLogger {
public:
    FileLogger();
    ~FileLogger() override;

    // Closes any open log file, then creates or truncates `path` (Windows form) and
    // logs to it from now on. False, and the logger stays closed, when the file cannot
    // be created or its header written (the thread's last error tells why).
    bool Open(const std::wstring& path);
    void Close();
    bool IsOpen() const;

protected:
    void WriteLine(LogLevel level, const std::string& line) override;

private:
    void CloseLocked();

    mutable std::mutex m_mutex;
    HANDLE m_file;
    ULONGLONG m_end = 0;  // just past the last whole record
};

// Reads a log file (Windows-form path) back into its lines. True when the whole file
// was read and decoded; false for a missing or unreadable file, one that is not a log
// file, or one that ends in a damaged or cut record. Either way `lines` receives every
// whole record before the fault.
bool ReadLogFile(const std::wstring& path, std::vector<std::string>* lines);
