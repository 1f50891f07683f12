// The framework's wide string: short texts live in an inline buffer, longer ones on the heap.
//
// A plain value type with no thread affinity; a shared instance needs the caller's own lock.
// Positions and lengths are int, as the framework counts characters; a position or length
// outside the text is clamped, never read past. A null `const wchar_t*` counts as empty text.
// Allocation failure throws std::bad_alloc like the standard containers.
#pragma once

#include <string>
#include <string_view>

namespace SkinUI {

class CUIString {
public:
    // Characters that fit inline, not counting the terminator.
    static constexpr int kInlineCapacity = 31;
    // FormatShort never produces more characters than this.
    static constexpr int kFormatShortLimit = 128;

    CUIString();
    // `length` -1 takes the text up to its terminator; a larger length stops at the terminator.
    CUIString(const wchar_t* text, int length = -1);
    CUIString(wchar_t ch);
    CUIString(const std::wstring& text);
    explicit CUIString(std::wstring_view text);
    CUIString(const CUIString& other);
    CUIString(CUIString&& other) noexcept;
    ~CUIString();

    CUIString& operator=(const CUIString& other);
    CUIString& operator=(CUIString&& other) noexcept;
    CUIString& operator=(const wchar_t* text);
    CUIString& operator=(wchar_t ch);
    CUIString& operator=(const std::wstring& text);

    int Length() const { return m_length; }
    bool IsEmpty() const { return m_length == 0; }
    // Always terminated; valid until the next change.
    const wchar_t* Data() const { return m_data; }
    // L'\0' for a position outside the text.
    wchar_t operator[](int position) const;
    std::wstring_view View() const { return {m_data, static_cast<size_t>(m_length)}; }
    operator std::wstring_view() const { return View(); }
    std::wstring ToWString() const { return std::wstring(View()); }

    void Clear();
    void Assign(const wchar_t* text, int length = -1);
    void Append(const wchar_t* text, int length = -1);
    CUIString& operator+=(const CUIString& other);
    CUIString& operator+=(const wchar_t* text);
    CUIString& operator+=(wchar_t ch);

    bool operator==(const CUIString& other) const { return View() == other.View(); }
    bool operator==(const wchar_t* text) const;

    // Replaces the contents with printf-style output, cut to kFormatShortLimit characters.
    // Conversions follow the wide Windows runtime: %s and %c take wide arguments, %S and %hs
    // narrow ones, %I64d a 64-bit one. Returns the new length, or -1 (text cleared) when the
    // format cannot be rendered.
    int FormatShort(const wchar_t* format, ...);

    // First position of `text` at or after `start`, or -1; an empty text is never found.
    int IndexOf(const wchar_t* text, int start = 0) const;
    int IndexOf(wchar_t ch, int start = 0) const;
    // Up to `length` characters from `position` (-1 = to the end), clamped to the text.
    CUIString MiddlePart(int position, int length = -1) const;
    // Replaces every non-overlapping occurrence, scanning left to right; returns the count.
    // An empty `from` replaces nothing.
    int ReplaceAll(const wchar_t* from, const wchar_t* to);

private:
    void Reserve(int length);
    bool IsInline() const { return m_data == m_inline; }

    wchar_t* m_data;
    int m_length = 0;
    int m_capacity = kInlineCapacity;
    wchar_t m_inline[kInlineCapacity + 1];
};

CUIString operator+(const CUIString& left, const CUIString& right);
CUIString operator+(const CUIString& left, const wchar_t* right);
CUIString operator+(const wchar_t* left, const CUIString& right);

}  // namespace SkinUI
