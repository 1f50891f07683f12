#include "ui/core/AttributeText.h"

#include <cstdint>
#include <limits>

namespace SkinUI {

namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

size_t SkipBlanks(std::wstring_view text, size_t at) {
    while (at < text.size() && IsBlank(text[at]))
        ++at;
    return at;
}

// Reads an optionally signed decimal number at `*at` (after blanks); advances past it.
bool ReadNumber(std::wstring_view text, size_t* at, LONG* value) {
    size_t i = SkipBlanks(text, *at);
    bool negative = false;
    if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) {
        negative = text[i] == L'-';
        ++i;
    }
    const size_t digitsStart = i;
    int64_t number = 0;
    while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') {
        number = number * 10 + (text[i] - L'0');
        if (number > static_cast<int64_t>(std::numeric_limits<LONG>::max()) + 1) return false;
        ++i;
    }
    if (i == digitsStart) return false;
    if (negative) number = -number;
    if (number > std::numeric_limits<LONG>::max() || number < std::numeric_limits<LONG>::min()) return false;
    *value = static_cast<LONG>(number);
    *at = i;
    return true;
}

bool ReadNumbers(std::wstring_view text, LONG* values, int count) {
    size_t at = 0;
    for (int n = 0; n < count; ++n) {
        if (n > 0) {
            // Exactly one separator character, whatever it is.
            if (at >= text.size()) return false;
            ++at;
        }
        if (!ReadNumber(text, &at, &values[n])) return false;
    }
    return SkipBlanks(text, at) == text.size();
}

}  // namespace

bool CAttributeReader::Fail(size_t where) {
    m_failed = true;
    m_errorOffset = where;
    m_at = m_text.size();
    return false;
}

bool CAttributeReader::Next(std::wstring_view* name, std::wstring_view* value) {
    if (m_failed) return false;
    size_t at = SkipBlanks(m_text, m_at);
    if (at == m_text.size()) {
        m_at = at;
        return false;
    }
    const size_t nameStart = at;
    while (at < m_text.size() && !IsBlank(m_text[at]) && m_text[at] != L'=' && m_text[at] != L'"' &&
           m_text[at] != L'\'') {
        ++at;
    }
    if (at == nameStart) return Fail(nameStart);
    *name = m_text.substr(nameStart, at - nameStart);
    at = SkipBlanks(m_text, at);
    if (at == m_text.size() || m_text[at] != L'=') return Fail(at);
    at = SkipBlanks(m_text, at + 1);
    if (at == m_text.size() || (m_text[at] != L'"' && m_text[at] != L'\'')) return Fail(at);
    const wchar_t quote = m_text[at];
    const size_t valueStart = at++;
    // Mostly a plain view of the text; only a doubled quote needs a copy.
    bool copied = false;
    size_t plainFrom = at;
    for (;;) {
        const size_t end = m_text.find(quote, at);
        if (end == std::wstring_view::npos) return Fail(valueStart);  // unterminated value
        if (end + 1 < m_text.size() && m_text[end + 1] == quote) {    // a doubled quote stands for one
            if (!copied) m_unescaped.clear();
            copied = true;
            m_unescaped.append(m_text.substr(at, end + 1 - at));
            at = end + 2;
            continue;
        }
        if (copied) {
            m_unescaped.append(m_text.substr(at, end - at));
            *value = m_unescaped;
        } else {
            *value = m_text.substr(plainFrom, end - plainFrom);
        }
        at = end + 1;
        break;
    }
    // Pairs need a blank between them; name="a"x="b" is a typo, not two attributes.
    if (at < m_text.size() && !IsBlank(m_text[at])) return Fail(at);
    m_at = at;
    return true;
}

bool ParseAttributeText(std::wstring_view text, std::vector<UIAttribute>* out, size_t* errorOffset) {
    out->clear();
    CAttributeReader reader(text);
    std::wstring_view name, value;
    while (reader.Next(&name, &value))
        out->push_back(UIAttribute{std::wstring(name), std::wstring(value)});
    if (!reader.Failed()) return true;
    if (errorOffset != nullptr) *errorOffset = reader.ErrorOffset();
    return false;
}

bool ParseColor(std::wstring_view text, DWORD* argb) {
    if (!text.empty() && text.front() == L'#') text.remove_prefix(1);
    if (text.empty() || text.size() > 8) return false;
    DWORD value = 0;
    for (wchar_t c : text) {
        DWORD digit;
        if (c >= L'0' && c <= L'9') {
            digit = static_cast<DWORD>(c - L'0');
        } else if (c >= L'a' && c <= L'f') {
            digit = static_cast<DWORD>(c - L'a' + 10);
        } else if (c >= L'A' && c <= L'F') {
            digit = static_cast<DWORD>(c - L'A' + 10);
        } else {
            return false;
        }
        value = (value << 4) | digit;
    }
    *argb = value;
    return true;
}

bool ParseRect(std::wstring_view text, RECT* rect) {
    LONG values[4];
    if (!ReadNumbers(text, values, 4)) return false;
    *rect = RECT{values[0], values[1], values[2], values[3]};
    return true;
}

bool ParseSize(std::wstring_view text, SIZE* size) {
    LONG values[2];
    if (!ReadNumbers(text, values, 2)) return false;
    *size = SIZE{values[0], values[1]};
    return true;
}

bool ParseInt(std::wstring_view text, int* value) {
    LONG number = 0;
    if (!ReadNumbers(text, &number, 1)) return false;
    *value = static_cast<int>(number);
    return true;
}

bool ParseBool(std::wstring_view text) {
    return text == L"true";
}

}  // namespace SkinUI
