// The hue, saturation and lightness adjustment that a control's "colorhsl" applies to its
// colours. Pure functions, any thread.
#pragma once

#include "platform/types/WinTypes.h"

namespace SkinUI {

inline constexpr int kHueUnchanged = 0;
inline constexpr int kPercentUnchanged = 100;

// Turns the hue by `hueShift` degrees (any value; taken modulo 360) and scales saturation
// and lightness by `saturationPercent` and `lightnessPercent` (100 keeps them; results are
// capped at full saturation and white, and negative percentages count as 0). Alpha is kept.
// AdjustColor(c, 0, 100, 100) == c for every colour.
DWORD AdjustColor(DWORD argb, int hueShift, int saturationPercent, int lightnessPercent);

}  // namespace SkinUI
