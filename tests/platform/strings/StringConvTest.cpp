#include "platform/strings/StringConv.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(StringConvTest, RoundTripsThroughUtf8AndUtf16) {
    const std::wstring samples[] = {L"", L"abc", L"您已经运行了一个Tarnvik安装程序。",
                                    std::wstring(1, wchar_t(0x1F600)) + L"x"};
    for (const auto& s : samples) {
        EXPECT_EQ(WideFromUtf8(Utf8FromWide(s)), s);
        EXPECT_EQ(WideFromUtf16(Utf16FromWide(s)), s);
        EXPECT_EQ(WideFromUtf16LeBytes(Utf16LeBytesFromWide(s)), s);
    }
    EXPECT_EQ(Utf16LeBytesFromWide(L"A\u4e2d"), std::string("A\0\x2d\x4e", 4));
    EXPECT_EQ(Utf16FromWide(std::wstring(1, wchar_t(0x1F600))), u"\xD83D\xDE00");
}

TEST(StringConvTest, InvalidInputBecomesReplacementCharacters) {
    const std::wstring r(1, wchar_t(kReplacementChar));
    const struct {
        const char* why;
        std::string in;
        std::wstring out;
    } cases[] = {
        {"lone continuation byte",
         "a\x80"
         "b",
         L"a" + r + L"b"},
        {"truncated sequence at end", "a\xE4\xB8", L"a" + r},
        {"overlong encoding", "\xC0\xAF", r},
        {"encoded surrogate", "\xED\xA0\x80", r},
        {"past U+10FFFF", "\xF4\x90\x80\x80", r},
        {"invalid lead byte", "\xFFz", r + L"z"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(WideFromUtf8(c.in), c.out);
    }
    EXPECT_EQ(WideFromUtf16(u"\xD800x"), r + L"x");
    EXPECT_EQ(WideFromUtf16LeBytes(std::string("a\0b", 3)), L"a" + r);
    EXPECT_EQ(Utf8FromWide(std::wstring(1, wchar_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(StringConvTest, ComparesInUtf16CodeUnitOrder) {
    const std::wstring supplementary(1, wchar_t(0x10000));
    EXPECT_LT(CompareUtf16Order(supplementary, L"\uE000"), 0);  // code point order would say the opposite
    EXPECT_LT(CompareUtf16Order(L"a", L"b"), 0);
    EXPECT_LT(CompareUtf16Order(L"ab", L"abc"), 0);
    EXPECT_EQ(CompareUtf16Order(L"key", L"key"), 0);
    EXPECT_GT(CompareUtf16Order(std::wstring(1, wchar_t(0x10401)), std::wstring(1, wchar_t(0x10400))), 0);
    EXPECT_TRUE(EqualsNoCase(L"Debug", L"DEBUG"));
    EXPECT_FALSE(EqualsNoCase(L"Debug", L"Debugs"));
}

TEST(StringConvTest, NamesCompareWithoutCaseAsWindowsUpperCasesThem) {
    const struct {
        const wchar_t* a;
        const wchar_t* b;
        bool equal;
    } cases[] = {
        {L"Ärger Über Öl", L"äRGER üBER öL", true},
        {L"ПРОГРАММА", L"программа", true},
        {L"ΣΟΦΊΑ", L"σοφία", true},
        {L"ς", L"Σ", true},            // final sigma upper-cases to sigma
        {L"ÿ", L"Ÿ", true},            // the pair lies far apart in the code chart
        {L"ǅ", L"Ǆ", true},            // title case upper-cases to the capital
        {L"ａｂｃ", L"ＡＢＣ", true},  // full-width letters
        {L"\u212A", L"k", false},      // Kelvin sign: lower-cases to k, but k upper-cases to K
        {L"ß", L"SS", false},          // one character never becomes two
        {L"ß", L"ẞ", false},           // no simple upper case for sharp s
        {L"启动器", L"启动器", true},
        {L"\U00010428", L"\U00010400", false},  // outside the BMP nothing changes case
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8FromWide(c.a));
        EXPECT_EQ(EqualsNoCase(c.a, c.b), c.equal);
        EXPECT_EQ(EqualsNoCase(c.b, c.a), c.equal);
    }
    EXPECT_EQ(ToUpperSimple(L"grüße, мир"), L"GRÜßE, МИР");
}

TEST(StringConvTest, HostNamesRoundTripAndNeverGainASeparator) {
    const struct {
        const char* why;
        std::string host;
    } cases[] = {
        {"backslashes", "..\\..\\Documents"},  {"a lone backslash", "\\"},
        {"invalid UTF-8", "log\xff\xfe.txt"},  {"truncated sequence", "a\xE4\xB8"},
        {"encoded surrogate", "\xED\xB0\xBC"}, {"plain text", "游戏 1.ini"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const std::wstring wide = WideFromHostName(c.host);
        EXPECT_EQ(wide.find_first_of(L"\\/"), std::wstring::npos);
        EXPECT_EQ(HostNameFromWide(wide), c.host);
    }
    EXPECT_EQ(WideFromHostName("游戏/a.ini"), L"游戏/a.ini");
    // Escapes other than the backslash and the high bytes carry no byte of their own.
    EXPECT_EQ(HostNameFromWide(std::wstring(1, wchar_t(0xDC2F))), "\xEF\xBF\xBD");
    EXPECT_EQ(HostNameFromWide(std::wstring(1, wchar_t(0xDC00))), "\xEF\xBF\xBD");
}
