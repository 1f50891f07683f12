#include <gtest/gtest.h>

#include <cstdint>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/gdi/TextLayout.h"
#include "platform/strings/StringConv.h"
#include "support/Canvas.h"
#include "support/RectCheck.h"

using testsupport::Canvas;

namespace {

constexpr DWORD kWhite = 0xFFFFFFFF;
// Anti-aliased edges may be faint; only clearly inked pixels count.
constexpr int kInkTolerance = 40;

HFONT MakeFont(int height, const wchar_t* face = platform::kPinnedFontFace, int weight = FW_NORMAL) {
    return CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, face);
}

bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

class TextTest : public ::testing::Test {
protected:
    TextTest() : m_canvas(320, 120, kWhite) {
        m_font = MakeFont(-16);
        m_oldFont = SelectObject(m_canvas.Dc(), m_font);
        SetBkMode(m_canvas.Dc(), TRANSPARENT);
        SetTextColor(m_canvas.Dc(), RGB(0, 0, 0));
    }
    ~TextTest() override {
        SelectObject(m_canvas.Dc(), m_oldFont);
        DeleteObject(m_font);
    }
    HDC Dc() const { return m_canvas.Dc(); }
    void Clear() const { platform::FillRectAlpha(Dc(), RECT{0, 0, 320, 120}, kWhite); }
    RECT Ink() const { return m_canvas.BoundsOfPixelsNot(kWhite, kInkTolerance); }

    Canvas m_canvas;
    HFONT m_font = nullptr;
    HGDIOBJ m_oldFont = nullptr;
};

// Two surfaces of one size with a DC on the whole of each, to draw the same text two ways.
class SurfacePair {
public:
    SurfacePair(int width, int height, cairo_format_t first, cairo_format_t second) : m_height(height) {
        for (int i = 0; i < 2; ++i) {
            m_surfaces[i] = cairo_image_surface_create(i == 0 ? first : second, width, height);
            m_dcs[i] = platform::CreateSurfaceDC(m_surfaces[i], RECT{0, 0, width, height});
        }
    }
    ~SurfacePair() {
        for (int i = 0; i < 2; ++i) {
            DeleteDC(m_dcs[i]);
            cairo_surface_destroy(m_surfaces[i]);
        }
    }
    SurfacePair(const SurfacePair&) = delete;
    SurfacePair& operator=(const SurfacePair&) = delete;

    HDC Dc(int i) const { return m_dcs[i]; }
    // Row `y` of surface `i`, as drawn so far.
    const uint32_t* Row(int i, int y) const {
        cairo_surface_flush(m_surfaces[i]);
        return reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(m_surfaces[i]) +
                                                 y * cairo_image_surface_get_stride(m_surfaces[i]));
    }
    int Height() const { return m_height; }

private:
    int m_height;
    cairo_surface_t* m_surfaces[2] = {};
    HDC m_dcs[2] = {};
};

}  // namespace

TEST_F(TextTest, InkStaysInsideTheMeasuredRectangle) {
    const struct {
        const wchar_t* text;
        UINT format;
        LONG width;  // the width offered before measuring
    } cases[] = {
        {L"Quick brown fox, jumpy Ag", DT_SINGLELINE | DT_NOPREFIX, 0},
        {L"安装程序正在下载 Quorvel 客户端", DT_SINGLELINE | DT_NOPREFIX, 0},
        {L"Words wrap onto several lines when the rectangle is narrow 中文也会换行", DT_WORDBREAK | DT_NOPREFIX, 120},
        {L"first line\nsecond, longer line", DT_NOPREFIX, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "format " << c.format);
        Clear();
        RECT measured{20, 10, 20 + c.width, 10};
        const int height = DrawTextW(Dc(), c.text, -1, &measured, c.format | DT_CALCRECT);
        EXPECT_EQ(height, measured.bottom - measured.top);
        EXPECT_GT(measured.right, measured.left);
        EXPECT_EQ(Ink().right, 0) << "measuring must not draw";
        if (c.width) {
            EXPECT_LE(measured.right - measured.left, c.width);
        }

        EXPECT_GT(DrawTextW(Dc(), c.text, -1, &measured, c.format | DT_NOCLIP), 0);
        const RECT ink = Ink();
        EXPECT_TRUE(Inside(ink, measured))
            << "ink " << testing::PrintToString(ink) << " rect " << testing::PrintToString(measured);
        // The rectangle is tight: the ink reaches close to its edges.
        EXPECT_LE(measured.right - ink.right, 4)
            << testing::PrintToString(ink) << " in " << testing::PrintToString(measured);
        EXPECT_LE(ink.left - measured.left, 4);
        if (c.format & DT_WORDBREAK) {
            EXPECT_GE(height, 3 * 16);
        }
    }
}

