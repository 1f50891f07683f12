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

TEST(StringUtilsTest, TrimsAndLowerCases) {
    EXPECT_EQ(TrimW(L"  Version = 1.2 \r\n"), L"Version = 1.2");
    EXPECT_EQ(TrimW(L"\v\fx\t"), L"x");
    EXPECT_EQ(TrimW(L" \t\r\n "), L"");
    EXPECT_EQ(ToLowerW(L"AbC0F9E3 安装"), L"abc0f9e3 安装");
}

TEST(StringUtilsTest, SplitsKeepingEmptyPieces) {
    using Pieces = std::vector<std::wstring>;
    const struct {
        const wchar_t* text;
        const wchar_t* delimiter;
        Pieces expected;
    } cases[] = {
        {L";a;;b", L";", {L"", L"a", L"", L"b"}},
        {L";", L";", {L"", L""}},
        {L"", L";", {}},
        {L"abc", L";", {L"abc"}},
        {L"x\r\ny\r\n", L"\r\n", {L"x", L"y", L""}},
        {L"a::b", L"::", {L"a", L"b"}},
        {L"a;b", L"", {L"a;b"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(c.text)));
        EXPECT_EQ(SplitW(c.text, c.delimiter), c.expected);
    }
    EXPECT_EQ(SplitBySemicolon("1.1.1.1;2.2.2.2;"), (std::vector<std::string>{"1.1.1.1", "2.2.2.2", ""}));
    EXPECT_TRUE(SplitBySemicolon("").empty());
}

TEST(StringUtilsTest, SubstringsAndAddressShape) {
    EXPECT_EQ(SubstrFromLast(L"a.tar.gz", L"."), L".gz");
    EXPECT_EQ(SubstrFromLast(L"setup.exe", L".zip"), L"");
    EXPECT_EQ(SubstrFromLast(L"abc", L""), L"");
    EXPECT_EQ(SubstrFromLast(L"abab", L"ab"), L"ab");

    const struct {
        const wchar_t* text;
        bool expected;
    } shapes[] = {
        {L"127.0.0.1", true}, {L"999.1.1.1", true}, {L"", false}, {L"1.2.3.4 ", false}, {L"::1", false},
    };
    for (const auto& s : shapes) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(s.text)));
        EXPECT_EQ(IsIPv4Text(s.text), s.expected);
    }
}

TEST(StringUtilsTest, AnsiIsUtf8) {
    EXPECT_EQ(WideToAnsi(L"安装"), "\xE5\xAE\x89\xE8\xA3\x85");
    EXPECT_EQ(ToWide("a\xFF"), L"a\uFFFD");
}
