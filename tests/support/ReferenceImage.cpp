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

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int Channel(uint32_t pixel, int shift) {
    return static_cast<int>((pixel >> shift) & 0xFF);
}

bool Near(uint32_t a, uint32_t b, int tolerance) {
    for (int shift : {0, 8, 16, 24}) {
        if (std::abs(Channel(a, shift) - Channel(b, shift)) > tolerance) return false;
    }
    return true;
}

}  // namespace

::testing::AssertionResult MatchesReferencePng(const std::string& referencePath, int width, int height,
                                               const std::vector<uint32_t>& argb, ReferenceTolerance tolerance) {
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    if (width <= 0 || height <= 0 || argb.size() != count) {
        return ::testing::AssertionFailure()
               << "the picture has " << argb.size() << " pixels, not " << width << " x " << height;
    }
    const std::filesystem::path reference(referencePath);
    const char* update = std::getenv("XJ_UPDATE_REFERENCES");
    if (update != nullptr && std::string(update) == "1") {
        if (!WriteFile(reference, PngBytes(width, height, argb))) {
            return ::testing::AssertionFailure() << "cannot write " << referencePath;
        }
        return ::testing::AssertionSuccess() << "wrote " << referencePath;
    }

    const std::filesystem::path actualPath = reference.stem().string() + ".actual.png";
    const std::filesystem::path diffPath = reference.stem().string() + ".diff.png";
    const auto fail = [&](const std::string& why) {
        WriteFile(actualPath, PngBytes(width, height, argb));
        return ::testing::AssertionFailure()
               << why << "; the picture is in " << std::filesystem::absolute(actualPath).string()
               << " (XJ_UPDATE_REFERENCES=1 rewrites the reference)";
    };
    const std::vector<uint8_t> bytes = ReadFile(reference);
    if (bytes.empty()) return fail("no reference " + referencePath);
    std::string error;
    std::optional<platform::DecodedImage> decoded = platform::DecodeImage(bytes, &error);
    if (!decoded) return fail("the reference does not decode: " + error);
    const std::vector<uint32_t> expected(
        decoded->bits, decoded->bits + static_cast<size_t>(decoded->width) * static_cast<size_t>(decoded->height));
    const int expectedWidth = decoded->width;
    const int expectedHeight = decoded->height;
    DeleteObject(decoded->bitmap);
    if (expectedWidth != width || expectedHeight != height) {
        return fail("the reference is " + std::to_string(expectedWidth) + " x " + std::to_string(expectedHeight) +
                    ", the picture " + std::to_string(width) + " x " + std::to_string(height));
    }

    std::vector<uint32_t> diff(count, 0xFFFFFFFF);
    size_t differing = 0;
    for (size_t i = 0; i < count; ++i) {
        if (Near(argb[i], expected[i], tolerance.channel)) continue;
        ++differing;
        diff[i] = 0xFFFF0000;
    }
    if (static_cast<double>(differing) <= tolerance.differingShare * static_cast<double>(count)) {
        return ::testing::AssertionSuccess();
    }
    WriteFile(diffPath, PngBytes(width, height, diff));
    return fail(std::to_string(differing) + " of " + std::to_string(count) + " pixels differ from " + referencePath +
                " (the differing ones are red in " + std::filesystem::absolute(diffPath).string() + ")");
}

}  // namespace testsupport
