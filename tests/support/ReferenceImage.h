// Compares pixels with a reference PNG kept under tests/data/reference, with a
// tolerance, so that small differences in how text is smoothed pass while a
// moved, missing or recoloured part fails.
//
// On a mismatch, or when the reference is missing, the actual pixels are
// written to <build directory>/artifacts/<name> for a person to look at. With
// XJ_UPDATE_REFERENCE_IMAGES=1 in the environment they are written over the
// reference instead and the comparison passes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/types/WinTypes.h"

namespace testsupport {

struct ImageTolerance {
    // A pixel differs when any channel differs by more than this.
    int channel = 48;
    // The comparison fails when more than this share of the pixels differ.
    double differingShare = 0.01;
};

// `argb` holds width * height premultiplied 0xAARRGGBB pixels, rows top-down.
::testing::AssertionResult MatchesReferenceImage(const std::string& name, const std::vector<uint32_t>& argb, int width,
                                                 int height, ImageTolerance tolerance = {});

// Writes the pixels (as above) to <build directory>/artifacts/<name>, for a person to look at.
bool WriteArtifact(const std::string& name, const std::vector<uint32_t>& argb, int width, int height);

// The client area of a top-level window as a viewer sees it (platform::CopyShownPixels),
// pixels as above; empty when the window has none.
std::vector<uint32_t> ShownClientPixels(HWND hwnd);

}  // namespace testsupport
