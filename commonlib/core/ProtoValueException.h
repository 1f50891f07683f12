// Thrown by ProtoValue accessors when the value does not hold what the caller asked for.
#pragma once

#include <string>
#include <utility>

#include "commonlib/core/Exception.h"

class ProtoValueException : public IException {
public:
    // Codes; append only.
    static constexpr DWORD kWrongType = 1;        // the accessor's type differs from the held one
    static constexpr DWORD kIndexOutOfRange = 2;  // an array index at or past the size

    ProtoValueException(const char* sourceFile, int line, DWORD code, std::wstring message)
        : IException(sourceFile, line, code, std::move(message)) {}
    ~ProtoValueException() override;
};
