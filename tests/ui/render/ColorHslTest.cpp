#include "ui/render/ColorHsl.h"

#include <gtest/gtest.h>

using namespace SkinUI;

TEST(ColorHslTest, AdjustsKnownColours) {
    const struct {
        const char* why;
        DWORD argb;
        int hue, saturation, lightness;
        DWORD expected;
    } cases[] = {
        {"red turned a third is green", 0xFFFF0000, 120, 100, 100, 0xFF00FF00},
        {"red turned two thirds is blue", 0xFFFF0000, 240, 100, 100, 0xFF0000FF},
        {"a negative turn goes the other way", 0xFFFF0000, -120, 100, 100, 0xFF0000FF},
        {"whole turns change nothing", 0xFF3080C0, 720, 100, 100, 0xFF3080C0},
        {"no saturation is grey of the same lightness", 0xFFFF0000, 0, 0, 100, 0xFF808080},
        {"no lightness is black", 0xFF3080C0, 0, 100, 0, 0xFF000000},
        {"double lightness of dark grey is middle grey", 0xFF404040, 0, 100, 200, 0xFF808080},
        {"lightness is capped at white", 0xFFC0C0C0, 0, 100, 300, 0xFFFFFFFF},
        {"alpha is kept", 0x80FF0000, 120, 100, 100, 0x8000FF00},
        {"greys have no hue to turn", 0xFF808080, 90, 150, 100, 0xFF808080},
        {"negative percentages count as zero", 0xFF3080C0, 0, 100, -50, 0xFF000000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(AdjustColor(c.argb, c.hue, c.saturation, c.lightness), c.expected);
    }
    // Unchanged settings return every colour as it was, bit for bit.
    for (DWORD argb : {0x00000000u, 0xFF010203u, 0x7FFEFDFCu, 0xFF3080C0u})
        EXPECT_EQ(AdjustColor(argb, kHueUnchanged, kPercentUnchanged, kPercentUnchanged), argb);
    // A round trip through HSL keeps 8-bit colours.
    EXPECT_EQ(AdjustColor(0xFF3080C0, 360, 100, 100), 0xFF3080C0u);
}