TEST_F(TextTest, EndEllipsisShortensALongLineToTheRectangle) {
    const wchar_t* text = L"A very long status line that cannot possibly fit into eighty pixels";
    RECT box{10, 10, 90, 40};
    RECT measured = box;
    DrawTextW(Dc(), text, -1, &measured, DT_SINGLELINE | DT_END_ELLIPSIS | DT_CALCRECT);
    EXPECT_LE(measured.right, box.right);
    EXPECT_GT(measured.right, box.right - 16);
    RECT natural{10, 10, 10, 10};  // an empty rectangle measures the whole line
    DrawTextW(Dc(), text, -1, &natural, DT_SINGLELINE | DT_END_ELLIPSIS | DT_CALCRECT);
    EXPECT_GT(natural.right, box.right + 100);

    DrawTextW(Dc(), text, -1, &box, DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOCLIP);
    RECT ink = Ink();
    EXPECT_LE(ink.right, box.right);
    EXPECT_GT(ink.right, box.right - 12) << "the shortened text with its ellipsis fills the line";
}

TEST_F(TextTest, ChineseTextMeasuresWithThePinnedFont) {
    SIZE size{};
    ASSERT_TRUE(GetTextExtentPoint32W(Dc(), L"中文安装", 4, &size));
    // Four full-width glyphs of a 16-pixel font, not empty boxes of a missing font.
    EXPECT_GE(size.cx, 4 * 14);
    EXPECT_LE(size.cx, 4 * 18);
    TEXTMETRICW metrics;
    ASSERT_TRUE(GetTextMetricsW(Dc(), &metrics));
    EXPECT_EQ(size.cy, metrics.tmHeight);
    EXPECT_EQ(metrics.tmHeight, metrics.tmAscent + metrics.tmDescent);
    EXPECT_GE(metrics.tmHeight, 16);

    // A single-line DT_CALCRECT is exactly one text-metric line high.
    RECT r{0, 0, 0, 0};
    EXPECT_EQ(DrawTextW(Dc(), L"中文 Ag", -1, &r, DT_SINGLELINE | DT_CALCRECT), metrics.tmHeight);

    // Chinese text is drawn, not skipped.
    RECT box{0, 0, 320, 120};
    DrawTextW(Dc(), L"中文", -1, &box, DT_SINGLELINE);
    EXPECT_GT(Ink().right, 0);
}

// Laid-out text is kept between calls; whatever shapes the layout must pick another one.
TEST_F(TextTest, KeptLayoutsFollowTheFontAndTheFit) {
    const wchar_t* text = L"Kept layouts 布局";
    auto width = [&] {
        SIZE size{};
        EXPECT_TRUE(GetTextExtentPoint32W(Dc(), text, static_cast<int>(std::wcslen(text)), &size));
        return size.cx;
    };
    auto inkWidth = [&](RECT box, UINT format) {
        Clear();
        DrawTextW(Dc(), text, -1, &box, format | DT_NOCLIP);
        const RECT ink = Ink();
        return ink.right - ink.left;
    };
    const LONG normal = width();
    const LONG normalInk = inkWidth(RECT{0, 0, 320, 40}, DT_SINGLELINE);
    {
        // Another font selected into the same DC.
        HFONT large = MakeFont(-32);
        SelectObject(Dc(), large);
        EXPECT_GT(width(), normal * 3 / 2);
        EXPECT_GT(inkWidth(RECT{0, 0, 320, 40}, DT_SINGLELINE), normalInk * 3 / 2);
        SelectObject(Dc(), m_font);
        DeleteObject(large);
        EXPECT_EQ(width(), normal);
    }
    {
        // A font deleted, and one of another size made in its place.
        HFONT first = MakeFont(-12);
        SelectObject(Dc(), first);
        const LONG small = width();
        SelectObject(Dc(), m_font);
        DeleteObject(first);
        HFONT second = MakeFont(-24, platform::kPinnedFontFace, FW_BOLD);
        SelectObject(Dc(), second);
        EXPECT_GT(width(), small * 3 / 2);
        SelectObject(Dc(), m_font);
        DeleteObject(second);
    }
    {
        // The rectangle's width shapes a shortened line, and only that.
        const LONG wide = inkWidth(RECT{0, 0, 300, 40}, DT_SINGLELINE | DT_END_ELLIPSIS);
        const LONG narrow = inkWidth(RECT{0, 0, 60, 40}, DT_SINGLELINE | DT_END_ELLIPSIS);
        EXPECT_LE(narrow, 60);
        EXPECT_GT(wide, narrow + 40);
        EXPECT_EQ(inkWidth(RECT{0, 0, 300, 40}, DT_SINGLELINE | DT_END_ELLIPSIS), wide);
        RECT natural{0, 0, 0, 0};
        DrawTextW(Dc(), text, -1, &natural, DT_SINGLELINE | DT_END_ELLIPSIS | DT_CALCRECT);
        EXPECT_EQ(natural.right, normal);
    }
}

