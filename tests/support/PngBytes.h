// Encodes pixels as a PNG file in memory, so image tests make their own inputs.
#pragma once

#include <cstdint>
#include <vector>

namespace testsupport {

// `argb` holds width * height straight (not premultiplied) 0xAARRGGBB pixels, rows top-down.
std::vector<uint8_t> PngBytes(int width, int height, const std::vector<uint32_t>& argb);

}  // namespace testsupport
