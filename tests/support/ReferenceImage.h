// Compares a picture with a reference PNG kept in the source tree, with a tolerance, so a few
// composite screens can be checked whole without depending on the exact rendering of glyphs.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// `argb` holds width * height opaque 0xAARRGGBB pixels, rows top-down. A pixel differs when a
// channel strays more than `channelTolerance`; at most `differingShare` of them may (text
// edges move a little between font builds). On a mismatch the picture is written to the
// working directory as "<stem>.actual.png". With XJ_UPDATE_REFERENCES=1 in the environment
// the reference is written from the picture instead.
::testing::AssertionResult MatchesReferencePng(const std::string& referencePath, int width, int height,
                                               const std::vector<uint32_t>& argb, int channelTolerance = 48,
                                               double differingShare = 0.02);

}  // namespace testsupport
