#include "platform/textservices/LineLayout.h"

#include <algorithm>
#include <cmath>

#include "platform/gdi/TextLayout.h"
#include "platform/strings/StringConv.h"

namespace platform::textservices {
namespace {

// Layouts kept for drawing and hit tests; when more are built, all are dropped and the
// ones in use are built again, which keeps the bookkeeping free of per-use costs.
constexpr int kMaxCachedLayouts = 256;
// Width of the box that shows a selected paragraph break.
constexpr int kBreakMarkWidth = 4;

int CeilPixels(int units) {
    return static_cast<int>(std::ceil(units / static_cast<double>(PANGO_SCALE)));
}

int FloorPixels(int units) {
    return static_cast<int>(std::floor(units / static_cast<double>(PANGO_SCALE)));
}

}  // namespace

CLineLayout::Paragraph::Paragraph(Paragraph&& other) noexcept {
    *this = std::move(other);
}

CLineLayout::Paragraph& CLineLayout::Paragraph::operator=(Paragraph&& other) noexcept {
    if (this == &other) return *this;
    DropLayout();
    measured = other.measured;
    height = other.height;
    width = other.width;
    alignOffset = other.alignOffset;
    lineStarts = std::move(other.lineStarts);
    lineTops = std::move(other.lineTops);
    lineHeights = std::move(other.lineHeights);
    otherWidth = other.otherWidth;
    otherHeight = other.otherHeight;
    layout = other.layout;
    other.layout = nullptr;
    return *this;
}

CLineLayout::Paragraph::~Paragraph() {
    DropLayout();
}

void CLineLayout::Paragraph::DropLayout() {
    if (layout != nullptr) g_object_unref(layout);
    layout = nullptr;
}

CLineLayout::CLineLayout(const CTextStore& store) : m_store(store), m_paragraphs(1) {}

CLineLayout::~CLineLayout() = default;

void CLineLayout::SetStyle(const LayoutStyle& style) {
    m_style = style;
    for (Paragraph& paragraph : m_paragraphs) {
        paragraph.DropLayout();
        paragraph.measured = false;
        paragraph.otherWidth = -1;
    }
    m_cachedLayouts = 0;
    m_sumsValid = 0;
    m_contentWidth = -1;
}

void CLineLayout::ApplyChange(const CTextStore::Change& change) {
    const auto first = m_paragraphs.begin() + change.first;
    for (auto it = first; it != first + change.removed; ++it) {
        if (it->layout != nullptr) --m_cachedLayouts;
    }
    m_sumsValid = std::min(m_sumsValid, change.first);
    m_contentWidth = -1;
    if (change.removed == change.inserted) {
        // A change inside paragraphs (typing) leaves the list as it is: no moving of the rest.
        for (auto it = first; it != first + change.removed; ++it)
            *it = Paragraph();
        return;
    }
    m_paragraphs.erase(first, first + change.removed);
    std::vector<Paragraph> fresh(static_cast<size_t>(change.inserted));
    m_paragraphs.insert(m_paragraphs.begin() + change.first, std::make_move_iterator(fresh.begin()),
                        std::make_move_iterator(fresh.end()));
}

PangoLayout* CLineLayout::Build(int paragraph, int wrapWidth) const {
    PangoLayout* layout = pango_layout_new(gdi::TextContext());
    if (m_style.font != nullptr) pango_layout_set_font_description(layout, m_style.font);
    const std::wstring& text = m_store.ParagraphText(paragraph);
    std::string utf8;
    utf8.reserve(text.size() + 8);
    // One code point per character, so character offsets and pango's offsets agree.
    for (const wchar_t c : text)
        AppendUtf8(utf8, static_cast<char32_t>(m_style.mask != 0 ? m_style.mask : c));
    pango_layout_set_single_paragraph_mode(layout, TRUE);
    pango_layout_set_text(layout, utf8.data(), static_cast<int>(utf8.size()));
    if (wrapWidth > 0) {
        pango_layout_set_width(layout, wrapWidth * PANGO_SCALE);
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    }
    pango_layout_set_alignment(layout, m_style.alignment);

    PangoAttrList* attributes = pango_attr_list_new();
    if (m_style.underline) pango_attr_list_insert(attributes, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    if (m_style.strikeout) pango_attr_list_insert(attributes, pango_attr_strikethrough_new(TRUE));
    pango_layout_set_attributes(layout, attributes);
    pango_attr_list_unref(attributes);

    // Pango repeats the spacing of the last two stops, so the default interval needs two.
    std::vector<int> stops = m_style.tabStops;
    const int interval = std::max(1, m_style.tabInterval);
    while (stops.size() < 2)
        stops.push_back((stops.empty() ? 0 : stops.back()) + interval);
    PangoTabArray* tabs = pango_tab_array_new(static_cast<int>(stops.size()), TRUE);
    for (size_t i = 0; i < stops.size(); ++i)
        pango_tab_array_set_tab(tabs, static_cast<int>(i), PANGO_TAB_LEFT, stops[i]);
    pango_layout_set_tabs(layout, tabs);
    pango_tab_array_free(tabs);
    return layout;
}

int CLineLayout::ByteOffset(PangoLayout* layout, int offset) const {
    const char* text = pango_layout_get_text(layout);
    const int count = pango_layout_get_character_count(layout);
    return static_cast<int>(g_utf8_offset_to_pointer(text, std::clamp(offset, 0, count)) - text);
}

int CLineLayout::CharOffset(PangoLayout* layout, int byte) const {
    const char* text = pango_layout_get_text(layout);
    return static_cast<int>(g_utf8_pointer_to_offset(text, text + std::max(0, byte)));
}

PangoLayout* CLineLayout::CachedLayout(int paragraph) {
    Paragraph& entry = m_paragraphs[paragraph];
    if (entry.layout == nullptr) {
        if (m_cachedLayouts >= kMaxCachedLayouts) {
            for (Paragraph& other : m_paragraphs)
                other.DropLayout();
            m_cachedLayouts = 0;
        }
        entry.layout = Build(paragraph, m_style.wrapWidth);
        ++m_cachedLayouts;
    }
    return entry.layout;
}

PangoLayout* CLineLayout::LayoutOf(int paragraph) {
    PangoLayout* layout = CachedLayout(paragraph);
    if (!m_paragraphs[paragraph].measured) Measure(paragraph);
    return layout;
}

void CLineLayout::Measure(int paragraph) {
    // The layout is kept: the paragraph just measured is usually the one drawn or hit next.
    PangoLayout* layout = CachedLayout(paragraph);
    Paragraph& entry = m_paragraphs[paragraph];
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    entry.height = std::max(1, CeilPixels(logical.y + logical.height));
    entry.width = std::max(0, CeilPixels(logical.x + logical.width));
    entry.lineStarts.clear();
    entry.lineTops.clear();
    entry.lineHeights.clear();
    PangoLayoutIter* it = pango_layout_get_iter(layout);
    do {
        const PangoLayoutLine* line = pango_layout_iter_get_line_readonly(it);
        int y0 = 0, y1 = 0;
        pango_layout_iter_get_line_yrange(it, &y0, &y1);
        entry.lineStarts.push_back(CharOffset(layout, line->start_index));
        entry.lineTops.push_back(std::max(0, FloorPixels(y0)));
    } while (pango_layout_iter_next_line(it));
    pango_layout_iter_free(it);
    for (size_t i = 0; i < entry.lineTops.size(); ++i) {
        const int next = i + 1 < entry.lineTops.size() ? entry.lineTops[i + 1] : entry.height;
        entry.lineHeights.push_back(std::max(1, next - entry.lineTops[i]));
    }
    entry.alignOffset = 0;
    if (m_style.wrapWidth <= 0 && m_style.alignment != PANGO_ALIGN_LEFT) {
        const int free = std::max(0, m_style.alignWidth - entry.width);
        entry.alignOffset = m_style.alignment == PANGO_ALIGN_CENTER ? free / 2 : free;
    }
    entry.measured = true;
}

void CLineLayout::EnsureSums() {
    const int count = static_cast<int>(m_paragraphs.size());
    m_tops.resize(static_cast<size_t>(count) + 1);
    m_firstLines.resize(static_cast<size_t>(count) + 1);
    m_tops[0] = 0;
    m_firstLines[0] = 0;
    for (int p = m_sumsValid; p < count; ++p) {
        Paragraph& entry = m_paragraphs[p];
        if (!entry.measured) Measure(p);
        m_tops[p + 1] = m_tops[p] + entry.height;
        m_firstLines[p + 1] = m_firstLines[p] + static_cast<int>(entry.lineStarts.size());
    }
    m_sumsValid = count;
}

int CLineLayout::ContentHeight() {
    EnsureSums();
    return m_tops.back();
}

int CLineLayout::ContentWidth() {
    EnsureSums();
    if (m_contentWidth < 0) {
        m_contentWidth = 0;
        for (const Paragraph& entry : m_paragraphs)
            m_contentWidth = std::max(m_contentWidth, entry.width);
    }
    return m_contentWidth;
}

int CLineLayout::LineCount() {
    EnsureSums();
    return m_firstLines.back();
}

int CLineLayout::ParagraphTop(int paragraph) {
    EnsureSums();
    return m_tops[std::clamp(paragraph, 0, static_cast<int>(m_paragraphs.size()) - 1)];
}

int CLineLayout::ParagraphHeight(int paragraph) {
    EnsureSums();
    return m_paragraphs[std::clamp(paragraph, 0, static_cast<int>(m_paragraphs.size()) - 1)].height;
}

int CLineLayout::ParagraphAtY(int y) {
    EnsureSums();
    const auto after = std::upper_bound(m_tops.begin(), m_tops.end() - 1, y);
    return std::clamp(static_cast<int>(after - m_tops.begin()) - 1, 0, static_cast<int>(m_paragraphs.size()) - 1);
}

int CLineLayout::LineInParagraph(int paragraph, int offset) {
    Paragraph& entry = m_paragraphs[paragraph];
    if (!entry.measured) Measure(paragraph);
    const auto after = std::upper_bound(entry.lineStarts.begin(), entry.lineStarts.end(), offset);
    return std::max(0, static_cast<int>(after - entry.lineStarts.begin()) - 1);
}

CLineLayout::Line CLineLayout::LineAt(int line) {
    EnsureSums();
    line = std::clamp(line, 0, m_firstLines.back() - 1);
    const auto after = std::upper_bound(m_firstLines.begin(), m_firstLines.end() - 1, line);
    const int paragraph = static_cast<int>(after - m_firstLines.begin()) - 1;
    const Paragraph& entry = m_paragraphs[paragraph];
    const size_t i = static_cast<size_t>(line - m_firstLines[paragraph]);
    const int end = i + 1 < entry.lineStarts.size() ? entry.lineStarts[i + 1] : m_store.ParagraphLength(paragraph);
    Line result;
    result.paragraph = paragraph;
    result.start = m_store.ParagraphStart(paragraph) + entry.lineStarts[i];
    result.length = end - entry.lineStarts[i];
    result.top = m_tops[paragraph] + entry.lineTops[i];
    result.height = entry.lineHeights[i];
    return result;
}

int CLineLayout::LineOfChar(int cp) {
    const int paragraph = m_store.ParagraphOf(cp);
    const int offset = std::clamp(cp, 0, m_store.Length()) - m_store.ParagraphStart(paragraph);
    EnsureSums();
    return m_firstLines[paragraph] + LineInParagraph(paragraph, offset);
}

int CLineLayout::LineAtY(int y) {
    const int paragraph = ParagraphAtY(y);
    const Paragraph& entry = m_paragraphs[paragraph];
    const int local = y - m_tops[paragraph];
    const auto after = std::upper_bound(entry.lineTops.begin(), entry.lineTops.end(), local);
    return m_firstLines[paragraph] + std::max(0, static_cast<int>(after - entry.lineTops.begin()) - 1);
}

POINT CLineLayout::CaretPoint(int cp, int* lineHeight) {
    const int paragraph = m_store.ParagraphOf(cp);
    const int offset = std::clamp(cp, 0, m_store.Length()) - m_store.ParagraphStart(paragraph);
    // Sums first: measuring other paragraphs may drop cached layouts, this one's included.
    EnsureSums();
    PangoLayout* layout = LayoutOf(paragraph);
    const Paragraph& entry = m_paragraphs[paragraph];
    PangoRectangle strong;
    pango_layout_get_cursor_pos(layout, ByteOffset(layout, offset), &strong, nullptr);
    const int line = LineInParagraph(paragraph, offset);
    if (lineHeight != nullptr) *lineHeight = entry.lineHeights[static_cast<size_t>(line)];
    return POINT{FloorPixels(strong.x) + entry.alignOffset,
                 m_tops[paragraph] + entry.lineTops[static_cast<size_t>(line)]};
}

int CLineLayout::CharAtX(int line, int x) {
    const Line found = LineAt(line);
    PangoLayout* layout = LayoutOf(found.paragraph);
    const Paragraph& entry = m_paragraphs[found.paragraph];
    const int paragraphStart = m_store.ParagraphStart(found.paragraph);
    const int localLine = line - m_firstLines[found.paragraph];
    const int y =
        entry.lineTops[static_cast<size_t>(localLine)] + entry.lineHeights[static_cast<size_t>(localLine)] / 2;
    int index = 0, trailing = 0;
    pango_layout_xy_to_index(layout, (x - entry.alignOffset) * PANGO_SCALE, y * PANGO_SCALE, &index, &trailing);
    int offset = CharOffset(layout, index);
    if (trailing > 0) offset = NextCursorPosition(paragraphStart + offset, 1) - paragraphStart;
    const int lineStart = found.start - paragraphStart;
    const int lineEnd = lineStart + found.length;
    // Past the end of a line that wrapped after a blank: stay on this line, before the blank.
    const bool wrapped = static_cast<size_t>(localLine) + 1 < entry.lineStarts.size();
    if (wrapped && offset >= lineEnd && lineEnd > lineStart) {
        const wchar_t last = m_store.ParagraphText(found.paragraph)[static_cast<size_t>(lineEnd - 1)];
        if (last == L' ' || last == L'\t') offset = lineEnd - 1;
    }
    return paragraphStart + std::clamp(offset, lineStart, lineEnd);
}

int CLineLayout::CharAtPoint(POINT point) {
    return CharAtX(LineAtY(point.y), point.x);
}

const PangoLogAttr* CLineLayout::LogAttrs(int paragraph, int* count) {
    return pango_layout_get_log_attrs_readonly(LayoutOf(paragraph), count);
}

int CLineLayout::NextCursorPosition(int cp, int direction) {
    cp = std::clamp(cp, 0, m_store.Length());
    const int paragraph = m_store.ParagraphOf(cp);
    const int start = m_store.ParagraphStart(paragraph);
    const int length = m_store.ParagraphLength(paragraph);
    const int offset = cp - start;
    int count = 0;
    if (direction > 0) {
        if (offset >= length) return paragraph + 1 < m_store.ParagraphCount() ? cp + 1 : cp;
        const PangoLogAttr* attrs = LogAttrs(paragraph, &count);
        int i = offset + 1;
        while (i < length && i < count && !attrs[i].is_cursor_position)
            ++i;
        return start + std::min(i, length);
    }
    if (offset == 0) return cp > 0 ? cp - 1 : 0;
    const PangoLogAttr* attrs = LogAttrs(paragraph, &count);
    int i = offset - 1;
    while (i > 0 && i < count && !attrs[i].is_cursor_position)
        --i;
    return start + i;
}

int CLineLayout::WordRight(int cp) {
    cp = std::clamp(cp, 0, m_store.Length());
    const int paragraph = m_store.ParagraphOf(cp);
    const int start = m_store.ParagraphStart(paragraph);
    const int length = m_store.ParagraphLength(paragraph);
    const int offset = cp - start;
    if (offset >= length) return paragraph + 1 < m_store.ParagraphCount() ? cp + 1 : cp;
    int count = 0;
    const PangoLogAttr* attrs = LogAttrs(paragraph, &count);
    int i = offset + 1;
    while (i < length && i < count && !attrs[i].is_word_start)
        ++i;
    return start + std::min(i, length);
}

int CLineLayout::WordLeft(int cp) {
    cp = std::clamp(cp, 0, m_store.Length());
    const int paragraph = m_store.ParagraphOf(cp);
    const int start = m_store.ParagraphStart(paragraph);
    const int offset = cp - start;
    if (offset == 0) return cp > 0 ? cp - 1 : 0;
    int count = 0;
    const PangoLogAttr* attrs = LogAttrs(paragraph, &count);
    int i = offset - 1;
    while (i > 0 && i < count && !attrs[i].is_word_start)
        --i;
    return start + i;
}

std::pair<int, int> CLineLayout::WordAt(int cp) {
    cp = std::clamp(cp, 0, m_store.Length());
    const int paragraph = m_store.ParagraphOf(cp);
    const int start = m_store.ParagraphStart(paragraph);
    const int length = m_store.ParagraphLength(paragraph);
    if (length == 0) return {cp, cp};
    int offset = std::min(cp - start, length - 1);
    int count = 0;
    const PangoLogAttr* attrs = LogAttrs(paragraph, &count);
    if (count < length + 1) return {cp, cp};
    int wordStart = offset;
    while (wordStart > 0 && !attrs[wordStart].is_word_start)
        --wordStart;
    int wordEnd = wordStart + 1;
    while (wordEnd < length && !attrs[wordEnd].is_word_end)
        ++wordEnd;
    if (attrs[wordStart].is_word_start && offset < wordEnd) return {start + wordStart, start + wordEnd};
    // Between words: the whole gap.
    int gapStart = offset;
    while (gapStart > 0 && !attrs[gapStart].is_word_end)
        --gapStart;
    int gapEnd = offset + 1;
    while (gapEnd < length && !attrs[gapEnd].is_word_start)
        ++gapEnd;
    return {start + gapStart, start + gapEnd};
}

void CLineLayout::SelectionRects(int paragraph, int start, int end, std::vector<RECT>* out) {
    EnsureSums();
    PangoLayout* layout = LayoutOf(paragraph);
    const Paragraph& entry = m_paragraphs[paragraph];
    const int length = m_store.ParagraphLength(paragraph);
    const int top = m_tops[paragraph];
    for (size_t i = 0; i < entry.lineStarts.size(); ++i) {
        const int lineStart = entry.lineStarts[i];
        const int lineEnd = i + 1 < entry.lineStarts.size() ? entry.lineStarts[i + 1] : length;
        const int from = std::max(start, lineStart);
        const int to = std::min(end, lineEnd);
        const LONG lineTop = top + entry.lineTops[i];
        const LONG lineBottom = lineTop + entry.lineHeights[i];
        if (from < to) {
            int* ranges = nullptr;
            int count = 0;
            pango_layout_line_get_x_ranges(pango_layout_get_line_readonly(layout, static_cast<int>(i)),
                                           ByteOffset(layout, from), ByteOffset(layout, to), &ranges, &count);
            for (int r = 0; r < count; ++r) {
                out->push_back(RECT{FloorPixels(ranges[2 * r]) + entry.alignOffset, lineTop,
                                    CeilPixels(ranges[2 * r + 1]) + entry.alignOffset, lineBottom});
            }
            g_free(ranges);
        }
        if (i + 1 == entry.lineStarts.size() && end > length && start <= length) {
            PangoRectangle strong;
            pango_layout_get_cursor_pos(layout, ByteOffset(layout, length), &strong, nullptr);
            const LONG x = FloorPixels(strong.x) + entry.alignOffset;
            out->push_back(RECT{x, lineTop, x + kBreakMarkWidth, lineBottom});
        }
    }
}

void CLineLayout::DrawParagraph(cairo_t* cr, int paragraph, double x, double y) {
    PangoLayout* layout = LayoutOf(paragraph);
    cairo_move_to(cr, x + m_paragraphs[paragraph].alignOffset, y);
    pango_cairo_show_layout(cr, layout);
}

int CLineLayout::HeightAtWidth(int width) {
    if (m_style.wrapWidth <= 0 || width == m_style.wrapWidth) return ContentHeight();
    int height = 0;
    for (int p = 0; p < static_cast<int>(m_paragraphs.size()); ++p) {
        Paragraph& entry = m_paragraphs[p];
        if (entry.otherWidth != width) {
            PangoLayout* layout = Build(p, std::max(1, width));
            PangoRectangle logical;
            pango_layout_get_extents(layout, nullptr, &logical);
            g_object_unref(layout);
            entry.otherWidth = width;
            entry.otherHeight = std::max(1, CeilPixels(logical.y + logical.height));
        }
        height += entry.otherHeight;
    }
    return height;
}

}  // namespace platform::textservices
