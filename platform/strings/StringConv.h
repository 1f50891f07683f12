// Conversions between the program's wide strings (UTF-32 here) and UTF-8 / UTF-16.
//
// Invalid input (broken UTF-8, lone surrogates, code points past U+10FFFF)
// becomes U+FFFD; no conversion ever fails or throws.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

inline constexpr char32_t kReplacementChar = 0xFFFD;

std::string Utf8FromWide(std::wstring_view text);
// Appends one character as UTF-8 (an invalid one as U+FFFD).
void AppendUtf8(std::string& out, char32_t c);
std::wstring WideFromUtf8(std::string_view text);

std::u16string Utf16FromWide(std::wstring_view text);
std::wstring WideFromUtf16(std::u16string_view text);

// UTF-16LE bytes without a byte order mark; an odd trailing byte becomes U+FFFD.
std::string Utf16LeBytesFromWide(std::wstring_view text);
std::wstring WideFromUtf16LeBytes(std::string_view bytes);

// Orders two wide strings as their UTF-16 encodings compare code unit by code unit
// (characters past U+FFFF sort as their surrogates, below U+E000..U+FFFF).
int CompareUtf16Order(std::wstring_view a, std::wstring_view b);

// Windows-style case-insensitive comparison for ASCII and the C library's wide mapping.
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);

}  // namespace platform
