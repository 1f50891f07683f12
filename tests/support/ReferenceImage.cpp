#include "support/ReferenceImage.h"

#include <cairo.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace testsupport {
namespace {

int Channel(DWORD argb, int shift) {
    return static_cast<int>((argb >> shift) & 0xFF);
}

bool Differs(DWORD a, DWORD b, int tolerance) {
    for (int shift : {0, 8, 16, 24}) {
        if (std::abs(Channel(a, shift) - Channel(b, shift)) > tolerance) return true;
    }
    return false;
}

bool WritePng(const std::vector<DWORD>& pixels, int width, int height, const std::string& path) {
    std::vector<DWORD> copy = pixels;
    cairo_surface_t* surface = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(copy.data()),
                                                                   CAIRO_FORMAT_ARGB32, width, height, width * 4);
    const bool written = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return written;
}

std::vector<DWORD> PixelsOf(const Canvas& canvas) {
    std::vector<DWORD> pixels;
    pixels.reserve(static_cast<size_t>(canvas.Width()) * canvas.Height());
    for (int y = 0; y < canvas.Height(); ++y) {
        for (int x = 0; x < canvas.Width(); ++x)
            pixels.push_back(canvas.Pixel(x, y));
    }
    return pixels;
}

}  // namespace

::testing::AssertionResult MatchesReferenceImage(const Canvas& canvas, const std::string& name, int tolerance,
                                                 double maxDifferentRatio) {
    const std::string reference = std::string(XJ_TEST_DATA_DIR) + "/reference/" + name;
    const std::vector<DWORD> actual = PixelsOf(canvas);
    const char* update = std::getenv("XJ_UPDATE_REFERENCE_IMAGES");
    if (update != nullptr && std::string(update) == "1") {
        if (!WritePng(actual, canvas.Width(), canvas.Height(), reference)) {
            return ::testing::AssertionFailure() << "cannot write " << reference;
        }
        return ::testing::AssertionSuccess() << "wrote " << reference;
    }

    cairo_surface_t* surface = cairo_image_surface_create_from_png(reference.c_str());
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return ::testing::AssertionFailure()
               << "no reference image " << reference << " (XJ_UPDATE_REFERENCE_IMAGES=1 writes it)";
    }
    cairo_surface_flush(surface);
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    if (width != canvas.Width() || height != canvas.Height()) {
        cairo_surface_destroy(surface);
        return ::testing::AssertionFailure() << "reference is " << width << "x" << height << ", rendered "
                                             << canvas.Width() << "x" << canvas.Height();
    }
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    std::vector<DWORD> differences(actual.size(), 0xFFFFFFFF);
    int different = 0;
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const DWORD*>(data + static_cast<ptrdiff_t>(y) * stride);
        for (int x = 0; x < width; ++x) {
            const size_t i = static_cast<size_t>(y) * width + x;
            if (Differs(row[x], actual[i], tolerance)) {
                ++different;
                differences[i] = 0xFFFF0000;
            }
        }
    }
    cairo_surface_destroy(surface);
    const double ratio = different / static_cast<double>(actual.size());
    if (ratio <= maxDifferentRatio) return ::testing::AssertionSuccess();
    // The tests run from <build>/tests; artefacts go to <build>/artifacts.
    std::error_code error;
    const auto artifacts =
        std::filesystem::read_symlink("/proc/self/exe", error).parent_path().parent_path() / "artifacts";
    std::filesystem::create_directories(artifacts, error);
    WritePng(actual, width, height, (artifacts / name).string());
    WritePng(differences, width, height, (artifacts / ("diff-" + name)).string());
    return ::testing::AssertionFailure() << different << " pixels (" << ratio * 100 << "%) differ from " << reference
                                         << "; the rendered image is in " << artifacts.string();
}

}  // namespace testsupport
