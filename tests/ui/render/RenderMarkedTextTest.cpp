#include <gtest/gtest.h>

#include <vector>

#include "support/Canvas.h"
#include "ui/core/PaintManager.h"
#include "ui/render/RenderEngine.h"

using namespace SkinUI;
using testsupport::Canvas;

namespace {

constexpr DWORD kWhite = 0xFFFFFFFF;
constexpr DWORD kBlack = 0xFF000000;

// Fonts from a paint manager: index 0 of 14 pixels (also the default), index 1 of 28.
class RenderMarkedTextTest : public ::testing::Test {
protected:
    RenderMarkedTextTest() {
        m_fonts.AddFont(L"", 14, false, false, false, true);
        m_fonts.AddFont(L"", 28, false, false, false);
    }

    // The size DrawMarkedText measures for `text` in a rectangle `width` wide.
    SIZE Measure(const wchar_t* text, UINT format, int width = 0) {
        RECT rect{10, 20, 10 + width, 20};
        int none = 0;
        EXPECT_TRUE(CUIRenderEngine::DrawMarkedText(m_canvas.Dc(), &m_fonts, rect, text, kBlack, nullptr, nullptr, none,
                                                    format | DT_CALCRECT));
        return SIZE{rect.right - 10, rect.bottom - 20};
    }
    int LineHeight() { return Measure(L"x", DT_SINGLELINE).cy; }
    // Draws black `text` without collecting links.
    bool DrawOn(Canvas& canvas, RECT rect, const wchar_t* text, UINT format) {
        int none = 0;
        return CUIRenderEngine::DrawMarkedText(canvas.Dc(), &m_fonts, rect, text, kBlack, nullptr, nullptr, none,
                                               format);
    }

    // Pixels in `box` whose colour is within a small distance of `argb`.
    int CountNear(const Canvas& canvas, const RECT& box, DWORD argb) {
        int count = 0;
        for (int y = std::max<LONG>(box.top, 0); y < std::min<LONG>(box.bottom, canvas.Height()); ++y)
            for (int x = std::max<LONG>(box.left, 0); x < std::min<LONG>(box.right, canvas.Width()); ++x)
                count += testsupport::PixelNear(canvas.Pixel(x, y), argb, 24) ? 1 : 0;
        return count;
    }

    CUIPaintManager m_fonts;
    Canvas m_canvas{400, 200};
};

}  // namespace

TEST_F(RenderMarkedTextTest, MeasuresStylesLinesAndWrapping) {
    const int line = LineHeight();
    EXPECT_GT(line, 10);
    {
        SCOPED_TRACE("bold and a bigger font are wider and taller");
        const SIZE plain = Measure(L"WWWW", DT_SINGLELINE);
        const SIZE big = Measure(L"W{f 1}WWWW{/f}", DT_SINGLELINE);
        EXPECT_GT(big.cx, plain.cx * 3 / 2);
        EXPECT_GT(big.cy, line * 3 / 2);
        // Tags take no room.
        EXPECT_EQ(Measure(L"{c #FFFF0000}WW{/c}{u}{/u}WW", DT_SINGLELINE).cx, plain.cx);
    }
    {
        SCOPED_TRACE("breaks");
        EXPECT_EQ(Measure(L"one{n}two", 0).cy, 2 * line);
        EXPECT_EQ(Measure(L"one{n}two", DT_SINGLELINE).cy, line);
    }
    {
        SCOPED_TRACE("word wrapping at blanks and between ideographs");
        const int word = Measure(L"alpha", DT_SINGLELINE).cx;
        const SIZE wrapped = Measure(L"alpha alpha  alpha", DT_WORDBREAK, word + 4);
        EXPECT_EQ(wrapped.cy, 3 * line);
        EXPECT_LE(wrapped.cx, word + 4);
        const int ideographs = Measure(L"安装程序", DT_SINGLELINE).cx;
        const SIZE cjk = Measure(L"安装程序安装程序", DT_WORDBREAK, ideographs + 2);
        EXPECT_EQ(cjk.cy, 2 * line);
        // A word longer than the line is cut, not left hanging over the edge.
        const SIZE cut = Measure(L"abcdefghijklmnopqrstuvwxyz", DT_WORDBREAK, word);
        EXPECT_GT(cut.cy, line);
        EXPECT_LE(cut.cx, word);
    }
}

TEST_F(RenderMarkedTextTest, ReturnsLinkRectanglesUpToTheCallersCount) {
    const wchar_t* text = L"阅读 {a agreement}{c #FF0000FF}用户协议{/c}{/a} 和 {a}隐私政策{/a}";
    RECT rect{10, 10, 390, 60};
    RECT rects[4] = {};
    CUIString texts[4];
    int count = 4;
    ASSERT_TRUE(CUIRenderEngine::DrawMarkedText(m_canvas.Dc(), &m_fonts, rect, text, kBlack, rects, texts, count,
                                                DT_SINGLELINE));
    ASSERT_EQ(count, 2);
    EXPECT_EQ(texts[0], L"agreement");
    EXPECT_EQ(texts[1], L"隐私政策");
    EXPECT_LT(rects[0].left, rects[0].right);
    EXPECT_LE(rects[0].right, rects[1].left);
    EXPECT_EQ(rects[0].top, rects[1].top);
    EXPECT_GE(rects[0].top, 10);
    // The first link's rectangle holds its blue text.
    EXPECT_GT(CountNear(m_canvas, rects[0], 0xFF0000FF), 5);
    EXPECT_EQ(CountNear(m_canvas, RECT{0, 0, rects[0].left, 200}, 0xFF0000FF), 0);

    {
        SCOPED_TRACE("a link broken over two lines gives one rectangle per line");
        const int width = Measure(L"ab 用户", DT_SINGLELINE).cx + 2;
        RECT wrapRect{0, 0, width, 100};
        int split = 4;
        ASSERT_TRUE(CUIRenderEngine::DrawMarkedText(m_canvas.Dc(), &m_fonts, wrapRect, L"ab {a}用户协议{/a}", kBlack,
                                                    rects, texts, split, DT_WORDBREAK));
        ASSERT_EQ(split, 2);
        EXPECT_EQ(texts[0], L"用户协议");
        EXPECT_EQ(texts[1], L"用户协议");
        EXPECT_EQ(rects[0].bottom, rects[1].top);
        EXPECT_EQ(rects[1].left, 0);
    }
}
