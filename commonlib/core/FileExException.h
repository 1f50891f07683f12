// The exception of the file wrapper. Its code is the system error code (the Windows number, as
// GetLastError gives it) of the call that failed.
//
// The wrapper's Open does not throw: it fills a caller's object through Set instead, so the
// class is default-constructible and can be filled after construction.
#pragma once

#include <string>
#include <utility>

#include "commonlib/core/Exception.h"

class CFileExException : public IException {
public:
    CFileExException() = default;
    CFileExException(const char* sourceFile, int line, DWORD systemError, std::wstring message)
        : IException(sourceFile, line, systemError, std::move(message)) {}
    ~CFileExException() override;

    void Set(const char* sourceFile, int line, DWORD systemError, std::wstring message) {
        Assign(sourceFile, line, systemError, std::move(message));
    }
};