// Plain text on a transparent background is put on 32-bit pixels from its kept coverage; on
// pixels without alpha it goes through cairo as before. Both must give the same colours.
TEST(TextDrawingTest, TextFromItsKeptCoverageMatchesTextDrawnByCairo) {
    constexpr int kWidth = 160, kHeight = 40;
    const SurfacePair pair(kWidth, kHeight, CAIRO_FORMAT_RGB24, CAIRO_FORMAT_ARGB32);
    HDC viaCairo = pair.Dc(0);
    HDC viaCoverage = pair.Dc(1);
    ASSERT_TRUE(viaCairo && viaCoverage);
    const struct {
        const wchar_t* text;
        int height;
        int weight;
        COLORREF colour;
        UINT format;
        RECT rect;
    } cases[] = {
        {L"23%", -10, FW_NORMAL, RGB(255, 255, 255), DT_CENTER | DT_SINGLELINE | DT_VCENTER, {3, 0, 31, 18}},
        {L"Tarnvik", -13, FW_BOLD, RGB(255, 255, 255), DT_SINGLELINE | DT_VCENTER, {0, 0, 160, 33}},
        {L"AVAVAV ffi Wa.", -18, FW_NORMAL, RGB(46, 52, 64), DT_SINGLELINE, {1, 2, 160, 40}},
        {L"安装程序正在下载", -12, FW_NORMAL, RGB(200, 30, 90), DT_SINGLELINE | DT_CENTER, {0, 5, 150, 40}},
        {L"cut off by the rectangle", -14, FW_NORMAL, RGB(0, 0, 0), DT_SINGLELINE, {10, 4, 60, 14}},
        {L"fjjf//\\VAW", -22, FW_BOLD, RGB(250, 250, 20), DT_SINGLELINE, {0, 0, 160, 40}},
        {L"two lines of text\nwrapped 中文", -11, FW_NORMAL, RGB(10, 120, 240), DT_WORDBREAK, {0, 0, 90, 40}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.height);
        HFONT font = MakeFont(c.height, platform::kPinnedFontFace, c.weight);
        // A clip of two bands across the text, as a window's invalid region may be.
        HRGN clip = CreateRectRgn(0, 0, kWidth, 9);
        HRGN band = CreateRectRgn(20, 12, 120, kHeight);
        CombineRgn(clip, clip, band, RGN_OR);
        for (HDC dc : {viaCairo, viaCoverage}) {
            SelectClipRgn(dc, nullptr);
            platform::FillRectAlpha(dc, RECT{0, 0, kWidth, kHeight}, 0xFF5080A0);
            if (c.height == -22) SelectClipRgn(dc, clip);
            SelectObject(dc, font);
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, c.colour);
            RECT rect = c.rect;
            DrawTextW(dc, c.text, -1, &rect, c.format | DT_NOPREFIX);
            SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        }
        int wrong = 0, inked = 0;
        for (int y = 0; y < kHeight; ++y) {
            const uint32_t* a = pair.Row(0, y);
            const uint32_t* b = pair.Row(1, y);
            for (int x = 0; x < kWidth; ++x) {
                inked += (b[x] & 0xFFFFFF) != 0x5080A0 ? 1 : 0;
                if ((a[x] & 0xFFFFFF) != (b[x] & 0xFFFFFF) && wrong++ < 3) {
                    ADD_FAILURE() << "at " << x << "," << y << ": " << std::hex << a[x] << " vs " << b[x];
                }
            }
        }
        EXPECT_EQ(wrong, 0);
        EXPECT_GT(inked, 20) << "the text was drawn";
        DeleteObject(font);
        DeleteObject(clip);
        DeleteObject(band);
    }
}

