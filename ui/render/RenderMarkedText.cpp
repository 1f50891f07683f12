// Layout and drawing of marked-up text: runs are cut into pieces that fit the lines, each
// piece drawn in its own font on the line's common baseline.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <tuple>

#include "ui/render/MarkedText.h"
#include "ui/render/RenderEngine.h"

namespace SkinUI {
namespace {

constexpr wchar_t kEllipsis[] = L"...";

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == 0x3000;
}

// Ideographs, kana, hangul and full-width forms may break anywhere; other text breaks at blanks.
bool BreaksAnywhere(wchar_t c) {
    const auto u = static_cast<uint32_t>(c);
    return (u >= 0x2E80 && u <= 0x9FFF) || (u >= 0xAC00 && u <= 0xD7AF) || (u >= 0xF900 && u <= 0xFAFF) ||
           (u >= 0xFE30 && u <= 0xFE4F) || (u >= 0xFF00 && u <= 0xFFEF) || (u >= 0x20000 && u <= 0x3FFFF);
}

struct FontInfo {
    HFONT handle = nullptr;
    TEXTMETRICW metrics;
};

// The fonts of one call: the source's fonts and the bold, italic or underlined variants made
// from them, which die with the call.
class CFontSet {
public:
    CFontSet(HDC hdc, IFontSourceUI* source) : m_hdc(hdc), m_source(source) {}
    ~CFontSet() {
        for (auto& [key, font] : m_made)
            DeleteObject(font);
    }
    CFontSet(const CFontSet&) = delete;
    CFontSet& operator=(const CFontSet&) = delete;

    // Selects the run's font into the DC and returns it with its metrics.
    const FontInfo& Select(const UIMarkedRun& run) {
        HFONT base = m_source ? m_source->FontHandleAt(run.font) : nullptr;
        if (!base) base = static_cast<HFONT>(GetCurrentObject(m_hdc, OBJ_FONT));
        const auto key = std::make_tuple(base, run.bold, run.italic, run.underline);
        auto found = m_fonts.find(key);
        if (found == m_fonts.end()) {
            FontInfo info;
            info.handle = Variant(base, run);
            SelectObject(m_hdc, info.handle);
            GetTextMetricsW(m_hdc, &info.metrics);
            found = m_fonts.emplace(key, info).first;
        }
        SelectObject(m_hdc, found->second.handle);
        return found->second;
    }

private:
    HFONT Variant(HFONT base, const UIMarkedRun& run) {
        LOGFONTW logFont;
        if (!base || GetObjectW(base, sizeof(logFont), &logFont) != sizeof(logFont)) return base;
        const bool needBold = run.bold && logFont.lfWeight < FW_BOLD;
        const bool needItalic = run.italic && !logFont.lfItalic;
        const bool needUnderline = run.underline && !logFont.lfUnderline;
        if (!needBold && !needItalic && !needUnderline) return base;
        if (needBold) logFont.lfWeight = FW_BOLD;
        if (needItalic) logFont.lfItalic = 1;
        if (needUnderline) logFont.lfUnderline = 1;
        HFONT made = CreateFontIndirectW(&logFont);
        if (!made) return base;
        m_made.emplace(std::make_tuple(base, run.bold, run.italic, run.underline), made);
        return made;
    }

    HDC m_hdc;
    IFontSourceUI* m_source;
    std::map<std::tuple<HFONT, bool, bool, bool>, FontInfo> m_fonts;
    std::map<std::tuple<HFONT, bool, bool, bool>, HFONT> m_made;
};

struct Piece {
    std::wstring text;
    const UIMarkedRun* run = nullptr;
    const FontInfo* font = nullptr;
    int x = 0;  // from the line's start
    int width = 0;
};

struct Line {
    std::vector<Piece> pieces;
    int width = 0;
    int ascent = 0;
    int descent = 0;
    int Height() const { return ascent + descent; }
};

int Measure(HDC hdc, std::wstring_view text) {
    SIZE size{};
    if (text.empty() || !GetTextExtentPoint32W(hdc, text.data(), static_cast<int>(text.size()), &size)) return 0;
    return size.cx;
}

class CLineBuilder {
public:
    CLineBuilder(HDC hdc, CFontSet& fonts, int64_t limit) : m_hdc(hdc), m_fonts(fonts), m_limit(limit) {
        m_lines.emplace_back();
    }

    void Add(const UIMarkedRun& run) {
        const FontInfo& font = m_fonts.Select(run);
        if (run.lineBreak) {
            Grow(font);
            m_wrapped = false;
            m_lines.emplace_back();
            return;
        }
        const std::wstring_view text = run.text;
        if (m_limit <= 0) {
            Place(run, font, text, Measure(m_hdc, text));
            return;
        }
        size_t at = 0;
        while (at < text.size()) {
            const size_t end = WordEnd(text, at);
            const std::wstring_view word = text.substr(at, end - at);
            at = end;
            const bool blank = IsBlank(word.front());
            if (blank && Current().pieces.empty() && m_wrapped) continue;
            const int width = Measure(m_hdc, word);
            if (Current().width + width <= m_limit) {
                Place(run, font, word, width);
                continue;
            }
            if (blank) {
                // A blank never starts the next line.
                NewLine(run);
                continue;
            }
            if (!Current().pieces.empty()) NewLine(run);
            if (width <= m_limit) {
                Place(run, font, word, width);
            } else {
                PlaceCharacters(run, font, word);
            }
        }
    }

