#include "ui/render/ImageCache.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/resource/Resource.h"
#include "support/PngBytes.h"
#include "support/StoredZip.h"
#include "ui/skin/SkinZip.h"

using namespace SkinUI;

namespace {

using Bytes = std::vector<uint8_t>;

DWORD PixelOf(const UIImageInfo* image, int x, int y) {
    DWORD pixel = 0;
    EXPECT_TRUE(platform::ReadBitmapPixel(image->bitmap, x, y, &pixel));
    return pixel;
}

UIImageRef File(const wchar_t* name, std::optional<DWORD> mask = std::nullopt) {
    UIImageRef ref;
    ref.name = name;
    ref.mask = mask;
    return ref;
}

}  // namespace

TEST(ImageCacheTest, LoadsSkinFilesOnceWhateverTheSpelling) {
    const Bytes png = testsupport::PngBytes(2, 1, {0xFFFF0000, 0xFF00FF00});
    auto zip = CSkinZip::Open(testsupport::StoredZip({{"img/btn.png", png}, {"bad.png", Bytes{1, 2, 3}}}));
    ASSERT_TRUE(zip);
    CUIImageCache cache(zip.get());

    const UIImageInfo* image = cache.FindImage(File(L"img/btn.png"));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 2);
    EXPECT_FALSE(image->hasAlpha);
    EXPECT_EQ(PixelOf(image, 1, 0), 0xFF00FF00u);
    EXPECT_EQ(cache.FindImage(File(L"IMG\\Btn.PNG")), image);
    EXPECT_EQ(cache.Count(), 1);

    EXPECT_EQ(cache.FindImage(File(L"missing.png")), nullptr);
    EXPECT_EQ(cache.FindImage(File(L"bad.png")), nullptr);
    EXPECT_EQ(cache.Count(), 1);
}

TEST(ImageCacheTest, MaskMakesAKeyedCopyAndKeepsThePlainImage) {
    CUIImageCache cache;
    ASSERT_TRUE(cache.AddImage(L"keyed.png", testsupport::PngBytes(3, 1, {0xFFFF00FF, 0xFF0000FF, 0x80FF00FF})));
    const UIImageInfo* masked = cache.FindImage(File(L"keyed.png", 0xFFFF00FF));
    ASSERT_NE(masked, nullptr);
    EXPECT_TRUE(masked->hasAlpha);
    EXPECT_EQ(PixelOf(masked, 0, 0), 0u);
    EXPECT_EQ(PixelOf(masked, 1, 0), 0xFF0000FFu);
    EXPECT_EQ(PixelOf(masked, 2, 0), 0u);  // a translucent pixel of the key colour goes too

    // The mask's alpha does not matter; the plain image is untouched.
    const UIImageInfo* plain = cache.FindImage(File(L"keyed.png"));
    ASSERT_NE(plain, nullptr);
    EXPECT_NE(plain, masked);
    EXPECT_EQ(PixelOf(plain, 0, 0), 0xFFFF00FFu);

    // Replacing or removing a file drops its masked copies too.
    ASSERT_TRUE(cache.AddImage(L"KEYED.png", testsupport::PngBytes(1, 1, {0xFFFF00FF})));
    EXPECT_EQ(cache.Count(), 1);
    EXPECT_EQ(cache.FindImage(File(L"keyed.png", 0xFF00FF))->width, 1);
    cache.RemoveImage(L"keyed.png");
    EXPECT_EQ(cache.Count(), 0);
}

