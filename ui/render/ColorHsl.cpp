#include "ui/render/ColorHsl.h"

#include <algorithm>
#include <cmath>

namespace SkinUI {
namespace {

struct Hsl {
    double h = 0;  // degrees, 0..360
    double s = 0;  // 0..1
    double l = 0;  // 0..1
};

Hsl ToHsl(double r, double g, double b) {
    const double high = std::max({r, g, b});
    const double low = std::min({r, g, b});
    Hsl out;
    out.l = (high + low) / 2;
    const double range = high - low;
    if (range <= 0) return out;
    out.s = out.l > 0.5 ? range / (2 - high - low) : range / (high + low);
    if (high == r) {
        out.h = (g - b) / range + (g < b ? 6 : 0);
    } else if (high == g) {
        out.h = (b - r) / range + 2;
    } else {
        out.h = (r - g) / range + 4;
    }
    out.h *= 60;
    return out;
}

double HueChannel(double p, double q, double t) {
    if (t < 0) t += 1;
    if (t > 1) t -= 1;
    if (t < 1.0 / 6) return p + (q - p) * 6 * t;
    if (t < 1.0 / 2) return q;
    if (t < 2.0 / 3) return p + (q - p) * (2.0 / 3 - t) * 6;
    return p;
}

DWORD Channel(double value, int shift) {
    const long rounded = std::lround(std::clamp(value, 0.0, 1.0) * 255);
    return static_cast<DWORD>(rounded) << shift;
}

}  // namespace

DWORD AdjustColor(DWORD argb, int hueShift, int saturationPercent, int lightnessPercent) {
    const int turn = ((hueShift % 360) + 360) % 360;
    if (turn == 0 && saturationPercent == kPercentUnchanged && lightnessPercent == kPercentUnchanged) return argb;
    const double r = ((argb >> 16) & 0xFF) / 255.0;
    const double g = ((argb >> 8) & 0xFF) / 255.0;
    const double b = (argb & 0xFF) / 255.0;
    Hsl hsl = ToHsl(r, g, b);
    hsl.h = std::fmod(hsl.h + turn, 360.0);
    hsl.s = std::min(1.0, hsl.s * std::max(saturationPercent, 0) / 100.0);
    hsl.l = std::min(1.0, hsl.l * std::max(lightnessPercent, 0) / 100.0);
    const DWORD alpha = argb & 0xFF000000;
    if (hsl.s <= 0) return alpha | Channel(hsl.l, 16) | Channel(hsl.l, 8) | Channel(hsl.l, 0);
    const double q = hsl.l < 0.5 ? hsl.l * (1 + hsl.s) : hsl.l + hsl.s - hsl.l * hsl.s;
    const double p = 2 * hsl.l - q;
    const double t = hsl.h / 360;
    return alpha | Channel(HueChannel(p, q, t + 1.0 / 3), 16) | Channel(HueChannel(p, q, t), 8) |
           Channel(HueChannel(p, q, t - 1.0 / 3), 0);
}

}  // namespace SkinUI
