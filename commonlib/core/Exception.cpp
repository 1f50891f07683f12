#include "commonlib/core/Exception.h"

#include <utility>

#include "platform/strings/StringConv.h"

IException::~IException() = default;

IException::IException(const char* sourceFile, int line, DWORD code, std::wstring message) {
    Assign(sourceFile, line, code, std::move(message));
}

void IException::Assign(const char* sourceFile, int line, DWORD code, std::wstring message) {
    m_sourceFile = sourceFile ? sourceFile : "";
    m_line = line;
    m_code = code;
    m_message = std::move(message);
    m_what = platform::Utf8FromWide(m_message);
}
