#include "ui/skin/ImageSpec.h"

#include <gtest/gtest.h>

#include "support/RectCheck.h"

using namespace SkinUI;

TEST(ImageSpecTest, ABareTextIsTheFileName) {
    const struct {
        const wchar_t* text;
        const wchar_t* file;
    } cases[] = {
        {L"  img\\btn close.png ", L"img\\btn close.png"},
        {L"a=b.png", L"a=b.png"},  // '=' without a quote after it is part of a name
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.text);
        UIImageSpec spec;
        ASSERT_TRUE(ParseImageSpec(c.text, &spec));
        EXPECT_EQ(spec.file, std::wstring(c.file));
        EXPECT_FALSE(spec.source.has_value());
    }
}

TEST(ImageSpecTest, ParsesEveryKey) {
    UIImageSpec spec;
    ASSERT_TRUE(
        ParseImageSpec(L" file='progress_fore.png' source='0,10,470,16'  dest='0,0,120,6' "
                       L"corner=\"5,4,5,6\" fade='128' mask='#FFFF00FF' hole='true' xtiled='true' "
                       L"ytiled='false' res='101' restype='PNG' ",
                       &spec));
    EXPECT_EQ(spec.file, L"progress_fore.png");
    EXPECT_EQ(spec.source, (RECT{0, 10, 470, 16}));
    EXPECT_EQ(spec.dest, (RECT{0, 0, 120, 6}));
    EXPECT_EQ(spec.corner, (RECT{5, 4, 5, 6}));
    EXPECT_EQ(spec.fade, 128);
    EXPECT_EQ(spec.mask, 0xFFFF00FFu);
    EXPECT_EQ(spec.hole, true);
    EXPECT_EQ(spec.xTiled, true);
    EXPECT_EQ(spec.yTiled, false);
    EXPECT_EQ(spec.res, L"101");
    EXPECT_EQ(spec.resType, L"PNG");
}

TEST(ImageSpecTest, BadSpecsFailAndLeaveTheOldValue) {
    const wchar_t* bad[] = {
        L"file='a.png' source='0,0,10'",   // short rectangle
        L"file='a.png' fade='256'",        // out of range
        L"file='a.png' sourse='0,0,1,1'",  // unknown key
        L"file='a.png",                    // unterminated
    };
    for (const wchar_t* text : bad) {
        SCOPED_TRACE(testing::Message() << text);
        UIImageSpec spec;
        spec.file = L"kept.png";
        EXPECT_FALSE(ParseImageSpec(text, &spec));
        EXPECT_EQ(spec.file, L"kept.png");
    }
}

TEST(ImageSpecTest, ModifierKeysOverrideTheBase) {
    UIImageSpec base;
    UIImageSpec modifier;
    ASSERT_TRUE(ParseImageSpec(L"file='arrow.png' source='0,0,100,20' fade='200' corner='1,1,1,1'", &base));
    ASSERT_TRUE(ParseImageSpec(L"source='20,0,40,20' dest='80,2,100,22' fade='0'", &modifier));
    const UIImageSpec merged = MergeImageSpec(base, modifier);
    EXPECT_EQ(merged.file, L"arrow.png");
    EXPECT_EQ(merged.source, (RECT{20, 0, 40, 20}));
    EXPECT_EQ(merged.dest, (RECT{80, 2, 100, 22}));
    EXPECT_EQ(merged.corner, (RECT{1, 1, 1, 1}));
    EXPECT_EQ(merged.fade, 0);
}
