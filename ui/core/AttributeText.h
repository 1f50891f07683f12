// Parsers for the texts of skin attributes: name="value" lists, colours, rectangles, sizes
// and booleans.
//
// Pure functions, callable from any thread. A parser that fails returns false and leaves its
// output as described below, so the caller keeps its previous value.
//
// Attribute list syntax: pairs separated by blanks (space, tab, CR, LF); each pair is a name,
// '=' and a value in double quotes or apostrophes; blanks around '=' are allowed. Inside a
// value the other quote is ordinary text (so bkimage="file='a.png'" works), and the value's
// own quote is written twice ("say ""hi""" is say "hi"). Backslashes are ordinary text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types/WinTypes.h"

namespace SkinUI {

struct UIAttribute {
    std::wstring name;
    std::wstring value;
};

// Reads the pairs of an attribute list one at a time, as views: of the text itself, or of
// the reader's own copy for a value with a doubled quote (valid until the next call).
class CAttributeReader {
public:
    explicit CAttributeReader(std::wstring_view text) : m_text(text) {}
    // The next pair; false at the end of the list or at a fault.
    bool Next(std::wstring_view* name, std::wstring_view* value);
    bool Failed() const { return m_failed; }
    // Where reading stopped at a fault.
    size_t ErrorOffset() const { return m_errorOffset; }

private:
    bool Fail(size_t where);

    std::wstring_view m_text;
    size_t m_at = 0;
    bool m_failed = false;
    size_t m_errorOffset = 0;
    std::wstring m_unescaped;
};

// On failure `out` holds the pairs before the bad one and `errorOffset` (when given) the
// position where parsing stopped. `out` is cleared first.
bool ParseAttributeText(std::wstring_view text, std::vector<UIAttribute>* out, size_t* errorOffset = nullptr);

// An optional '#' and one to eight hexadecimal digits: the ARGB value as written, so six
// digits give alpha 0. Nothing else may follow.
bool ParseColor(std::wstring_view text, DWORD* argb);

// Four decimal numbers, each starting one character after the end of the one before (so any
// single separator: "1,2,3,4", "1 2 3 4"); blanks before a number and after the last one are
// allowed. Fewer numbers, a missing digit or other trailing text fail.
bool ParseRect(std::wstring_view text, RECT* rect);
// Two numbers, as for ParseRect: "w,h".
bool ParseSize(std::wstring_view text, SIZE* size);
// One number, as for ParseRect: "12", " -3 ".
bool ParseInt(std::wstring_view text, int* value);
// True only for exactly "true".
bool ParseBool(std::wstring_view text);

}  // namespace SkinUI
