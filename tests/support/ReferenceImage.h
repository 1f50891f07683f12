// Compares a picture with a reference PNG kept in the source tree, with a tolerance, so a few
// composite screens can be checked whole without depending on the exact rendering of glyphs.
// Used on the test's thread only.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

struct ReferenceTolerance {
    // How far one channel of a pixel may stray before the pixel counts as different.
    int channel = 48;
    // The share of pixels that may differ (anti-aliased text edges move between font builds).
    double differingShare = 0.02;
};

// `argb` holds width * height opaque 0xAARRGGBB pixels, rows top-down. On a mismatch the
// picture and a difference mask are written to the working directory as "<stem>.actual.png"
// and "<stem>.diff.png", and the message names them. With XJ_UPDATE_REFERENCES=1 in the
// environment the reference is written from the picture instead, and the check passes.
::testing::AssertionResult MatchesReferencePng(const std::string& referencePath, int width, int height,
                                               const std::vector<uint32_t>& argb, ReferenceTolerance tolerance = {});

}  // namespace testsupport
