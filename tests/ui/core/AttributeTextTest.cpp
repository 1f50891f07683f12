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

TEST(AttributeTextTest, ParsesPairsWithEitherQuoteAndDoubledQuotes) {
    const struct {
        const wchar_t* text;
        std::vector<std::wstring> pairs;
    } cases[] = {
        {L" width='60'\theight = \"20\"\r\n", {L"width=60", L"height=20"}},
        {L"bkimage=\"file='a.png' corner='5,4,5,6'\"", {L"bkimage=file='a.png' corner='5,4,5,6'"}},
        {L"text='it''s' tip=\"say \"\"hi\"\"\"", {L"text=it's", L"tip=say \"hi\""}},
        {L"path=\"C:\\game\\\"", {L"path=C:\\game\\"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.text);
        std::vector<UIAttribute> pairs;
        EXPECT_TRUE(ParseAttributeText(c.text, &pairs));
        EXPECT_EQ(Flatten(pairs), c.pairs);
    }
}

TEST(AttributeTextTest, MalformedTextStopsWithThePairsBeforeIt) {
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

TEST(AttributeTextTest, ColoursAreOptionalHashAndHexArgb) {
    const struct {
        const wchar_t* text;
        bool ok;
        DWORD argb;
    } cases[] = {
        {L"#FF3C3C3C", true, 0xFF3C3C3C},
        {L"#FFFFFF", true, 0x00FFFFFF},  // six digits: alpha 0, as written
        {L"", false, 0},
        {L"#1FF3C3C3C", false, 0},
        {L" #FF000000", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << '"' << c.text << '"');
        DWORD argb = 0xDEADBEEF;
        EXPECT_EQ(ParseColor(c.text, &argb), c.ok);
        EXPECT_EQ(argb, c.ok ? c.argb : 0xDEADBEEF);  // failure keeps the old value
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
