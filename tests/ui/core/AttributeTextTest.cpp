#include "ui/core/AttributeText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/RectCheck.h"

using namespace SkinUI;

namespace {

std::vector<std::wstring> Flatten(const std::vector<UIAttribute>& pairs) {
    std::vector<std::wstring> out;
    for (const auto& pair : pairs)
        out.push_back(pair.name + L"=" + pair.value);
    return out;
}

}  // namespace

TEST(AttributeTextTest, PairsParseUntilMalformedTextStopsThem) {
    std::vector<UIAttribute> good;
    EXPECT_TRUE(ParseAttributeText(L" a='it''s'\tb = \"say \"\"hi\"\"\" c=\"f='x' d='1'\"\r\n", &good));
    EXPECT_EQ(Flatten(good), (std::vector<std::wstring>{L"a=it's", L"b=say \"hi\"", L"c=f='x' d='1'"}));

    const struct {
        const wchar_t* text;
        size_t goodPairs;
        size_t offset;
    } cases[] = {
        {L"a=\"1\" b", 1, 7},               // name without '='
        {L"a=\"1\" b=\"2", 1, 8},           // unterminated value
        {L"a=\"1\"b=\"2\"", 0, 5},          // no blank between pairs
        {L"a=\"x\" b='y\" c=\"z\"", 1, 8},  // mismatched quotes run to the end
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.text);
        std::vector<UIAttribute> pairs{{L"stale", L"entry"}};
        size_t offset = 999;
        EXPECT_FALSE(ParseAttributeText(c.text, &pairs, &offset));
        EXPECT_EQ(pairs.size(), c.goodPairs);
        EXPECT_EQ(offset, c.offset);
    }
}

TEST(AttributeTextTest, RectanglesAndSizesNeedEveryNumber) {
    const struct {
        const wchar_t* text;
        bool ok;
        RECT rect;
    } rects[] = {
        {L"0,10,470,16", true, {0, 10, 470, 16}},
        {L"-1,-2,+3,-4", true, {-1, -2, 3, -4}},
        {L"-2147483648,0,2147483647,0", true, {INT32_MIN, 0, INT32_MAX, 0}},
        {L"1,2,3", false, {}},     // too short: nothing past the end is read
        {L"1,,2,3,4", false, {}},  // one separator only
        {L"1,2,3,2147483648", false, {}},
    };
    for (const auto& c : rects) {
        SCOPED_TRACE(testing::Message() << '"' << c.text << '"');
        RECT rect{9, 9, 9, 9};
        EXPECT_EQ(ParseRect(c.text, &rect), c.ok);
        EXPECT_EQ(rect, (c.ok ? c.rect : RECT{9, 9, 9, 9}));
    }
}
