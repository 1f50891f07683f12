#include "app/ClientFiles.h"

#include "commonlib/core/FileEx.h"
#include "commonlib/logger/Log.h"

namespace {

// Lines longer than this are cut, and no more than kMaxRead bytes are looked at: no client
// file holds anything near either.
constexpr size_t kMaxLine = 64 * 1024;
constexpr size_t kMaxRead = 1024 * 1024;
constexpr size_t kVersionKeyLength = 8;  // "Version="

// The first `count` lines of the file, each without its line end (a CR before the line
// feed included); false when the file cannot be opened or read.
bool ReadLines(const std::wstring& path, size_t count, std::string* lines) {
    CFileEx file;
    if (!file.Open(path, 0)) return false;
    try {
        size_t line = 0;
        size_t total = 0;
        char buffer[4096];
        while (line < count && total < kMaxRead) {
            const UINT read = file.Read(buffer, sizeof buffer);
            if (read == 0) break;
            total += read;
            for (UINT i = 0; i < read && line < count; ++i) {
                if (buffer[i] == '\n') {
                    ++line;
                } else if (lines[line].size() < kMaxLine) {
                    lines[line] += buffer[i];
                }
            }
        }
    } catch (const CFileExException&) {
        return false;
    }
    for (size_t i = 0; i < count; ++i) {
        if (!lines[i].empty() && lines[i].back() == '\r') lines[i].pop_back();
    }
    return true;
}

}  // namespace

bool ReadTgIdFile(const std::wstring& installDir, std::string& out) {
    std::string line;
    if (!ReadLines(installDir + L"\\tg.id", 1, &line)) {
        XJ_LOG_INFO("打开tg.id文件失败");
        return false;
    }
    out = line;
    return true;
}

bool ReadClientVersionIni(const std::wstring& installDir, std::string& out) {
    std::string lines[2];
    if (!ReadLines(installDir + L"\\rkupdate.ini", 2, lines)) {
        XJ_LOG_INFO("打开rkupdate.ini文件失败");
        return false;
    }
    if (lines[1].size() < kVersionKeyLength) return false;
    out = lines[1].substr(kVersionKeyLength);
    return true;
}