    std::vector<Line> Finish(const FontInfo& fallback) {
        for (Line& line : m_lines) {
            if (line.Height() == 0) {
                line.ascent = fallback.metrics.tmAscent;
                line.descent = fallback.metrics.tmHeight - fallback.metrics.tmAscent;
            }
        }
        return std::move(m_lines);
    }

private:
    static size_t WordEnd(std::wstring_view text, size_t at) {
        const wchar_t first = text[at];
        if (BreaksAnywhere(first)) return at + 1;
        const bool blank = IsBlank(first);
        size_t end = at + 1;
        while (end < text.size() && IsBlank(text[end]) == blank && !BreaksAnywhere(text[end]))
            ++end;
        return end;
    }

    // A word wider than the line is cut between characters: the longest prefix that fits,
    // found by halving, so a very long word costs a few measurements per line.
    void PlaceCharacters(const UIMarkedRun& run, const FontInfo& font, std::wstring_view word) {
        while (!word.empty()) {
            const int64_t room = m_limit - Current().width;
            // Characters are at least a pixel wide, so no more than `room` of them can fit.
            size_t low = 0, high = static_cast<size_t>(std::clamp<int64_t>(room, 0, int64_t(word.size())));
            while (low < high) {
                const size_t middle = (low + high + 1) / 2;
                if (Measure(m_hdc, word.substr(0, middle)) <= room) {
                    low = middle;
                } else {
                    high = middle - 1;
                }
            }
            if (low == 0 && !Current().pieces.empty()) {
                NewLine(run);
                continue;
            }
            const size_t count = std::max<size_t>(low, 1);  // an empty line takes at least one character
            Place(run, font, word.substr(0, count), Measure(m_hdc, word.substr(0, count)));
            word.remove_prefix(count);
            if (!word.empty()) NewLine(run);
        }
    }

    void Place(const UIMarkedRun& run, const FontInfo& font, std::wstring_view text, int width) {
        Line& line = Current();
        Grow(font);
        if (!line.pieces.empty() && line.pieces.back().run == &run) {
            line.pieces.back().text.append(text);
            line.pieces.back().width += width;
        } else {
            line.pieces.push_back(Piece{std::wstring(text), &run, &font, line.width, width});
        }
        line.width += width;
    }

    void Grow(const FontInfo& font) {
        Line& line = Current();
        line.ascent = std::max<int>(line.ascent, font.metrics.tmAscent);
        line.descent = std::max<int>(line.descent, font.metrics.tmHeight - font.metrics.tmAscent);
    }

    // Wraps; `current` is the run being placed, whose font is selected again afterwards.
    void NewLine(const UIMarkedRun& current) {
        Line& line = Current();
        // Blanks at the end of a wrapped line take no room.
        while (!line.pieces.empty()) {
            Piece& last = line.pieces.back();
            size_t keep = last.text.size();
            while (keep > 0 && IsBlank(last.text[keep - 1]))
                --keep;
            if (keep == last.text.size()) break;
            m_fonts.Select(*last.run);
            last.text.resize(keep);
            last.width = Measure(m_hdc, last.text);
            line.width = last.x + last.width;
            if (keep > 0) break;
            line.pieces.pop_back();
        }
        m_fonts.Select(current);
        m_wrapped = true;
        m_lines.emplace_back();
    }

    Line& Current() { return m_lines.back(); }

    HDC m_hdc;
    CFontSet& m_fonts;
    int64_t m_limit;
    bool m_wrapped = false;
    std::vector<Line> m_lines;
};

// Cuts the line so that it and a trailing "..." fit in `limit`.
void EndWithEllipsis(HDC hdc, CFontSet& fonts, Line& line, int limit) {
    if (line.width <= limit || line.pieces.empty()) return;
    const UIMarkedRun* lastRun = line.pieces.back().run;
    fonts.Select(*lastRun);
    const int ellipsisWidth = Measure(hdc, kEllipsis);
    const int room = limit - ellipsisWidth;
    std::vector<Piece> kept;
    for (Piece& piece : line.pieces) {
        if (piece.x + piece.width <= room) {
            kept.push_back(std::move(piece));
            continue;
        }
        fonts.Select(*piece.run);
        size_t low = 0, high = piece.text.size();
        while (low < high) {
            const size_t middle = (low + high + 1) / 2;
            if (piece.x + Measure(hdc, std::wstring_view(piece.text).substr(0, middle)) <= room) {
                low = middle;
            } else {
                high = middle - 1;
            }
        }
        if (low > 0) {
            piece.text.resize(low);
            piece.width = Measure(hdc, piece.text);
            kept.push_back(std::move(piece));
        }
        break;
    }
    if (!kept.empty()) lastRun = kept.back().run;
    const int x = kept.empty() ? 0 : kept.back().x + kept.back().width;
    const FontInfo& font = fonts.Select(*lastRun);
    kept.push_back(Piece{kEllipsis, lastRun, &font, x, Measure(hdc, kEllipsis)});
    line.pieces = std::move(kept);
    line.width = x + line.pieces.back().width;
}

struct LinkStore {
    RECT* rects;
    CUIString* texts;
    int capacity;
    int stored = 0;

