// Layout of the text services' paragraphs on pango: line breaking, positions,
// hit tests, cursor and word boundaries, and drawing.
//
// Each paragraph is laid out on its own and only when it changed, so an edit
// costs one paragraph's layout however long the text is. A paragraph keeps its
// line table (starts, tops, heights); the pango layouts themselves are kept
// only for the paragraphs used lately (drawing, hit tests) and built again on
// demand. Co-ordinates are document pixels: x from the left edge of the text
// area, y from the top of the first paragraph.
//
// Owned by one text-services object, on its thread; it reads the store it was
// made with, which must outlive it, and must hear of every change to it
// (ApplyChange) before it is asked anything else.
#pragma once

#include <pango/pangocairo.h>

#include <utility>
#include <vector>

#include "platform/textservices/TextStore.h"
#include "platform/types/WinTypes.h"

namespace platform::textservices {

struct LayoutStyle {
    const PangoFontDescription* font = nullptr;  // not owned; must outlive the style's use
    bool underline = false;
    bool strikeout = false;
    // Lines break at this width in pixels; 0 or less: only at paragraph breaks.
    int wrapWidth = 0;
    // The width that alignment is measured in when lines do not wrap.
    int alignWidth = 0;
    PangoAlignment alignment = PANGO_ALIGN_LEFT;
    // Tab stops in pixels, ascending; after the last, stops follow every `tabInterval`.
    std::vector<int> tabStops;
    int tabInterval = 48;
    // Shown in place of every character when not 0 (passwords).
    wchar_t mask = 0;
};

class CLineLayout {
public:
    struct Line {
        int paragraph = 0;
        int start = 0;   // character position
        int length = 0;  // characters, without the paragraph break
        int top = 0;
        int height = 0;
    };

    explicit CLineLayout(const CTextStore& store);
    ~CLineLayout();
    CLineLayout(const CLineLayout&) = delete;
    CLineLayout& operator=(const CLineLayout&) = delete;

    // Lays everything out again on next use.
    void SetStyle(const LayoutStyle& style);
    const LayoutStyle& Style() const { return m_style; }
    void ApplyChange(const CTextStore::Change& change);

    int ContentHeight();
    int ContentWidth();
    int LineCount();
    Line LineAt(int line);
    int LineOfChar(int cp);
    // The line at document height `y`, clamped to the first and last.
    int LineAtY(int y);
    int ParagraphTop(int paragraph);
    int ParagraphHeight(int paragraph);
    // The first paragraph that reaches below `y`.
    int ParagraphAtY(int y);

    // Where the caret before `cp` stands: the x of the boundary and the top of its line.
    POINT CaretPoint(int cp, int* lineHeight = nullptr);
    // The boundary nearest to `point`, within the line at its height.
    int CharAtPoint(POINT point);
    int CharAtX(int line, int x);

    // The next (direction > 0) or previous cursor position, stepping over whole clusters
    // and across paragraph breaks; stays at the ends of the text.
    int NextCursorPosition(int cp, int direction);
    // Ctrl+arrow stops: the start of the next word, or of this or the previous one.
    int WordRight(int cp);
    int WordLeft(int cp);
    // The word at `cp`, or the gap between words when `cp` lies in one.
    std::pair<int, int> WordAt(int cp);

    // Document rectangles covering [start, end) of the paragraph (paragraph offsets); an
    // `end` past the paragraph's text covers its break with a small box.
    void SelectionRects(int paragraph, int start, int end, std::vector<RECT>* out);
    // Draws the paragraph with its top-left corner at (x, y) of `cr`'s user space.
    void DrawParagraph(cairo_t* cr, int paragraph, double x, double y);

    // The content's height laid out at `width` pixels, without disturbing the current layout.
    int HeightAtWidth(int width);

private:
    struct Paragraph {
        Paragraph() = default;
        Paragraph(Paragraph&& other) noexcept;
        Paragraph& operator=(Paragraph&& other) noexcept;
        ~Paragraph();
        void DropLayout();

        bool measured = false;
        int height = 0;
        int width = 0;
        int alignOffset = 0;
        std::vector<int> lineStarts;  // character offsets in the paragraph
        std::vector<int> lineTops;    // from the paragraph's top
        std::vector<int> lineHeights;
        int otherWidth = -1;  // HeightAtWidth's last width for this paragraph, and its answer
        int otherHeight = 0;
        PangoLayout* layout = nullptr;
    };

    PangoLayout* Build(int paragraph, int wrapWidth) const;
    // The paragraph's layout, built when it has none.
    PangoLayout* CachedLayout(int paragraph);
    // The same, measured.
    PangoLayout* LayoutOf(int paragraph);
    void Measure(int paragraph);
    void EnsureSums();
    int LineInParagraph(int paragraph, int offset);
    const PangoLogAttr* LogAttrs(int paragraph, int* count);
    int ByteOffset(PangoLayout* layout, int offset) const;
    int CharOffset(PangoLayout* layout, int byte) const;

    const CTextStore& m_store;
    LayoutStyle m_style;
    std::vector<Paragraph> m_paragraphs;
    // Running sums over the paragraphs: tops and first line numbers, valid below m_sumsValid.
    std::vector<int> m_tops;
    std::vector<int> m_firstLines;
    int m_sumsValid = 0;
    int m_contentWidth = -1;
    int m_cachedLayouts = 0;
};

}  // namespace platform::textservices
