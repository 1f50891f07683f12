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
        {"a negative turn goes the other way", 0xFFFF0000, -120, 100, 100, 0xFF0000FF},
        {"no saturation is grey of the same lightness", 0xFFFF0000, 0, 0, 100, 0xFF808080},
        {"double lightness of dark grey is middle grey", 0xFF404040, 0, 100, 200, 0xFF808080},
        {"lightness is capped at white", 0xFFC0C0C0, 0, 100, 300, 0xFFFFFFFF},
        {"greys have no hue to turn", 0xFF808080, 90, 150, 100, 0xFF808080},
        {"negative percentages count as zero", 0xFF3080C0, 0, 100, -50, 0xFF000000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(AdjustColor(c.argb, c.hue, c.saturation, c.lightness), c.expected);
    }
}
