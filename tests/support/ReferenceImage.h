// Compares a rendered canvas with a reference PNG kept under tests/data/reference.
//
// Small differences of antialiasing are tolerated: a pixel counts as different when a
// channel differs by more than `tolerance`, and the images match while at most
// `maxDifferentRatio` of the pixels differ. On a mismatch the rendered image and a map of
// the differing pixels are written to the build's "artifacts" folder. With
// XJ_UPDATE_REFERENCE_IMAGES=1 in the environment the reference is written instead (review
// it before committing). Used on the test's thread only.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/Canvas.h"

namespace testsupport {

::testing::AssertionResult MatchesReferenceImage(const Canvas& canvas, const std::string& name, int tolerance = 32,
                                                 double maxDifferentRatio = 0.0005);

}  // namespace testsupport
