// printf-style formatting into wide strings, and the fixed number, size and time texts.
//
// Pure functions, callable from any thread. Formats follow the Windows wide printf
// that the callers are written for, not glibc's: in FormatW, "%s" and "%c" take a
// wide string / wide character, "%S", "%hs", "%C" and "%hc" a narrow one (read as
// UTF-8, the program's ANSI code page), "%ls"/"%lc" stay wide and "%I64d" means "%lld".
// Nothing depends on the process locale. "%n" is consumed but never written through.
// A conversion the formatter does not know is copied to the output as written and takes
// no argument.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <ctime>
#include <string>

std::wstring FormatW(const wchar_t* format, ...);
// The same over an argument list. `args` itself is not consumed (the function reads a
// copy), so a caller may pass the same list again.
std::wstring FormatWV(const wchar_t* format, va_list args);

enum class ByteSizeStyle { Compact, SpacedUnit };
// "%.0fB" for less than 1000 bytes, else "%.2f" with KB, MB, GB or TB after dividing by
// 1024 while the value is 1000 or more (TB is the largest unit); SpacedUnit puts a blank
// before the unit.
std::wstring FormatByteSize(std::int64_t size, ByteSizeStyle style);
inline std::wstring FormatByteSize(std::int64_t size, bool spacedUnit) {
    return FormatByteSize(size, spacedUnit ? ByteSizeStyle::SpacedUnit : ByteSizeStyle::Compact);
}

// Local time as "YYYY-MM-DD hh:mm:ss" ("%d-%02d-%02d %02d:%02d:%02d"); empty when the
// time cannot be represented as a calendar date.
std::wstring FormatTimeText(std::time_t when);

std::wstring UIntToWString(unsigned value);
std::wstring IntToWString(int value);
std::string Int64ToString(std::int64_t value);
std::wstring Int64ToWString(std::int64_t value);
std::string IntToString(int value);
std::string UIntToString(unsigned value);