TEST(ImageCacheTest, AFailedLoadIsRememberedUntilTheSourceChanges) {
    const Bytes good = testsupport::PngBytes(1, 1, {0xFF00FF00});
    auto zip = CSkinZip::Open(testsupport::StoredZip({{"bad.png", Bytes{1, 2, 3}}, {"good.png", good}}));
    ASSERT_TRUE(zip);
    CUIImageCache cache(zip.get());
    // A resource that does not decode: the next paints must not read and decode it again, so
    // bytes that arrive under its name later go unseen until the cache is told of a change.
    ASSERT_TRUE(platform::RegisterResource(RT_RCDATA, L"CACHEFAIL", "not an image"));
    UIImageRef resource;
    resource.origin = UIImageRef::Origin::Resource;
    resource.name = L"CACHEFAIL";
    EXPECT_EQ(cache.FindImage(resource), nullptr);
    ASSERT_TRUE(platform::RegisterResource(RT_RCDATA, L"CACHEFAIL", std::string(good.begin(), good.end())));
    EXPECT_EQ(cache.FindImage(resource), nullptr);
    EXPECT_EQ(cache.FindImage(File(L"bad.png")), nullptr);
    // A new archive is a change: everything is tried again.
    cache.SetSkinZip(zip.get());
    EXPECT_NE(cache.FindImage(resource), nullptr);
    EXPECT_NE(cache.FindImage(File(L"good.png")), nullptr);
}

TEST(ImageCacheTest, KnowsWhichPartsOfAnImageAreOpaque) {
    CUIImageCache cache;
    constexpr uint32_t kClear = 0x00000000, kGlass = 0x80FF0000, kRed = 0xFFFF0000, kGreen = 0xFF00FF00;
    ASSERT_TRUE(cache.AddImage(L"rows.png", testsupport::PngBytes(4, 3,
                                                                  {kRed, kRed, kRed, kRed,        //
                                                                   kClear, kRed, kGreen, kGlass,  //
                                                                   kClear, kClear, kClear, kClear})));
    const UIImageInfo* rows = cache.FindImage(File(L"rows.png"));
    ASSERT_NE(rows, nullptr);
    const struct {
        RECT rect;
        bool opaque;
    } cases[] = {
        {{0, 0, 4, 1}, true},  {{1, 0, 3, 2}, true},  {{0, 0, 2, 2}, false},
        {{1, 1, 4, 2}, false}, {{0, 0, 4, 3}, false}, {{2, 2, 3, 3}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rect.left << "," << c.rect.top << "," << c.rect.right << ","
                                        << c.rect.bottom);
        EXPECT_EQ(rows->IsOpaque(c.rect), c.opaque);
    }
    // Keying a colour out of an opaque image makes those pixels clear.
    ASSERT_TRUE(cache.AddImage(L"solid.png", testsupport::PngBytes(2, 1, {kRed, kGreen})));
    EXPECT_TRUE(cache.FindImage(File(L"solid.png"))->IsOpaque(RECT{0, 0, 2, 1}));
    const UIImageInfo* keyed = cache.FindImage(File(L"solid.png", kGreen));
    ASSERT_NE(keyed, nullptr);
    EXPECT_TRUE(keyed->IsOpaque(RECT{0, 0, 1, 1}));
    EXPECT_FALSE(keyed->IsOpaque(RECT{0, 0, 2, 1}));
}

// Lookups are answered from the recent ones; an image replaced or removed must not be.
TEST(ImageCacheTest, ReplacedAndRemovedImagesAreLookedUpAfresh) {
    CUIImageCache cache;
    ASSERT_TRUE(cache.AddImage(L"icon.png", testsupport::PngBytes(1, 1, {0xFFFF0000})));
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(PixelOf(cache.FindImage(File(L"icon.png")), 0, 0), 0xFFFF0000u);
    ASSERT_TRUE(cache.AddImage(L"icon.png", testsupport::PngBytes(2, 1, {0xFF00FF00, 0xFF00FF00})));
    const UIImageInfo* replaced = cache.FindImage(File(L"icon.png"));
    ASSERT_NE(replaced, nullptr);
    EXPECT_EQ(replaced->width, 2);
    EXPECT_EQ(PixelOf(replaced, 0, 0), 0xFF00FF00u);
    cache.RemoveImage(L"ICON.png");
    EXPECT_EQ(cache.FindImage(File(L"icon.png")), nullptr);
    ASSERT_TRUE(cache.AddImage(L"icon.png", testsupport::PngBytes(1, 1, {0xFF0000FF})));
    EXPECT_EQ(PixelOf(cache.FindImage(File(L"icon.png")), 0, 0), 0xFF0000FFu);
    cache.Clear();
    EXPECT_EQ(cache.FindImage(File(L"icon.png")), nullptr);
}
