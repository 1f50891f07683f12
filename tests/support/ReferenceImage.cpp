#include "support/ReferenceImage.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "platform/gdi/Gdi.h"
#include "platform/gdi/ImageDecode.h"
#include "support/PngBytes.h"

namespace testsupport {

namespace {

bool WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool Near(uint32_t a, uint32_t b, int tolerance) {
    for (int shift : {0, 8, 16, 24}) {
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > tolerance)
            return false;
    }
    return true;
}

}  // namespace

::testing::AssertionResult MatchesReferencePng(const std::string& referencePath, int width, int height,
                                               const std::vector<uint32_t>& argb, int channelTolerance,
                                               double differingShare) {
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    if (width <= 0 || height <= 0 || argb.size() != count) return ::testing::AssertionFailure() << "bad picture size";
    const char* update = std::getenv("XJ_UPDATE_REFERENCES");
    if (update != nullptr && std::string(update) == "1") {
        if (WriteFile(referencePath, PngBytes(width, height, argb))) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "cannot write " << referencePath;
    }
    const auto fail = [&](const std::string& why) {
        const std::filesystem::path actual = std::filesystem::path(referencePath).stem().string() + ".actual.png";
        WriteFile(actual, PngBytes(width, height, argb));
        return ::testing::AssertionFailure() << why << "; the picture is in " << std::filesystem::absolute(actual)
                                             << " (XJ_UPDATE_REFERENCES=1 rewrites the reference)";
    };
    std::ifstream in(referencePath, std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::optional<platform::DecodedImage> reference = platform::DecodeImage(bytes);
    if (!reference) return fail("no readable reference " + referencePath);
    const bool sameSize = reference->width == width && reference->height == height;
    size_t differing = 0;
    for (size_t i = 0; sameSize && i < count; ++i)
        differing += Near(argb[i], reference->bits[i], channelTolerance) ? 0 : 1;
    DeleteObject(reference->bitmap);
    if (!sameSize) return fail("the reference has another size");
    if (static_cast<double>(differing) <= differingShare * static_cast<double>(count)) {
        return ::testing::AssertionSuccess();
    }
    return fail(std::to_string(differing) + " of " + std::to_string(count) + " pixels differ from " + referencePath);
}

}  // namespace testsupport
