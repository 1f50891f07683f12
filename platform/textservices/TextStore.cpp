#include "platform/textservices/TextStore.h"

#include <algorithm>

namespace platform::textservices {

CTextStore::CTextStore() : m_paragraphs(1) {}

int CTextStore::Clamp(int cp) const {
    return std::clamp(cp, 0, m_length);
}

void CTextStore::EnsureStarts(int paragraph) const {
    if (m_starts.size() != m_paragraphs.size()) {
        m_starts.resize(m_paragraphs.size());
        m_startsValid = std::min(m_startsValid, ParagraphCount());
    }
    if (paragraph < m_startsValid) return;
    int start = m_startsValid == 0 ? 0 : m_starts[m_startsValid - 1] + ParagraphLength(m_startsValid - 1) + 1;
    for (int p = m_startsValid; p < ParagraphCount(); ++p) {
        m_starts[p] = start;
        start += static_cast<int>(m_paragraphs[p].size()) + 1;
    }
    m_startsValid = ParagraphCount();
}

int CTextStore::ParagraphStart(int paragraph) const {
    paragraph = std::clamp(paragraph, 0, ParagraphCount() - 1);
    EnsureStarts(paragraph);
    return m_starts[paragraph];
}

int CTextStore::ParagraphLength(int paragraph) const {
    return static_cast<int>(m_paragraphs[std::clamp(paragraph, 0, ParagraphCount() - 1)].size());
}

const std::wstring& CTextStore::ParagraphText(int paragraph) const {
    return m_paragraphs[std::clamp(paragraph, 0, ParagraphCount() - 1)];
}

int CTextStore::ParagraphOf(int cp) const {
    cp = Clamp(cp);
    EnsureStarts(ParagraphCount() - 1);
    const auto after = std::upper_bound(m_starts.begin(), m_starts.end(), cp);
    return static_cast<int>(after - m_starts.begin()) - 1;
}

wchar_t CTextStore::CharAt(int cp) const {
    if (cp < 0 || cp >= m_length) return 0;
    const int paragraph = ParagraphOf(cp);
    const int offset = cp - ParagraphStart(paragraph);
    const std::wstring& text = m_paragraphs[paragraph];
    return offset < static_cast<int>(text.size()) ? text[offset] : kParagraphBreak;
}

std::wstring CTextStore::Text(int start, int end, Breaks breaks) const {
    start = Clamp(start);
    end = Clamp(end);
    if (end < start) std::swap(start, end);
    std::wstring out;
    out.reserve(static_cast<size_t>(end - start) + (breaks == Breaks::CrLf ? BreaksIn(start, end) : 0));
    int paragraph = ParagraphOf(start);
    int offset = start - ParagraphStart(paragraph);
    int remaining = end - start;
    while (remaining > 0) {
        const std::wstring& text = m_paragraphs[paragraph];
        const int take = std::min(remaining, static_cast<int>(text.size()) - offset);
        out.append(text, static_cast<size_t>(offset), static_cast<size_t>(take));
        remaining -= take;
        if (remaining == 0) break;
        out += kParagraphBreak;
        if (breaks == Breaks::CrLf) out += L'\n';
        --remaining;
        ++paragraph;
        offset = 0;
    }
    return out;
}

int CTextStore::BreaksIn(int start, int end) const {
    start = Clamp(start);
    end = Clamp(end);
    if (end < start) std::swap(start, end);
    return ParagraphOf(end) - ParagraphOf(start);
}

CTextStore::Change CTextStore::Replace(int start, int end, std::wstring_view text) {
    start = Clamp(start);
    end = Clamp(end);
    if (end < start) std::swap(start, end);
    const int first = ParagraphOf(start);
    const int last = ParagraphOf(end);
    const int startOffset = start - ParagraphStart(first);
    const int endOffset = end - ParagraphStart(last);
    m_length += static_cast<int>(text.size()) - (end - start);
    m_startsValid = std::min(m_startsValid, first + 1);

    const bool hasBreak = text.find(kParagraphBreak) != std::wstring_view::npos;
    if (first == last && !hasBreak) {
        m_paragraphs[first].replace(static_cast<size_t>(startOffset), static_cast<size_t>(endOffset - startOffset),
                                    text);
        return Change{first, 1, 1};
    }

    std::vector<std::wstring> pieces;
    size_t from = 0;
    for (;;) {
        const size_t at = text.find(kParagraphBreak, from);
        pieces.emplace_back(text.substr(from, at == std::wstring_view::npos ? std::wstring_view::npos : at - from));
        if (at == std::wstring_view::npos) break;
        from = at + 1;
    }
    pieces.front().insert(0, m_paragraphs[first], 0, static_cast<size_t>(startOffset));
    pieces.back().append(m_paragraphs[last], static_cast<size_t>(endOffset));
    const int inserted = static_cast<int>(pieces.size());
    const auto firstIt = m_paragraphs.begin() + first;
    m_paragraphs.erase(firstIt, m_paragraphs.begin() + last + 1);
    m_paragraphs.insert(m_paragraphs.begin() + first, std::make_move_iterator(pieces.begin()),
                        std::make_move_iterator(pieces.end()));
    return Change{first, last - first + 1, inserted};
}

std::wstring CTextStore::Normalise(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<char32_t>(text[i]);
        if (c == 0) continue;
        if (c == U'\r') {
            if (i + 1 < text.size() && text[i + 1] == L'\n') ++i;
            out += kParagraphBreak;
        } else if (c == U'\n') {
            out += kParagraphBreak;
        } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                   text[i + 1] <= 0xDFFF) {
            const char32_t low = static_cast<char32_t>(text[++i]);
            out += static_cast<wchar_t>(0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
        } else if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
            out += static_cast<wchar_t>(0xFFFD);
        } else {
            out += static_cast<wchar_t>(c);
        }
    }
    return out;
}

}  // namespace platform::textservices
