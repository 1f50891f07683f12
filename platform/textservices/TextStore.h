// The text of the text services: paragraphs of wide characters.
//
// Positions count characters; each paragraph break is one character
// (kParagraphBreak) between two paragraphs, so a text of N paragraphs holds
// N - 1 breaks and there is always at least one (possibly empty) paragraph.
// Owned by one text-services object, on its thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform::textservices {

inline constexpr wchar_t kParagraphBreak = L'\r';

class CTextStore {
public:
    // What a Replace did to the paragraph list: `removed` paragraphs from `first` on were
    // replaced by `inserted` new ones (a change inside one paragraph is 1 and 1).
    struct Change {
        int first = 0;
        int removed = 0;
        int inserted = 0;
    };
    enum class Breaks { Cr, CrLf };

    CTextStore();

    int Length() const { return m_length; }
    int ParagraphCount() const { return static_cast<int>(m_paragraphs.size()); }
    int ParagraphStart(int paragraph) const;
    int ParagraphLength(int paragraph) const;
    const std::wstring& ParagraphText(int paragraph) const;
    // The paragraph that holds `cp`; a break belongs to the paragraph it ends, and the
    // end of the text to the last paragraph. `cp` is clamped to the text.
    int ParagraphOf(int cp) const;
    // The character at `cp` (kParagraphBreak for a break), 0 outside the text.
    wchar_t CharAt(int cp) const;
    // [start, end) clamped to the text and ordered.
    std::wstring Text(int start, int end, Breaks breaks = Breaks::Cr) const;
    int BreaksIn(int start, int end) const;

    // Replaces [start, end) (clamped and ordered) with `text`, which must already be
    // normalised (see Normalise).
    Change Replace(int start, int end, std::wstring_view text);

    // Line breaks (CR LF, LF, CR) become kParagraphBreak; UTF-16 surrogate pairs become one
    // character; NUL and lone surrogates go (NUL) or become U+FFFD.
    static std::wstring Normalise(std::wstring_view text);

private:
    int Clamp(int cp) const;
    void EnsureStarts(int paragraph) const;

    std::vector<std::wstring> m_paragraphs;
    int m_length = 0;
    // Paragraph starts, valid below m_startsValid; edits only invalidate from the edit on.
    mutable std::vector<int> m_starts;
    mutable int m_startsValid = 0;
};

}  // namespace platform::textservices
