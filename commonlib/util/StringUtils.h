// Text helpers: number parsing, case, trimming, splitting and the string conversions.
//
// Pure functions, callable from any thread; none fails or throws. The program's "ANSI"
// code page is UTF-8 here, so the ANSI conversions are the UTF-8 ones and every
// character is representable. Invalid UTF-8 becomes U+FFFD.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Leading blanks, an optional sign, then decimal digits up to the first other character;
// 0 when there are none. Out-of-range values saturate at the type's limits, as the
// Windows C runtime's _wtoi / _wtoi64 do.
int WStringToInt(std::wstring_view text);
std::int64_t WStringToInt64(std::wstring_view text);

// The C runtime's wide lower-case mapping of the process locale; the program never
// changes the locale, so in practice only A-Z change.
std::wstring ToLowerW(std::wstring_view text);
// Equal once both are mapped as ToLowerW maps them.
bool EqualsNoCaseW(std::wstring_view a, std::wstring_view b);
// Removes the C white-space characters (space, \t, \n, \v, \f, \r) at both ends.
std::wstring TrimW(std::wstring_view text);

// The pieces between delimiters, in order, empty pieces included: "a;;b" gives
// {"a", "", "b"} and "a;" gives {"a", ""}. An empty text gives no pieces; an empty
// delimiter gives the whole text as the one piece.
std::vector<std::wstring> SplitW(std::wstring_view text, std::wstring_view delimiter);
std::vector<std::wstring> SplitBySemicolonW(std::wstring_view text);
std::vector<std::string> SplitBySemicolon(std::string_view text);

// The text from the last occurrence of `part` (included) to its end; empty when `part`
// does not occur or is empty.
std::wstring SubstrFromLast(std::wstring_view text, std::wstring_view part);

// True for a non-empty text of digits and dots only. This is a shape test, not a
// parse: "1.2" and "999.1.1.1" pass.
bool IsIPv4Text(std::wstring_view text);

std::string WideToUtf8(std::wstring_view text);
std::string ToUtf8(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view text);
std::wstring FromUtf8(std::string_view text);
std::string WideToAnsi(std::wstring_view text);
std::string ToAnsi(std::wstring_view text);
std::wstring AnsiToWide(std::string_view text);
std::wstring ToWide(std::string_view text);
