#include "commonlib/util/StringFormat.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <iterator>
#include <type_traits>
#include <vector>

#include "platform/strings/StringConv.h"

namespace {

// Widths and precisions come from format texts and int arguments; anything larger is a
// caller's mistake, and capping it keeps one bad format from asking for gigabytes.
constexpr int kMaxField = 1 << 20;

enum class Length { None, Char, Short, Long, LongLong, IntMax, Size, PtrDiff, LongDouble };

struct Spec {
    std::wstring flags;
    int width = 0;
    bool leftAlign = false;
    bool hasPrecision = false;
    int precision = 0;
    Length length = Length::None;
};

int ReadNumber(const wchar_t*& p) {
    int value = 0;
    while (*p >= L'0' && *p <= L'9') {
        if (value < kMaxField) value = value * 10 + (*p - L'0');
        ++p;
    }
    return value < kMaxField ? value : kMaxField;
}

Length ReadLength(const wchar_t*& p) {
    switch (*p) {
        case L'h':
            ++p;
            if (*p == L'h') {
                ++p;
                return Length::Char;
            }
            return Length::Short;
        case L'l':
            ++p;
            if (*p == L'l') {
                ++p;
                return Length::LongLong;
            }
            return Length::Long;
        case L'I':
            if (p[1] == L'6' && p[2] == L'4') {
                p += 3;
                return Length::LongLong;
            }
            return Length::None;
        case L'j':
            ++p;
            return Length::IntMax;
        case L'z':
            ++p;
            return Length::Size;
        case L't':
            ++p;
            return Length::PtrDiff;
        case L'L':
            ++p;
            return Length::LongDouble;
        default:
            return Length::None;
    }
}

void AppendPadded(std::wstring& out, std::wstring_view text, const Spec& spec) {
    const size_t width = static_cast<size_t>(spec.width);
    const size_t pad = width > text.size() ? width - text.size() : 0;
    if (!spec.leftAlign) out.append(pad, L' ');
    out.append(text);
    if (spec.leftAlign) out.append(pad, L' ');
}

// Formats one converted argument with the C library, which handles every numeric flag;
// only the argument type is normalised (`lengthAndConversion` matches `T`).
template <typename T>
void AppendNumber(std::wstring& out, const Spec& spec, const wchar_t* lengthAndConversion, T value) {
    std::wstring format = L"%" + spec.flags;
    if (spec.leftAlign) format += L'-';
    if (spec.width > 0) format += std::to_wstring(spec.width);
    if (spec.hasPrecision) format += L"." + std::to_wstring(spec.precision);
    format += lengthAndConversion;
    // swprintf cannot measure: it fails when the buffer is short, so grow and retry.
    std::vector<wchar_t> buffer(static_cast<size_t>(spec.width) + static_cast<size_t>(spec.precision) + 64);
    const size_t limit = buffer.size() + (size_t{1} << 16);
    for (;;) {
        const int written = std::swprintf(buffer.data(), buffer.size(), format.c_str(), value);
        if (written >= 0) {
            out.append(buffer.data(), static_cast<size_t>(written));
            return;
        }
        if (buffer.size() >= limit) return;
        buffer.resize(buffer.size() * 4);
    }
}

// Reads an integer argument of the given length; `Wide` (long long or unsigned long long)
// decides how the shorter ones extend.
template <typename Wide>
Wide ReadInteger(Length length, va_list& args) {
    constexpr bool kSigned = std::is_signed_v<Wide>;
    using Char = std::conditional_t<kSigned, signed char, unsigned char>;
    using Short = std::conditional_t<kSigned, short, unsigned short>;
    using Long = std::conditional_t<kSigned, long, unsigned long>;
    using IntMax = std::conditional_t<kSigned, intmax_t, uintmax_t>;
    using Int = std::conditional_t<kSigned, int, unsigned>;
    switch (length) {
        case Length::Char:
            return static_cast<Char>(va_arg(args, int));
        case Length::Short:
            return static_cast<Short>(va_arg(args, int));
        case Length::Long:
            return static_cast<Wide>(va_arg(args, Long));
        case Length::LongLong:
            return va_arg(args, Wide);
        case Length::IntMax:
            return static_cast<Wide>(va_arg(args, IntMax));
        case Length::Size:
            return static_cast<Wide>(va_arg(args, std::make_signed_t<size_t>));
        case Length::PtrDiff:
            return static_cast<Wide>(va_arg(args, ptrdiff_t));
        default:
            return static_cast<Wide>(va_arg(args, Int));
    }
}

template <typename Wide>
void AppendInteger(std::wstring& out, const Spec& spec, wchar_t conversion, va_list& args) {
    const wchar_t conv[] = {L'l', L'l', conversion, 0};
    AppendNumber(out, spec, conv, ReadInteger<Wide>(spec.length, args));
}

void AppendFloat(std::wstring& out, const Spec& spec, wchar_t conversion, va_list& args) {
    if (spec.length == Length::LongDouble) {
        const wchar_t conv[] = {L'L', conversion, 0};
        AppendNumber(out, spec, conv, va_arg(args, long double));
    } else {
        const wchar_t conv[] = {conversion, 0};
        AppendNumber(out, spec, conv, va_arg(args, double));
    }
}

void AppendString(std::wstring& out, const Spec& spec, bool narrow, va_list& args) {
    std::wstring text;
    if (narrow) {
        const char* s = va_arg(args, const char*);
        // The precision limits the characters shown, counted after the UTF-8 decoding.
        text = s ? platform::WideFromUtf8(s) : L"(null)";
    } else {
        const wchar_t* s = va_arg(args, const wchar_t*);
        if (!s) {
            text = L"(null)";
        } else if (spec.hasPrecision) {
            // The argument need not be terminated within the precision.
            text.assign(s, wcsnlen(s, static_cast<size_t>(spec.precision)));
        } else {
            text = s;
        }
    }
    if (spec.hasPrecision && text.size() > static_cast<size_t>(spec.precision)) text.resize(spec.precision);
    AppendPadded(out, text, spec);
}

void AppendChar(std::wstring& out, const Spec& spec, bool narrow, va_list& args) {
    std::wstring text;
    if (narrow) {
        const char c = static_cast<char>(va_arg(args, int));
        text = platform::WideFromUtf8(std::string_view(&c, 1));
    } else {
        text.assign(1, static_cast<wchar_t>(va_arg(args, wint_t)));
    }
    AppendPadded(out, text, spec);
}

}  // namespace

