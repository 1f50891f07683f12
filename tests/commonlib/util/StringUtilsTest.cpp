#include "commonlib/util/StringUtils.h"

#include <gtest/gtest.h>

#include <climits>

TEST(StringUtilsTest, ParsesIntegersWithWtoi64Rules) {
    // Full-width digits are not decimal digits here.
    const struct {
        const wchar_t* text;
        std::int64_t expected;
    } cases[] = {
        // clang-format off
        {L"abc", 0}, {L"\t\r\n-17abc", -17}, {L"+5", 5}, {L"- 5", 0}, {L"+", 0}, {L"12 34", 12}, {L"0x10", 0},
        {L"１２", 0}, {L"9223372036854775808", INT64_MAX}, {L"-9223372036854775808", INT64_MIN},
        {L"-99999999999999999999", INT64_MIN},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(c.text)));
        EXPECT_EQ(WStringToInt64(c.text), c.expected);
    }
    EXPECT_EQ(WStringToInt(L"2147483648"), INT_MAX);
    EXPECT_EQ(WStringToInt(L"-2147483648"), INT_MIN);
    EXPECT_EQ(WStringToInt(L"-2147483649"), INT_MIN);
    EXPECT_EQ(WStringToInt(L"4294967353"), INT_MAX);  // no wrap into a small positive id
}
