#include "ui/core/UIString.h"

#include <gtest/gtest.h>

#include <string>

using SkinUI::CUIString;

TEST(UIStringTest, ConstructionAndIndexingStopAtTheEnds) {
    EXPECT_EQ(CUIString(L"abcdef", 3), L"abc");
    EXPECT_EQ(CUIString(L"ab", 10).Length(), 2);
    EXPECT_TRUE(CUIString(static_cast<const wchar_t*>(nullptr)).IsEmpty());
    EXPECT_EQ(CUIString(std::wstring(L"x\0y", 3)).Length(), 3);
    EXPECT_EQ(CUIString().Data()[0], L'\0');
    CUIString a(L"foo");
    EXPECT_EQ(L"<" + a + CUIString(L">"), L"<foo>");
    EXPECT_FALSE(a == L"fooo");
    EXPECT_EQ(a[3], L'\0');
    EXPECT_EQ(a[-1], L'\0');
}

TEST(UIStringTest, GrowsFromInlineToHeapAndKeepsContentsThroughCopiesAndMoves) {
    const std::wstring shortText(CUIString::kInlineCapacity, L'a');
    const std::wstring longText = std::wstring(CUIString::kInlineCapacity * 5, L'b') + L"end";
    for (const std::wstring& text : {shortText, longText}) {
        SCOPED_TRACE(text.size());
        CUIString s;
        for (wchar_t c : text)
            s += c;  // crosses the inline boundary one character at a time
        EXPECT_EQ(s.ToWString(), text);
        EXPECT_EQ(s.Data()[s.Length()], L'\0');

        CUIString copy(s);
        CUIString moved(std::move(copy));
        EXPECT_EQ(moved.ToWString(), text);
        EXPECT_TRUE(copy.IsEmpty());  // NOLINT(bugprone-use-after-move): a moved-from string is empty

        CUIString heapTarget(longText);
        heapTarget = CUIString(L"tiny");
        EXPECT_EQ(heapTarget, L"tiny");
        heapTarget = std::move(moved);
        EXPECT_EQ(heapTarget.ToWString(), text);
    }
}

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
        {L"source", 0, 0}, {L"'", 7, 7}, {L"'", 8, 19},  {L"dest", 0, 21}, {L"dest", 22, -1},
        {L"x", 0, -1},     {L"", 0, -1}, {L"s", -1, -1}, {L"t", 25, -1},   {L"st", 24, -1},
    };
    for (const auto& f : finds) {
        SCOPED_TRACE(testing::Message() << '"' << f.text << "\" from " << f.start);
        EXPECT_EQ(s.IndexOf(f.text, f.start), f.expected);
    }
    EXPECT_EQ(s.IndexOf(static_cast<const wchar_t*>(nullptr)), -1);
    EXPECT_EQ(s.IndexOf(L'd', 3), 21);

    EXPECT_EQ(s.MiddlePart(8, 11), L"0,10,470,16");
    EXPECT_EQ(s.MiddlePart(21), L"dest");
    EXPECT_EQ(s.MiddlePart(21, 100), L"dest");
    EXPECT_EQ(s.MiddlePart(-5, 6), L"source");
    EXPECT_TRUE(s.MiddlePart(100, 3).IsEmpty());
    EXPECT_TRUE(s.MiddlePart(3, 0).IsEmpty());
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
        {L"aaaa", L"aa", L"b", 2, L"bb"},       {L"aaa", L"aa", L"b", 1, L"ba"},   {L"abc", L"x", L"y", 0, L"abc"},
        {L"abc", L"", L"y", 0, L"abc"},  // an empty pattern would never end
        {L"abc", L"b", L"", 1, L"ac"},          {L"abc", L"b", nullptr, 1, L"ac"}, {L"", L"a", L"b", 0, L""},
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

    s.FormatShort(L"%s\\%s", L"C:\\游戏", L"tg.id");
    EXPECT_EQ(s, L"C:\\游戏\\tg.id");
    s.FormatShort(L"[%c|%5s|%-3d|%%|%S|%hs]", L'中', L"ab", 7, "narrow", "hs");
    EXPECT_EQ(s, L"[中|   ab|7  |%|narrow|hs]");
    s.FormatShort(L"file:%s, size:%I64d %ls %04x %.2f", L"a.exe", static_cast<long long>(1) << 40, L"w", 0xbeef, 1.5);
    EXPECT_EQ(s, L"file:a.exe, size:1099511627776 w beef 1.50");
    s.FormatShort(L"%*d|%.*s", 4, 7, 2, L"abcdef");
    EXPECT_EQ(s, L"   7|ab");

    const std::wstring longArgument(500, L'x');
    EXPECT_EQ(s.FormatShort(L"<%s>", longArgument.c_str()), CUIString::kFormatShortLimit);
    EXPECT_EQ(s.ToWString(), L"<" + std::wstring(CUIString::kFormatShortLimit - 1, L'x'));

    s = L"previous";
    EXPECT_EQ(s.FormatShort(nullptr), 0);
    EXPECT_TRUE(s.IsEmpty());
}
