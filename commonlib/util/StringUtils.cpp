#include "commonlib/util/StringUtils.h"

#include <algorithm>
#include <cwctype>
#include <limits>

#include "platform/strings/StringConv.h"

namespace {

bool IsCSpace(wchar_t c) {
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}

template <typename Int>
Int ParseDecimalSaturating(std::wstring_view text) {
    size_t i = 0;
    while (i < text.size() && IsCSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    // Accumulate towards the sign so that the most negative value needs no special case.
    constexpr Int kMax = std::numeric_limits<Int>::max();
    constexpr Int kMin = std::numeric_limits<Int>::min();
    Int value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        const Int digit = static_cast<Int>(text[i] - L'0');
        if (negative) {
            if (value < (kMin + digit) / 10) return kMin;
            value = value * 10 - digit;
        } else {
            if (value > (kMax - digit) / 10) return kMax;
            value = value * 10 + digit;
        }
    }
    return value;
}

template <typename Char>
std::vector<std::basic_string<Char>> Split(std::basic_string_view<Char> text, std::basic_string_view<Char> delimiter) {
    std::vector<std::basic_string<Char>> pieces;
    if (text.empty()) return pieces;
    if (delimiter.empty()) {
        pieces.emplace_back(text);
        return pieces;
    }
    size_t start = 0;
    for (;;) {
        const size_t found = text.find(delimiter, start);
        if (found == text.npos) {
            pieces.emplace_back(text.substr(start));
            return pieces;
        }
        pieces.emplace_back(text.substr(start, found - start));
        start = found + delimiter.size();
    }
}

}  // namespace

int WStringToInt(std::wstring_view text) {
    return ParseDecimalSaturating<int>(text);
}
std::int64_t WStringToInt64(std::wstring_view text) {
    return ParseDecimalSaturating<std::int64_t>(text);
}

std::wstring ToLowerW(std::wstring_view text) {
    std::wstring lower(text);
    for (wchar_t& c : lower)
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return lower;
}

bool EqualsNoCaseW(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return std::towlower(static_cast<wint_t>(x)) == std::towlower(static_cast<wint_t>(y));
           });
}

std::wstring TrimW(std::wstring_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsCSpace(text[begin]))
        ++begin;
    while (end > begin && IsCSpace(text[end - 1]))
        --end;
    return std::wstring(text.substr(begin, end - begin));
}

std::vector<std::wstring> SplitW(std::wstring_view text, std::wstring_view delimiter) {
    return Split(text, delimiter);
}
std::vector<std::wstring> SplitBySemicolonW(std::wstring_view text) {
    return Split(text, std::wstring_view(L";"));
}
std::vector<std::string> SplitBySemicolon(std::string_view text) {
    return Split(text, std::string_view(";"));
}

std::wstring SubstrFromLast(std::wstring_view text, std::wstring_view part) {
    if (part.empty()) return {};
    const size_t found = text.rfind(part);
    return found == text.npos ? std::wstring() : std::wstring(text.substr(found));
}

bool IsIPv4Text(std::wstring_view text) {
    if (text.empty()) return false;
    for (wchar_t c : text) {
        if (c != L'.' && (c < L'0' || c > L'9')) return false;
    }
    return true;
}

std::string WideToUtf8(std::wstring_view text) {
    return platform::Utf8FromWide(text);
}
std::string ToUtf8(std::wstring_view text) {
    return platform::Utf8FromWide(text);
}
std::wstring Utf8ToWide(std::string_view text) {
    return platform::WideFromUtf8(text);
}
std::wstring FromUtf8(std::string_view text) {
    return platform::WideFromUtf8(text);
}
std::string WideToAnsi(std::wstring_view text) {
    return platform::Utf8FromWide(text);
}
std::string ToAnsi(std::wstring_view text) {
    return platform::Utf8FromWide(text);
}
std::wstring AnsiToWide(std::string_view text) {
    return platform::WideFromUtf8(text);
}
std::wstring ToWide(std::string_view text) {
    return platform::WideFromUtf8(text);
}
