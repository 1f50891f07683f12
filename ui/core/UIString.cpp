#include "ui/core/UIString.h"

#include <cstdarg>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <limits>
#include <memory>
#include <new>

namespace SkinUI {

namespace {

int TextLength(const wchar_t* text, int length) {
    if (text == nullptr) return 0;
    if (length < 0) {
        const size_t full = std::wcslen(text);
        if (full > static_cast<size_t>(std::numeric_limits<int>::max())) throw std::bad_alloc();
        return static_cast<int>(full);
    }
    // A given length never runs past the terminator.
    int n = 0;
    while (n < length && text[n] != L'\0')
        ++n;
    return n;
}

bool IsFlag(wchar_t c) {
    return c == L'-' || c == L'+' || c == L' ' || c == L'#' || c == L'0' || c == L'\'';
}
bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

// Whether every conversion of `format` is a plain %d or %%.
bool OnlyPlainIntegers(const wchar_t* format) {
    for (const wchar_t* p = format; *p != L'\0'; ++p) {
        if (*p != L'%') continue;
        ++p;
        if (*p != L'd' && *p != L'%') return false;
    }
    return true;
}

// Rewrites a Windows wide-runtime format for glibc's wide printf, where an unqualified
// %s or %c means a narrow argument. Everything outside conversions is copied unchanged.
std::wstring TranslateFormat(const wchar_t* format) {
    std::wstring out;
    const wchar_t* p = format;
    while (*p != L'\0') {
        if (*p != L'%') {
            out.push_back(*p++);
            continue;
        }
        out.push_back(*p++);
        if (*p == L'%') {
            out.push_back(*p++);
            continue;
        }
        while (IsFlag(*p))
            out.push_back(*p++);
        // Width, then precision: each '*' or digits.
        const auto copyCount = [&out, &p] {
            if (*p == L'*') {
                out.push_back(*p++);
                return;
            }
            while (IsDigit(*p))
                out.push_back(*p++);
        };
        copyCount();
        if (*p == L'.') {
            out.push_back(*p++);
            copyCount();
        }
        // Length modifiers, with the Windows-only ones mapped to their glibc spelling.
        std::wstring length;
        bool narrow = false;
        for (;;) {
            if (p[0] == L'I' && p[1] == L'6' && p[2] == L'4') {
                length += L"ll";
                p += 3;
            } else if (p[0] == L'I' && p[1] == L'3' && p[2] == L'2') {
                p += 3;
            } else if (*p == L'I') {
                length += L"z";
                ++p;
            } else if (*p == L'h' || *p == L'l' || *p == L'L' || *p == L'q' || *p == L'j' || *p == L'z' || *p == L't' ||
                       *p == L'w') {
                if (*p == L'h') narrow = true;
                length.push_back(*p == L'w' ? L'l' : *p);
                ++p;
            } else {
                break;
            }
        }
        const wchar_t conversion = *p;
        if (conversion == L'\0') {
            out += length;
            break;
        }
        ++p;
        if (conversion == L's' || conversion == L'c') {
            // Windows wide runtime: unqualified means wide, 'h' means narrow.
            out += narrow ? std::wstring() : std::wstring(L"l");
            out.push_back(conversion);
        } else if (conversion == L'S' || conversion == L'C') {
            out.push_back(conversion == L'S' ? L's' : L'c');
        } else {
            out += length;
            out.push_back(conversion);
        }
    }
    return out;
}

}  // namespace

CUIString::CUIString() : m_data(m_inline) {
    m_inline[0] = L'\0';
}

CUIString::CUIString(const wchar_t* text, int length) : CUIString() {
    Assign(text, length);
}

CUIString::CUIString(wchar_t ch) : CUIString() {
    Assign(&ch, 1);
}

CUIString::CUIString(const std::wstring& text) : CUIString(std::wstring_view(text)) {}

CUIString::CUIString(std::wstring_view text) : CUIString() {
    if (text.size() > static_cast<size_t>(std::numeric_limits<int>::max() - 1)) throw std::bad_alloc();
    const int n = static_cast<int>(text.size());
    Reserve(n);
    std::wmemcpy(m_data, text.data(), text.size());
    m_length = n;
    m_data[n] = L'\0';
}

CUIString::CUIString(const CUIString& other) : CUIString(other.View()) {}

CUIString::CUIString(CUIString&& other) noexcept : CUIString() {
    *this = std::move(other);
}

CUIString::~CUIString() {
    if (!IsInline()) delete[] m_data;
}

CUIString& CUIString::operator=(const CUIString& other) {
    if (this != &other) Assign(other.m_data, other.m_length);
    return *this;
}

CUIString& CUIString::operator=(CUIString&& other) noexcept {
    if (this == &other) return *this;
    if (other.IsInline()) {
        // Fits our own inline buffer or the heap block we already have; no allocation needed.
        std::wmemcpy(m_data, other.m_data, static_cast<size_t>(other.m_length) + 1);
        m_length = other.m_length;
    } else {
        if (!IsInline()) delete[] m_data;
        m_data = other.m_data;
        m_length = other.m_length;
        m_capacity = other.m_capacity;
        other.m_data = other.m_inline;
        other.m_capacity = kInlineCapacity;
    }
    other.m_length = 0;
    other.m_data[0] = L'\0';
    return *this;
}

CUIString& CUIString::operator=(const wchar_t* text) {
    Assign(text);
    return *this;
}

CUIString& CUIString::operator=(wchar_t ch) {
    Assign(&ch, 1);
    return *this;
}

CUIString& CUIString::operator=(const std::wstring& text) {
    *this = CUIString(text);
    return *this;
}

wchar_t CUIString::operator[](int position) const {
    if (position < 0 || position >= m_length) return L'\0';
    return m_data[position];
}

void CUIString::Reserve(int length) {
    if (length <= m_capacity) return;
    int capacity = m_capacity;
    while (capacity < length) {
        capacity =
            capacity > std::numeric_limits<int>::max() / 2 - 1 ? std::numeric_limits<int>::max() - 1 : capacity * 2 + 1;
    }
    auto* block = new wchar_t[static_cast<size_t>(capacity) + 1];
    std::wmemcpy(block, m_data, static_cast<size_t>(m_length) + 1);
    if (!IsInline()) delete[] m_data;
    m_data = block;
    m_capacity = capacity;
}

void CUIString::Clear() {
    m_length = 0;
    m_data[0] = L'\0';
}

void CUIString::Assign(const wchar_t* text, int length) {
    const int n = TextLength(text, length);
    if (text != nullptr && text >= m_data && text <= m_data + m_length) {
        // Assigning a part of ourselves: the source stays valid only without reallocation.
        std::wmemmove(m_data, text, static_cast<size_t>(n));
    } else {
        Reserve(n);
        if (n > 0) std::wmemcpy(m_data, text, static_cast<size_t>(n));
    }
    m_length = n;
    m_data[n] = L'\0';
}

void CUIString::Append(const wchar_t* text, int length) {
    const int n = TextLength(text, length);
    if (n == 0) return;
    if (n > std::numeric_limits<int>::max() - 1 - m_length) throw std::bad_alloc();
    if (text >= m_data && text <= m_data + m_length) {
        // Appending a part of ourselves: copy it out before the buffer may move.
        const std::wstring copy(text, static_cast<size_t>(n));
        Append(copy.data(), n);
        return;
    }
    Reserve(m_length + n);
    std::wmemcpy(m_data + m_length, text, static_cast<size_t>(n));
    m_length += n;
    m_data[m_length] = L'\0';
}

CUIString& CUIString::operator+=(const CUIString& other) {
    Append(other.m_data, other.m_length);
    return *this;
}

CUIString& CUIString::operator+=(const wchar_t* text) {
    Append(text);
    return *this;
}

CUIString& CUIString::operator+=(wchar_t ch) {
    Append(&ch, 1);
    return *this;
}

bool CUIString::operator==(const wchar_t* text) const {
    if (text == nullptr) return m_length == 0;
    return View() == std::wstring_view(text);
}

int CUIString::FormatShort(const wchar_t* format, ...) {
    Clear();
    if (format == nullptr) return 0;
    // Formats of text and plain %d alone (a percentage, an image's place) are written here:
    // the wide printf cost more than the paint that uses the text.
    if (OnlyPlainIntegers(format)) {
        wchar_t out[kFormatShortLimit];
        int length = 0;
        auto put = [&](wchar_t c) {
            if (length < kFormatShortLimit) out[length++] = c;
        };
        va_list args;
        va_start(args, format);
        for (const wchar_t* p = format; *p != L'\0'; ++p) {
            if (*p != L'%') {
                put(*p);
            } else if (*++p == L'%') {
                put(L'%');
            } else {
                const long long value = va_arg(args, int);
                unsigned long long magnitude = value < 0 ? 0ull - static_cast<unsigned long long>(value) : value;
                wchar_t digits[24];
                int count = 0;
                do {
                    digits[count++] = static_cast<wchar_t>(L'0' + magnitude % 10);
                    magnitude /= 10;
                } while (magnitude != 0);
                if (value < 0) put(L'-');
                while (count > 0)
                    put(digits[--count]);
            }
        }
        va_end(args);
        Assign(out, length);
        return m_length;
    }
    const std::wstring translated = TranslateFormat(format);
    // glibc's vswprintf reports overflow and errors alike as -1, so retry with room to spare
    // before deciding the format itself is bad; the result is cut to the limit afterwards.
    // The first buffer is left uninitialised: paints format image modifiers, and zeroing
    // it cost more than the formatting.
    wchar_t first[1024];
    std::unique_ptr<wchar_t[]> second;
    for (size_t room : {std::size(first), size_t{64 * 1024}}) {
        wchar_t* buffer = first;
        if (room != std::size(first)) {
            second.reset(new wchar_t[room]);
            buffer = second.get();
        }
        va_list args;
        va_start(args, format);
        const int written = std::vswprintf(buffer, room, translated.c_str(), args);
        va_end(args);
        if (written >= 0) {
            Assign(buffer, written < kFormatShortLimit ? written : kFormatShortLimit);
            return m_length;
        }
    }
    return -1;
}

int CUIString::IndexOf(const wchar_t* text, int start) const {
    if (text == nullptr || text[0] == L'\0' || start < 0 || start > m_length) return -1;
    const size_t found = View().find(text, static_cast<size_t>(start));
    return found == std::wstring_view::npos ? -1 : static_cast<int>(found);
}

int CUIString::IndexOf(wchar_t ch, int start) const {
    if (start < 0 || start >= m_length) return -1;
    const size_t found = View().find(ch, static_cast<size_t>(start));
    return found == std::wstring_view::npos ? -1 : static_cast<int>(found);
}

CUIString CUIString::MiddlePart(int position, int length) const {
    if (position < 0) position = 0;
    if (position > m_length) position = m_length;
    const int rest = m_length - position;
    if (length < 0 || length > rest) length = rest;
    return CUIString(m_data + position, length);
}

int CUIString::ReplaceAll(const wchar_t* from, const wchar_t* to) {
    if (from == nullptr || from[0] == L'\0' || m_length == 0) return 0;
    const std::wstring_view needle(from);
    const std::wstring_view replacement = to == nullptr ? std::wstring_view() : std::wstring_view(to);
    std::wstring result;
    int count = 0;
    size_t position = 0;
    const std::wstring_view text = View();
    for (;;) {
        const size_t found = text.find(needle, position);
        if (found == std::wstring_view::npos) break;
        result.append(text.substr(position, found - position));
        result.append(replacement);
        position = found + needle.size();
        ++count;
    }
    if (count == 0) return 0;
    result.append(text.substr(position));
    *this = CUIString(std::wstring_view(result));
    return count;
}

CUIString operator+(const CUIString& left, const CUIString& right) {
    CUIString result(left);
    result += right;
    return result;
}

CUIString operator+(const CUIString& left, const wchar_t* right) {
    CUIString result(left);
    result += right;
    return result;
}

CUIString operator+(const wchar_t* left, const CUIString& right) {
    CUIString result(left);
    result += right;
    return result;
}

}  // namespace SkinUI
