#include "ui/skin/ImageSpec.h"

#include <gtest/gtest.h>

using namespace SkinUI;

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