// Numbers are put together from their characters' kept glyphs instead of being laid out.
// Every percentage, and numbers of every length, in several sizes, weights, places and clips,
// must come out as their layouts' coverage puts them.
TEST(TextDrawingTest, NumbersPutTogetherFromTheirGlyphsMatchTheirLayouts) {
    constexpr int kWidth = 120, kHeight = 60;
    // Laid out into the first, put together into the second.
    const SurfacePair pair(kWidth, kHeight, CAIRO_FORMAT_ARGB32, CAIRO_FORMAT_ARGB32);
    std::vector<std::wstring> texts;
    for (int percent = 0; percent <= 100; ++percent)
        texts.push_back(std::to_wstring(percent) + L"%");
    for (const wchar_t* text : {L"0", L"7", L"%%", L"%1%", L"1234567890", L"9876543210%", L"000111"})
        texts.push_back(text);
    const struct {
        int height;
        int weight;
        UINT format;
        RECT rect;
        bool clipped;
    } cases[] = {
        {-10, FW_NORMAL, DT_CENTER | DT_SINGLELINE | DT_VCENTER, {3, 0, 31, 18}, false},
        {-9, FW_BOLD, DT_RIGHT | DT_SINGLELINE | DT_BOTTOM, {0, 0, 117, 50}, false},
        {-13, FW_BOLD, DT_SINGLELINE, {5, 7, 120, 60}, true},
        {-46, FW_NORMAL, DT_CENTER | DT_SINGLELINE, {-20, 2, 100, 60}, true},
        {-17, FW_NORMAL, DT_CENTER, {1, 1, 12, 13}, false},
    };
    HRGN clip = CreateRectRgn(0, 0, kWidth, 9);
    HRGN band = CreateRectRgn(20, 12, 70, kHeight);
    CombineRgn(clip, clip, band, RGN_OR);
    int wrongTexts = 0;
    // Draws `text` both ways and counts a difference.
    auto compare = [&](HFONT font, const std::wstring& text, UINT format, const RECT& where, bool clipped) {
        for (HDC dc : {pair.Dc(0), pair.Dc(1)}) {
            ASSERT_TRUE(dc);
            platform::gdi::SetNumbersComposed(dc == pair.Dc(1));
            SelectClipRgn(dc, nullptr);
            platform::FillRectAlpha(dc, RECT{0, 0, kWidth, kHeight}, 0xFF2B7BF3);
            if (clipped) SelectClipRgn(dc, clip);
            SelectObject(dc, font);
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, RGB(255, 255, 255));
            RECT rect = where;
            EXPECT_EQ(DrawTextW(dc, text.c_str(), -1, &rect, format | DT_NOPREFIX),
                      DrawTextW(dc, text.c_str(), -1, &rect, format | DT_NOPREFIX | DT_CALCRECT));
            SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        }
        int wrong = 0;
        for (int y = 0; y < kHeight; ++y) {
            const uint32_t* a = pair.Row(0, y);
            const uint32_t* b = pair.Row(1, y);
            for (int x = 0; x < kWidth; ++x)
                wrong += a[x] != b[x] ? 1 : 0;
        }
        if (wrong != 0 && wrongTexts++ < 5)
            ADD_FAILURE() << wrong << " pixels differ for " << platform::Utf8FromWide(text);
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "size " << c.height);
        HFONT font = MakeFont(c.height, platform::kPinnedFontFace, c.weight);
        for (const std::wstring& text : texts)
            compare(font, text, c.format, c.rect, c.clipped);
        DeleteObject(font);
    }
    {
        // The same number in two fonts in turn, each time in its own (a font's numbers are put
        // together once it has drawn a few).
        HFONT small = MakeFont(-10);
        HFONT large = MakeFont(-18, platform::kPinnedFontFace, FW_BOLD);
        for (int round = 0; round < 12; ++round) {
            for (HFONT font : {small, large})
                compare(font, round % 2 ? L"57%" : std::to_wstring(round) + L"%", DT_SINGLELINE,
                        RECT{0, 0, kWidth, kHeight}, false);
        }
        DeleteObject(small);
        DeleteObject(large);
    }
    DeleteObject(clip);
    DeleteObject(band);
    platform::gdi::SetNumbersComposed(true);
    EXPECT_EQ(wrongTexts, 0);
}
