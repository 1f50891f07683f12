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

// Names compare without regard to case as on Windows: each character of the Basic
// Multilingual Plane is upper-cased on its own by Unicode's simple mapping (one
// character to one, "ß" stays), whatever the locale; other characters compare as
// they are. Lower-casing would not do: it makes the Kelvin sign equal to "k".
wchar_t ToUpperSimple(wchar_t c);
std::wstring ToUpperSimple(std::wstring_view text);
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);

// Host file names are bytes. As wide names, every byte that is not part of valid
// UTF-8, and the backslash (a separator in Windows form), become U+DC00 + byte:
// a lone surrogate that no valid text holds. So a listed name never changes
// meaning when joined into a Windows-form path, and converts back to the same
// bytes. Slashes pass through, so whole host paths convert too.
std::wstring WideFromHostName(std::string_view bytes);
// The reverse: U+DC5C and U+DC80..U+DCFF become their byte, any other invalid
// character U+FFFD, the rest UTF-8.
std::string HostNameFromWide(std::wstring_view name);

}  // namespace platform
