#include "platform/gdi/ImageDecode.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/types/ErrorCodes.h"
#include "support/Canvas.h"
#include "support/PngBytes.h"

using testsupport::PixelNear;

namespace {

// A 2x2, 24-bit BMP: rows stored bottom-up, BGR, each row padded to 4 bytes.
std::vector<uint8_t> TinyBmp() {
    std::vector<uint8_t> bytes = {'B', 'M'};
    // File size, reserved, pixel offset; header size, width, height (positive: bottom-up),
    // planes and bits per pixel, compression, image size, resolutions, colours.
    for (uint32_t v : {70u, 0u, 54u, 40u, 2u, 2u, 1u | (24u << 16), 0u, 16u, 2835u, 2835u, 0u, 0u}) {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    // Bottom row: blue, white. Top row: red, green.
    const uint8_t rows[] = {255, 0, 0, 255, 255, 255, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0};
    bytes.insert(bytes.end(), std::begin(rows), std::end(rows));
    return bytes;
}

}  // namespace

TEST(ImageDecodeTest, DecodesPngAndBmpIntoPremultipliedTopDownPixels) {
    {
        // PNG with alpha: colours come back premultiplied.
        const auto png = testsupport::PngBytes(2, 2, {0xFFFF0000, 0x80FFFFFF, 0x00123456, 0xFF0000FF});
        const auto image = platform::DecodeImage(png);
        ASSERT_TRUE(image);
        EXPECT_TRUE(image->hasAlpha);
        EXPECT_TRUE(PixelNear(image->bits[0], 0xFFFF0000, 0));
        EXPECT_TRUE(PixelNear(image->bits[1], 0x80808080, 1));
        EXPECT_TRUE(PixelNear(image->bits[2], 0x00000000, 0));
        EXPECT_TRUE(PixelNear(image->bits[3], 0xFF0000FF, 0));
        DWORD pixel = 0;
        EXPECT_TRUE(platform::ReadBitmapPixel(image->bitmap, 1, 1, &pixel));
        EXPECT_EQ(pixel, 0xFF0000FFu);
        EXPECT_TRUE(DeleteObject(image->bitmap));
    }
    {
        // BMP rows arrive bottom-up; the bitmap is top-down and opaque.
        const auto image = platform::DecodeImage(TinyBmp());
        ASSERT_TRUE(image);
        EXPECT_FALSE(image->hasAlpha);
        EXPECT_TRUE(PixelNear(image->bits[0], 0xFFFF0000, 0));
        EXPECT_TRUE(PixelNear(image->bits[1], 0xFF00FF00, 0));
        EXPECT_TRUE(PixelNear(image->bits[2], 0xFF0000FF, 0));
        EXPECT_TRUE(PixelNear(image->bits[3], 0xFFFFFFFF, 0));
        DeleteObject(image->bitmap);
    }
}

TEST(ImageDecodeTest, RejectsMalformedInput) {
    const auto png = testsupport::PngBytes(4, 4, std::vector<uint32_t>(16, 0xFF336699));
    std::vector<uint8_t> truncated(png.begin(), png.begin() + 45);  // stops inside the image data
    const auto bmp = TinyBmp();
    std::vector<uint8_t> huge = png;  // the IHDR width field claims 100000 pixels
    huge[16] = 0x00;
    huge[17] = 0x01;
    huge[18] = 0x86;
    huge[19] = 0xA0;
    const struct {
        const char* why;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"empty input", {}},
        {"not an image", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'}},
        {"truncated png", truncated},
        {"png larger than allowed", huge},
        {"bmp header only", std::vector<uint8_t>(bmp.begin(), bmp.begin() + 20)},
        {"gif is not a skin format", {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::string error;
        SetLastError(0);
        EXPECT_FALSE(platform::DecodeImage(c.bytes, &error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(GetLastError(), ERROR_INVALID_DATA);
    }
}
