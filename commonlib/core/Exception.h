// Base of the program's exceptions. Only the ProtoValue accessors and the file wrapper throw;
// everything else reports failure through its result.
//
// An exception carries where it was raised (source file and line), a numeric code whose meaning
// belongs to the concrete class, and a message. Objects are plain values: copyable, usable on
// any thread, and never thrown across a thread boundary.
#pragma once

#include <exception>
#include <string>

#include "platform/types/WinTypes.h"

class IException : public std::exception {
public:
    ~IException() override;

    // `sourceFile` is a string literal (__FILE__); it is not copied.
    const char* SourceFile() const { return m_sourceFile; }
    int Line() const { return m_line; }
    DWORD Code() const { return m_code; }
    const std::wstring& Message() const { return m_message; }

    // The message in UTF-8.
    const char* what() const noexcept override { return m_what.c_str(); }

protected:
    IException() = default;
    IException(const char* sourceFile, int line, DWORD code, std::wstring message);
    IException(const IException&) = default;
    IException& operator=(const IException&) = default;

    void Assign(const char* sourceFile, int line, DWORD code, std::wstring message);

private:
    const char* m_sourceFile = "";
    int m_line = 0;
    DWORD m_code = 0;
    std::wstring m_message;
    std::string m_what;
};

// Raises an exception of `Type` that records where it was thrown.
#define XJ_THROW(Type, code, message) throw Type(__FILE__, __LINE__, (code), (message))
