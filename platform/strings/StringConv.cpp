#include "platform/strings/StringConv.h"

#include <algorithm>
#include <iterator>

namespace platform {
namespace {

constexpr char32_t kHostByteEscape = 0xDC00;

struct CaseRun {
    char16_t first;
    char16_t last;
    int32_t delta;
    uint8_t step;  // 2: only every other character of the run maps (upper and lower alternate)
};

constexpr CaseRun kUpperRuns[] = {
#include "platform/strings/CaseTable.inc"
};

bool IsValidScalar(char32_t c) {
    return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

// Length of the valid UTF-8 character at the front of `s`, its value in *c; 0 when invalid.
size_t DecodeUtf8Char(std::string_view s, char32_t* c) {
    const auto lead = static_cast<unsigned char>(s[0]);
    if (lead < 0x80) {
        *c = lead;
        return 1;
    }
    size_t len = 0;
    char32_t value = 0, min = 0;
    if ((lead & 0xE0) == 0xC0) {
        len = 2, value = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        len = 3, value = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        len = 4, value = lead & 0x07, min = 0x10000;
    }
    if (len == 0 || s.size() < len) return 0;
    for (size_t i = 1; i < len; ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if ((b & 0xC0) != 0x80) return 0;
        value = (value << 6) | (b & 0x3F);
    }
    if (value < min || !IsValidScalar(value)) return 0;
    *c = value;
    return len;
}

bool IsEscapedHostByte(char32_t c) {
    return c == kHostByteEscape + '\\' || (c >= kHostByteEscape + 0x80 && c <= kHostByteEscape + 0xFF);
}

}  // namespace

void AppendUtf8(std::string& out, char32_t c) {
    if (!IsValidScalar(c)) c = kReplacementChar;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

namespace {

template <typename Sink>
void EncodeUtf16(std::wstring_view text, Sink&& sink) {
    for (wchar_t w : text) {
        char32_t c = static_cast<char32_t>(w);
        if (!IsValidScalar(c)) c = kReplacementChar;
        if (c < 0x10000) {
            sink(static_cast<char16_t>(c));
        } else {
            c -= 0x10000;
            sink(static_cast<char16_t>(0xD800 + (c >> 10)));
            sink(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        }
    }
}

// Decodes UTF-16 units fetched by `unitAt(i)`, i < count.
template <typename UnitAt>
std::wstring DecodeUtf16(size_t count, UnitAt&& unitAt) {
    std::wstring out;
    out.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const char16_t u = unitAt(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < count) {
            const char16_t lo = unitAt(i + 1);
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                out += static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
                ++i;
                continue;
            }
        }
        out += (u >= 0xD800 && u <= 0xDFFF) ? static_cast<wchar_t>(kReplacementChar) : static_cast<wchar_t>(u);
    }
    return out;
}

}  // namespace

std::string Utf8FromWide(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t w : text)
        AppendUtf8(out, static_cast<char32_t>(w));
    return out;
}

std::wstring WideFromUtf8(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        const unsigned char b = s[i];
        if (b < 0x80) {
            out += static_cast<wchar_t>(b);
            ++i;
            continue;
        }
        size_t len = 0;
        char32_t c = 0;
        char32_t min = 0;
        if ((b & 0xE0) == 0xC0) {
            len = 2, c = b & 0x1F, min = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            len = 3, c = b & 0x0F, min = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            len = 4, c = b & 0x07, min = 0x10000;
        }
        size_t got = 1;
        if (len != 0) {
            while (got < len && i + got < n && (s[i + got] & 0xC0) == 0x80) {
                c = (c << 6) | (s[i + got] & 0x3F);
                ++got;
            }
        }
        if (len == 0 || got != len || c < min || !IsValidScalar(c)) {
            // One replacement per maximal invalid subsequence, then resync.
            out += static_cast<wchar_t>(kReplacementChar);
            i += got;
            continue;
        }
        out += static_cast<wchar_t>(c);
        i += len;
    }
    return out;
}

std::u16string Utf16FromWide(std::wstring_view text) {
    std::u16string out;
    out.reserve(text.size());
    EncodeUtf16(text, [&](char16_t u) { out += u; });
    return out;
}

std::wstring WideFromUtf16(std::u16string_view text) {
    return DecodeUtf16(text.size(), [&](size_t i) { return text[i]; });
}

std::string Utf16LeBytesFromWide(std::wstring_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    EncodeUtf16(text, [&](char16_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    });
    return out;
}

std::wstring WideFromUtf16LeBytes(std::string_view bytes) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    std::wstring out =
        DecodeUtf16(bytes.size() / 2, [&](size_t i) { return static_cast<char16_t>(b[2 * i] | (b[2 * i + 1] << 8)); });
    if (bytes.size() % 2 != 0) out += static_cast<wchar_t>(kReplacementChar);
    return out;
}

int CompareUtf16Order(std::wstring_view a, std::wstring_view b) {
    // Below U+D800 and in U+E000..U+FFFF the code point order is the code unit order;
    // only supplementary characters (encoded as D800..DBFF) move below U+E000.
    auto key = [](wchar_t w) -> uint32_t {
        const auto c = static_cast<uint32_t>(w);
        if (c >= 0x10000) return 0xD800 + ((c - 0x10000) >> 10);
        return c;
    };
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        if (a[i] == b[i]) continue;
        const uint32_t ka = key(a[i]);
        const uint32_t kb = key(b[i]);
        if (ka != kb) return ka < kb ? -1 : 1;
        // Same high surrogate: the low surrogates order as the code points do.
        return static_cast<uint32_t>(a[i]) < static_cast<uint32_t>(b[i]) ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

wchar_t ToUpperSimple(wchar_t c) {
    const auto code = static_cast<char32_t>(c);
    if (code < 0x80) return code >= 'a' && code <= 'z' ? static_cast<wchar_t>(code - 32) : c;
    if (code > 0xFFFF) return c;
    const auto run = std::upper_bound(std::begin(kUpperRuns), std::end(kUpperRuns), code,
                                      [](char32_t value, const CaseRun& r) { return value < r.first; });
    if (run == std::begin(kUpperRuns)) return c;
    const CaseRun& r = *std::prev(run);
    if (code > r.last || (code - r.first) % r.step != 0) return c;
    return static_cast<wchar_t>(static_cast<int32_t>(code) + r.delta);
}

std::wstring ToUpperSimple(std::wstring_view text) {
    std::wstring out(text);
    for (auto& c : out)
        c = ToUpperSimple(c);
    return out;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && ToUpperSimple(a[i]) != ToUpperSimple(b[i])) return false;
    }
    return true;
}

std::wstring WideFromHostName(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        char32_t c = 0;
        const size_t len = DecodeUtf8Char(bytes.substr(i), &c);
        if (len == 0 || c == '\\') {
            out += static_cast<wchar_t>(kHostByteEscape + static_cast<unsigned char>(bytes[i]));
            ++i;
        } else {
            out += static_cast<wchar_t>(c);
            i += len;
        }
    }
    return out;
}

std::string HostNameFromWide(std::wstring_view name) {
    std::string out;
    out.reserve(name.size());
    for (wchar_t w : name) {
        const auto c = static_cast<char32_t>(w);
        if (IsEscapedHostByte(c)) {
            out += static_cast<char>(c - kHostByteEscape);
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

}  // namespace platform
