#include "support/ReferenceImage.h"

#include <cairo.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/window/Paint.h"
#include "platform/window/WindowPos.h"

namespace testsupport {

namespace {

std::filesystem::path ArtifactsDir() {
    std::error_code error;
    auto dir = std::filesystem::read_symlink("/proc/self/exe", error).parent_path().parent_path() / "artifacts";
    std::filesystem::create_directories(dir, error);
    return dir;
}

bool WritePng(const std::filesystem::path& path, const std::vector<uint32_t>& argb, int width, int height) {
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    auto* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y)
        std::memcpy(data + static_cast<size_t>(y) * stride, argb.data() + static_cast<size_t>(y) * width,
                    static_cast<size_t>(width) * 4);
    cairo_surface_mark_dirty(surface);
    const bool written = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return written;
}

int ChannelDistance(uint32_t a, uint32_t b) {
    int largest = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const int d = std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
        largest = std::max(largest, d);
    }
    return largest;
}

}  // namespace

bool WriteArtifact(const std::string& name, const std::vector<uint32_t>& argb, int width, int height) {
    return WritePng(ArtifactsDir() / name, argb, width, height);
}

::testing::AssertionResult MatchesReferenceImage(const std::string& name, const std::vector<uint32_t>& argb, int width,
                                                 int height, ImageTolerance tolerance) {
    if (width <= 0 || height <= 0 || argb.size() != static_cast<size_t>(width) * height)
        return ::testing::AssertionFailure() << "no pixels to compare";
    const std::filesystem::path reference = std::filesystem::path(XJ_REFERENCE_IMAGE_DIR) / name;
    const char* update = std::getenv("XJ_UPDATE_REFERENCE_IMAGES");
    if (update != nullptr && std::string(update) == "1") {
        if (!WritePng(reference, argb, width, height))
            return ::testing::AssertionFailure() << "cannot write " << reference;
        return ::testing::AssertionSuccess() << "wrote " << reference;
    }
    const std::filesystem::path actual = ArtifactsDir() / name;

    cairo_surface_t* expected = cairo_image_surface_create_from_png(reference.c_str());
    if (cairo_surface_status(expected) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(expected);
        WritePng(actual, argb, width, height);
        return ::testing::AssertionFailure() << "no reference image " << reference << "; the pixels are in " << actual;
    }
    const int expectedWidth = cairo_image_surface_get_width(expected);
    const int expectedHeight = cairo_image_surface_get_height(expected);
    if (expectedWidth != width || expectedHeight != height) {
        cairo_surface_destroy(expected);
        WritePng(actual, argb, width, height);
        return ::testing::AssertionFailure() << "size " << width << "x" << height << " differs from the reference's "
                                             << expectedWidth << "x" << expectedHeight << "; see " << actual;
    }
    cairo_surface_flush(expected);
    const auto* data = cairo_image_surface_get_data(expected);
    const int stride = cairo_image_surface_get_stride(expected);
    const bool opaque = cairo_image_surface_get_format(expected) == CAIRO_FORMAT_RGB24;
    size_t differing = 0;
    int firstX = -1, firstY = -1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint32_t want = 0;
            std::memcpy(&want, data + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 4, 4);
            if (opaque) want |= 0xFF000000u;
            if (ChannelDistance(want, argb[static_cast<size_t>(y) * width + x]) <= tolerance.channel) continue;
            if (differing++ == 0) {
                firstX = x;
                firstY = y;
            }
        }
    }
    cairo_surface_destroy(expected);
    const double share = static_cast<double>(differing) / (static_cast<double>(width) * height);
    if (share <= tolerance.differingShare) return ::testing::AssertionSuccess();
    WritePng(actual, argb, width, height);
    return ::testing::AssertionFailure() << differing << " of " << width * height << " pixels differ from " << reference
                                         << " (first at " << firstX << "," << firstY << "); see " << actual;
}

std::vector<uint32_t> ShownClientPixels(HWND hwnd) {
    RECT client{};
    if (!GetClientRect(hwnd, &client)) return {};
    std::vector<uint32_t> pixels(static_cast<size_t>(client.right) * client.bottom);
    if (!platform::CopyShownPixels(hwnd, client, pixels.data())) return {};
    return pixels;
}

}  // namespace testsupport
