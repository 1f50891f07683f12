#include "platform/strings/StringConv.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(StringConvTest, RoundTripsThroughUtf8AndUtf16) {
    const std::wstring samples[] = {L"", L"abc", L"您已经运行了一个Tarnvik安装程序。", std::wstring(1, wchar_t(0x1F600)) + L"x"};
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
        {"lone continuation byte", "a\x80" "b", L"a" + r + L"b"},
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
