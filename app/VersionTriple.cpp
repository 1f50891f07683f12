#include "app/VersionTriple.h"

#include <tuple>

#include "commonlib/util/StringFormat.h"

namespace {

constexpr long long kMaxComponent = 65534;

bool IsCSpace(wchar_t c) {
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}

void SkipSpace(std::wstring_view text, size_t& pos) {
    while (pos < text.size() && IsCSpace(text[pos]))
        ++pos;
}

// One "%d": blanks, an optional sign, at least one digit. A value too long to matter is
// capped above the accepted range instead of overflowing.
bool ReadDecimal(std::wstring_view text, size_t& pos, long long& value) {
    SkipSpace(text, pos);
    bool negative = false;
    if (pos < text.size() && (text[pos] == L'+' || text[pos] == L'-')) {
        negative = text[pos] == L'-';
        ++pos;
    }
    const size_t digits = pos;
    long long magnitude = 0;
    for (; pos < text.size() && text[pos] >= L'0' && text[pos] <= L'9'; ++pos) {
        if (magnitude <= kMaxComponent) magnitude = magnitude * 10 + (text[pos] - L'0');
    }
    if (pos == digits) return false;
    value = negative ? -magnitude : magnitude;
    return true;
}

bool ReadComponent(std::wstring_view text, size_t& pos, std::uint16_t& out) {
    long long value = 0;
    if (!ReadDecimal(text, pos, value) || value < 0 || value > kMaxComponent) return false;
    out = static_cast<std::uint16_t>(value);
    return true;
}

auto Key(const VersionTriple& v) {
    return std::make_tuple(v.major, v.minor, v.build, v.Revision());
}

}  // namespace

std::wstring VersionTriple::Text() const {
    return FormatW(L"%hu.%hu.%hu", major, minor, build);
}

VersionTriple ParseVersionTriple(std::wstring_view text) {
    VersionTriple version;
    size_t pos = 0;
    if (!ReadComponent(text, pos, version.major) || pos >= text.size() || text[pos++] != L'.' ||
        !ReadComponent(text, pos, version.minor) || pos >= text.size() || text[pos++] != L'.' ||
        !ReadComponent(text, pos, version.build)) {
        return {};
    }
    SkipSpace(text, pos);
    if (pos != text.size()) return {};
    version.mark = VersionTriple::kValidMark;
    return version;
}

bool CompareVersion(const VersionTriple& a, const VersionTriple& b) {
    return a.IsValid() && b.IsValid() && Key(a) < Key(b);
}

bool VersionAtMost(const VersionTriple& a, const VersionTriple& b) {
    return a.IsValid() && b.IsValid() && Key(a) <= Key(b);
}

bool VersionAtLeast(const VersionTriple& a, const VersionTriple& b) {
    return a.IsValid() && b.IsValid() && Key(a) >= Key(b);
}