    void Add(const RECT& rect, const std::wstring& text) {
        if (stored >= capacity) return;
        if (rects) rects[stored] = rect;
        if (texts) texts[stored] = text;
        ++stored;
    }
};

COLORREF TextColourOf(DWORD argb) {
    return RGB(static_cast<BYTE>(argb >> 16), static_cast<BYTE>(argb >> 8), static_cast<BYTE>(argb));
}

LONG Clamp(int64_t value) {
    return static_cast<LONG>(
        std::clamp<int64_t>(value, std::numeric_limits<LONG>::min(), std::numeric_limits<LONG>::max()));
}

}  // namespace

bool CUIRenderEngine::DrawMarkedText(HDC hdc, IFontSourceUI* fonts, RECT& rect, std::wstring_view text, DWORD argb,
                                     RECT* linkRects, CUIString* linkTexts, int& linkCount, UINT format) {
    LinkStore links{linkRects, linkTexts, (linkRects || linkTexts) ? std::max(linkCount, 0) : 0};
    linkCount = 0;
    const int level = SaveDC(hdc);
    if (level <= 0) return false;

    const bool singleLine = format & DT_SINGLELINE;
    const bool measureOnly = format & DT_CALCRECT;
    const int64_t width = int64_t{rect.right} - rect.left;
    const bool wrap = !singleLine && (format & DT_WORDBREAK) && !(measureOnly && width <= 0);
    const UIMarkedText marked = ParseMarkedText(text, singleLine);

    CFontSet fontSet(hdc, fonts);
    const UIMarkedRun defaultStyle;
    const FontInfo& defaultFont = fontSet.Select(defaultStyle);
    CLineBuilder builder(hdc, fontSet, wrap ? std::max<int64_t>(width, 1) : 0);
    for (const UIMarkedRun& run : marked.runs)
        builder.Add(run);
    std::vector<Line> lines = builder.Finish(defaultFont);
    if ((format & DT_END_ELLIPSIS) && !(measureOnly && width <= 0)) {
        for (Line& line : lines)
            EndWithEllipsis(hdc, fontSet, line, static_cast<int>(std::clamp<int64_t>(width, 0, INT32_MAX)));
    }

    int64_t total = 0;
    int maxWidth = 0;
    for (const Line& line : lines) {
        total += line.Height();
        maxWidth = std::max(maxWidth, line.width);
    }
    const int64_t height = int64_t{rect.bottom} - rect.top;
    int64_t y = rect.top;
    if (format & DT_VCENTER) y += (height - total) / 2;
    if (format & DT_BOTTOM) y = rect.bottom - total;

    if (!measureOnly) {
        SetBkMode(hdc, TRANSPARENT);
        if (!(format & DT_NOCLIP)) IntersectClipRect(hdc, rect.left, rect.top, rect.right, rect.bottom);
    }
    for (const Line& line : lines) {
        int64_t x = rect.left;
        if (format & DT_CENTER) x += (width - line.width) / 2;
        if (format & DT_RIGHT) x = rect.right - line.width;
        const bool visible = measureOnly || y < rect.bottom;
        for (size_t i = 0; i < line.pieces.size(); ++i) {
            const Piece& piece = line.pieces[i];
            const int64_t left = x + piece.x;
            if (!measureOnly && visible && !piece.text.empty()) {
                SelectObject(hdc, piece.font->handle);
                SetTextColor(hdc, TextColourOf(piece.run->colour.value_or(argb)));
                TextOutW(hdc, Clamp(left), Clamp(y + line.ascent - piece.font->metrics.tmAscent), piece.text.c_str(),
                         static_cast<int>(piece.text.size()));
            }
            const int link = piece.run->link;
            if (link < 0 || !visible) continue;
            // Neighbouring pieces of one link on one line make one rectangle.
            if (i > 0 && line.pieces[i - 1].run->link == link) continue;
            int64_t right = left + piece.width;
            for (size_t j = i + 1; j < line.pieces.size() && line.pieces[j].run->link == link; ++j)
                right = x + line.pieces[j].x + line.pieces[j].width;
            links.Add(RECT{Clamp(left), Clamp(y), Clamp(right), Clamp(y + line.Height())}, marked.links[link]);
        }
        y += line.Height();
    }
    RestoreDC(hdc, level);
    linkCount = links.stored;
    if (measureOnly) {
        rect.right = Clamp(int64_t{rect.left} + maxWidth);
        rect.bottom = Clamp(int64_t{rect.top} + total);
    }
    return true;
}

}  // namespace SkinUI
