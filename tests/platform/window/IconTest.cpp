#include "platform/window/Icon.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/resource/Resource.h"
#include "platform/types/ErrorCodes.h"
#include "support/PngBytes.h"

namespace {

void Put(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A 32-bit icon DIB: header, colour rows bottom-up, then the AND mask rows.
std::string Dib(int width, int height, const std::vector<uint32_t>& topDown, int bits = 32) {
    std::string out;
    Put(out, 40, 4);
    Put(out, static_cast<uint32_t>(width), 4);
    Put(out, static_cast<uint32_t>(height * 2), 4);
    Put(out, 1, 2);
    Put(out, static_cast<uint32_t>(bits), 2);
    for (int i = 0; i < 6; ++i)
        Put(out, 0, 4);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x)
            Put(out, topDown[static_cast<size_t>(y) * width + x], 4);
    }
    out.append(static_cast<size_t>(height) * 4, '\0');
    return out;
}

// A group naming (width, image id) pairs.
std::string Group(const std::vector<std::pair<int, WORD>>& images) {
    std::string out;
    Put(out, 0, 2);
    Put(out, 1, 2);
    Put(out, static_cast<uint32_t>(images.size()), 2);
    for (const auto& [width, id] : images) {
        Put(out, static_cast<uint32_t>(width & 0xFF), 1);
        Put(out, static_cast<uint32_t>(width & 0xFF), 1);
        Put(out, 0, 2);
        Put(out, 1, 2);
        Put(out, 32, 2);
        Put(out, 0, 4);
        Put(out, id, 2);
    }
    return out;
}

}  // namespace

TEST(IconTest, TheGroupsImageClosestToTheAskedSizeIsLoaded) {
    const auto png = testsupport::PngBytes(32, 32, std::vector<uint32_t>(32 * 32, 0x80FF0000));
    ASSERT_TRUE(platform::RegisterResource(RT_ICON, 7101, std::string(png.begin(), png.end())));
    // 16 x 16: the top row green, the rest opaque blue.
    std::vector<uint32_t> small(16 * 16, 0xFF0000FF);
    for (int x = 0; x < 16; ++x)
        small[x] = 0xFF00FF00;
    ASSERT_TRUE(platform::RegisterResource(RT_ICON, 7102, Dib(16, 16, small)));
    ASSERT_TRUE(platform::RegisterResource(RT_GROUP_ICON, 7100, Group({{32, 7101}, {16, 7102}})));

    const HICON big = LoadImageW(nullptr, MAKEINTRESOURCEW(7100), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR);
    const auto bigImage = platform::IconImageOf(big);
    ASSERT_TRUE(bigImage.has_value());
    EXPECT_EQ(bigImage->width, 32);
    EXPECT_EQ(bigImage->argb[0], 0x80FF0000u) << "straight alpha, as the desktop wants it";

    const HICON small16 = LoadImageW(nullptr, MAKEINTRESOURCEW(7100), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR);
    const auto smallImage = platform::IconImageOf(small16);
    ASSERT_TRUE(smallImage.has_value());
    EXPECT_EQ(smallImage->width, 16);
    EXPECT_EQ(smallImage->argb[0], 0xFF00FF00u) << "rows come top-down";
    EXPECT_EQ(smallImage->argb[16 * 15], 0xFF0000FFu);

    EXPECT_EQ(LoadImageW(nullptr, MAKEINTRESOURCEW(7100), IMAGE_ICON, 24, 24, 0), big) << "the next larger";
    EXPECT_EQ(LoadImageW(nullptr, MAKEINTRESOURCEW(7100), IMAGE_ICON, 64, 64, 0), big) << "else the largest";
    EXPECT_EQ(LoadImageW(nullptr, MAKEINTRESOURCEW(7100), IMAGE_ICON, 16, 16, 0), small16) << "shared";

    // Images that are neither PNG nor a 32-bit DIB, and groups that are cut short, load nothing.
    ASSERT_TRUE(platform::RegisterResource(RT_ICON, 7103, Dib(16, 16, small, 24)));
    ASSERT_TRUE(platform::RegisterResource(RT_GROUP_ICON, 7104, Group({{16, 7103}})));
    EXPECT_EQ(LoadImageW(nullptr, MAKEINTRESOURCEW(7104), IMAGE_ICON, 16, 16, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_DATA);
    ASSERT_TRUE(platform::RegisterResource(RT_GROUP_ICON, 7105, Group({{16, 7102}}).substr(0, 12)));
    EXPECT_EQ(LoadImageW(nullptr, MAKEINTRESOURCEW(7105), IMAGE_ICON, 16, 16, 0), nullptr);
    EXPECT_EQ(LoadImageW(nullptr, MAKEINTRESOURCEW(7199), IMAGE_ICON, 16, 16, 0), nullptr);
}
