#include "commonlib/peer/DownloadLogging.h"

#include <cstdio>
#include <cstring>

void WriteDownloadLog(DownloadLogLevel level, const char* file, int line, const std::string& message) {
    const char* tag = level == DownloadLogLevel::Info ? "INFO" : level == DownloadLogLevel::Warn ? "WARN" : "ERRO";
    const char* slash = std::strrchr(file, '/');
    // FIXME: write through the file logger once the loggers are in.
    std::fprintf(stderr, "%s [%s:%d] %s\n", tag, slash ? slash + 1 : file, line, message.c_str());
}