std::wstring FormatWV(const wchar_t* format, va_list args) {
    std::wstring out;
    if (!format) return out;
    // Each conversion takes its own argument in one pass, so the list is never reused
    // and no measuring pass is needed.
    va_list ap;
    va_copy(ap, args);
    const wchar_t* p = format;
    while (*p) {
        if (*p != L'%') {
            out.push_back(*p++);
            continue;
        }
        const wchar_t* start = p++;
        if (*p == L'%') {
            out.push_back(L'%');
            ++p;
            continue;
        }
        Spec spec;
        for (;; ++p) {
            if (*p == L'-') {
                spec.leftAlign = true;
            } else if (*p == L'+' || *p == L' ' || *p == L'#' || *p == L'0') {
                spec.flags.push_back(*p);
            } else {
                break;
            }
        }
        if (*p == L'*') {
            ++p;
            const int width = va_arg(ap, int);
            if (width < 0) spec.leftAlign = true;
            spec.width = width == INT32_MIN ? kMaxField : std::min(width < 0 ? -width : width, kMaxField);
        } else {
            spec.width = ReadNumber(p);
        }
        if (*p == L'.') {
            ++p;
            spec.hasPrecision = true;
            if (*p == L'*') {
                ++p;
                const int precision = va_arg(ap, int);
                spec.hasPrecision = precision >= 0;  // a negative precision counts as none
                spec.precision = std::min(std::max(precision, 0), kMaxField);
            } else {
                spec.precision = ReadNumber(p);
            }
        }
        spec.length = ReadLength(p);
        const wchar_t conversion = *p;
        if (conversion) ++p;
        switch (conversion) {
            case L'd':
            case L'i':
                AppendInteger<long long>(out, spec, conversion, ap);
                break;
            case L'u':
            case L'o':
            case L'x':
            case L'X':
                AppendInteger<unsigned long long>(out, spec, conversion, ap);
                break;
            case L'f':
            case L'F':
            case L'e':
            case L'E':
            case L'g':
            case L'G':
            case L'a':
            case L'A':
                AppendFloat(out, spec, conversion, ap);
                break;
            case L's':
                AppendString(out, spec, spec.length == Length::Short, ap);
                break;
            case L'S':
                AppendString(out, spec, spec.length != Length::Long, ap);
                break;
            case L'c':
                AppendChar(out, spec, spec.length == Length::Short, ap);
                break;
            case L'C':
                AppendChar(out, spec, spec.length != Length::Long, ap);
                break;
            case L'p':
                AppendNumber(out, spec, L"p", va_arg(ap, void*));
                break;
            case L'n':
                (void)va_arg(ap, void*);  // writing through a caller's pointer from a format is never wanted
                break;
            default:
                out.append(start, p);
                break;
        }
    }
    va_end(ap);
    return out;
}

std::wstring FormatW(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring text = FormatWV(format, args);
    va_end(args);
    return text;
}

std::wstring FormatByteSize(std::int64_t size, ByteSizeStyle style) {
    static const wchar_t* const kUnits[] = {L"B", L"KB", L"MB", L"GB", L"TB"};
    constexpr size_t kLastUnit = std::size(kUnits) - 1;
    double value = static_cast<double>(size);
    size_t unit = 0;
    while (value >= 1000 && unit < kLastUnit) {
        value /= 1024;
        ++unit;
    }
    const wchar_t* separator = style == ByteSizeStyle::SpacedUnit ? L" " : L"";
    return FormatW(unit == 0 ? L"%.0f%s%s" : L"%.2f%s%s", value, separator, kUnits[unit]);
}

std::wstring FormatTimeText(std::time_t when) {
    std::tm local{};
    if (!localtime_r(&when, &local)) return {};
    return FormatW(L"%d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                   local.tm_min, local.tm_sec);
}

std::wstring UIntToWString(unsigned value) {
    return std::to_wstring(value);
}
std::wstring IntToWString(int value) {
    return std::to_wstring(value);
}
std::string Int64ToString(std::int64_t value) {
    return std::to_string(static_cast<long long>(value));
}
std::wstring Int64ToWString(std::int64_t value) {
    return std::to_wstring(static_cast<long long>(value));
}
std::string IntToString(int value) {
    return std::to_string(value);
}
std::string UIntToString(unsigned value) {
    return std::to_string(value);
}
