#include "ui/core/UIString.h"

#include <gtest/gtest.h>

#include <climits>
#include <cwchar>
#include <string>

using SkinUI::CUIString;

TEST(UIStringTest, AssigningOrAppendingPartsOfItselfIsSafe) {
    CUIString s(std::wstring(CUIString::kInlineCapacity, L'q'));
    s.Append(s.Data(), s.Length());  // the buffer moves to the heap while the source is in it
    EXPECT_EQ(s.ToWString(), std::wstring(CUIString::kInlineCapacity * 2, L'q'));
    CUIString t(L"hello world");
    t.Assign(t.Data() + 6);
    EXPECT_EQ(t, L"world");
    const CUIString& alias = t;
    t = alias;
    EXPECT_EQ(t, L"world");
}

TEST(UIStringTest, IndexOfAndMiddlePartClampInsteadOfOverrunning) {
    const CUIString s(L"source='0,10,470,16' dest");
    const struct {
        const wchar_t* text;
        int start;
        int expected;
    } finds[] = {
        {L"'", 8, 19}, {L"dest", 22, -1}, {L"", 0, -1}, {L"s", -1, -1}, {L"st", 24, -1},
    };
    for (const auto& f : finds) {
        SCOPED_TRACE(testing::Message() << '"' << f.text << "\" from " << f.start);
        EXPECT_EQ(s.IndexOf(f.text, f.start), f.expected);
    }

    EXPECT_EQ(s.MiddlePart(8, 11), L"0,10,470,16");
    EXPECT_EQ(s.MiddlePart(21, 100), L"dest");
    EXPECT_EQ(s.MiddlePart(-5, 6), L"source");
    EXPECT_TRUE(s.MiddlePart(100, 3).IsEmpty());
}

TEST(UIStringTest, ReplaceAllCountsNonOverlappingMatches) {
    const struct {
        const wchar_t* text;
        const wchar_t* from;
        const wchar_t* to;
        int count;
        const wchar_t* result;
    } cases[] = {
        {L"a-b-c", L"-", L"--", 2, L"a--b--c"},  // the replacement is not searched again
        {L"aaa", L"aa", L"b", 1, L"ba"},
        {L"abc", L"", L"y", 0, L"abc"},  // an empty pattern would never end
        {L"abc", L"b", nullptr, 1, L"ac"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.text << " / " << c.from);
        CUIString s(c.text);
        EXPECT_EQ(s.ReplaceAll(c.from, c.to), c.count);
        EXPECT_EQ(s, c.result);
    }
}

TEST(UIStringTest, FormatShortUsesWindowsWideConversionsAndCapsTheLength) {
    CUIString s;
    EXPECT_EQ(s.FormatShort(L"source='%d,%d,%d,%d' dest='%d,%d,%d,%d'", 0, 10, 94, 16, 2, 2, 78, 22), 36);
    EXPECT_EQ(s, L"source='0,10,94,16' dest='2,2,78,22'");

    // Windows' wide conversions: %s and %c are wide, %S and %hs narrow, %I64d 64-bit.
    s.FormatShort(L"[%c|%5s|%S|%hs|%I64d]", L'中', L"ab", "narrow", "hs", static_cast<long long>(1) << 40);
    EXPECT_EQ(s, L"[中|   ab|narrow|hs|1099511627776]");

    const std::wstring longArgument(500, L'x');
    EXPECT_EQ(s.FormatShort(L"<%s>", longArgument.c_str()), CUIString::kFormatShortLimit);
    EXPECT_EQ(s.ToWString(), L"<" + std::wstring(CUIString::kFormatShortLimit - 1, L'x'));
}

// Text with plain %d conversions is written without the printf family; it must read the same.
TEST(UIStringTest, FormatShortWritesPlainIntegersAsPrintfDoes) {
    const struct {
        const wchar_t* format;
        int value;
    } cases[] = {
        {L"%d%%", 42},    {L"%d%%", 0},     {L" file='bar.png' dest='0,0,%d,6' ", -17},
        {L"%d", INT_MIN}, {L"%d", INT_MAX}, {L"100%% done, %d left", 3},
        {L"", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value);
        wchar_t expected[256];
        ASSERT_GE(std::swprintf(expected, 256, c.format, c.value), 0);
        CUIString s;
        EXPECT_EQ(s.FormatShort(c.format, c.value), static_cast<int>(std::wcslen(expected)));
        EXPECT_EQ(s.ToWString(), std::wstring(expected));
    }
    // The cut at the limit falls in the middle of a number too.
    const std::wstring prefix(CUIString::kFormatShortLimit - 3, L'-');
    CUIString s;
    EXPECT_EQ(s.FormatShort((prefix + L"%d").c_str(), 123456), CUIString::kFormatShortLimit);
    EXPECT_EQ(s.ToWString(), prefix + L"123");
    // A lone '%' at the end is left to the printf family, which refuses it.
    EXPECT_EQ(s.FormatShort(L"50%"), -1);
}
