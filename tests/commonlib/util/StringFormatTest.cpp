#include "commonlib/util/StringFormat.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>

namespace {

std::wstring FormatTwice(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring first = FormatWV(format, args);
    std::wstring second = FormatWV(format, args);
    va_end(args);
    return first + L"|" + second;
}

}  // namespace

TEST(StringFormatTest, FormatWFollowsWindowsWidePrintf) {
    const wchar_t unterminated[3] = {L'a', L'b', L'c'};
    const struct {
        const char* why;
        std::wstring actual;
        std::wstring expected;
    } cases[] = {
        {"%s takes a wide string", FormatW(L"url:%s ip:%s", L"http://x/", L"1.2.3.4"), L"url:http://x/ ip:1.2.3.4"},
        {"wide %s keeps non-ASCII in the C locale", FormatW(L"正在ping %s 具有32字节的数据。", L"主机"),
         L"正在ping 主机 具有32字节的数据。"},
        {"%S and %hs take UTF-8", FormatW(L"%S/%hs", "中文", "x"), L"中文/x"},
        {"%c is wide, %C narrow", FormatW(L"%c%C%hc", L'中', 'a', 'b'), L"中ab"},
        {"width and left alignment", FormatW(L"[%5s][%-5s][%*d]", L"ab", L"ab", 4, 7), L"[   ab][ab   ][   7]"},
        {"negative * width aligns left", FormatW(L"[%*d]", -3, 7), L"[7  ]"},
        {"precision needs no terminator", FormatW(L"%.3s", unterminated), L"abc"},
        {"null string", FormatW(L"%s", static_cast<const wchar_t*>(nullptr)), L"(null)"},
        {"integers", FormatW(L"%d %u %lld %I64d %hu.%hu", -1, 4000000000u, -5LL, 1LL << 40, 70000, 2),
         L"-1 4000000000 -5 1099511627776 4464.2"},
        {"hex and zero padding", FormatW(L"%02X%02x 0x%x %04d", 0xAB, 0x0c, 255, 42), L"AB0c 0xff 0042"},
        {"floats", FormatW(L"%.2f %.0f %e", 400.0, 999.4, 1.5), L"400.00 999 1.500000e+00"},
        {"unknown conversion is copied and takes no argument", FormatW(L"%y %d", 5), L"%y 5"},
        {"%n writes nothing", FormatW(L"a%nb%d", static_cast<int*>(nullptr), 3), L"ab3"},
        {"trailing lone percent", FormatW(L"50%"), L"50%"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(c.actual, c.expected);
    }
}

TEST(StringFormatTest, FormatWGrowsPastAnyFixedBuffer) {
    const std::wstring big(100000, L'字');
    const std::wstring text = FormatW(L"<%s>%d", big.c_str(), 9);
    EXPECT_EQ(text, L"<" + big + L">9");
    EXPECT_EQ(FormatW(L"%.1f", 1e300).size(), 303u);  // 301 digits, point, one decimal
    EXPECT_EQ(FormatW(L"%300d", 1).size(), 300u);
    EXPECT_EQ(FormatTwice(L"%s=%d", L"k", 7), L"k=7|k=7");
}

TEST(StringFormatTest, FormatByteSizeBoundaries) {
    constexpr auto C = ByteSizeStyle::Compact;
    const struct {
        std::int64_t size;
        ByteSizeStyle style;
        const wchar_t* expected;
    } cases[] = {
        // clang-format off
        {999, C, L"999B"}, {1000, C, L"0.98KB"}, {1023, C, L"1.00KB"}, {1024 * 999, C, L"999.00KB"},
        {1024 * 1000, C, L"0.98MB"}, {3LL << 30, C, L"3.00GB"}, {5LL << 40, C, L"5.00TB"},
        {INT64_MAX, C, L"8388608.00TB"},  // no unit past TB
        {-5, C, L"-5B"},
        // Alternating styles: each call uses its own, not the first call's.
        {999, ByteSizeStyle::SpacedUnit, L"999 B"}, {1024, ByteSizeStyle::SpacedUnit, L"1.00 KB"}, {1024, C, L"1.00KB"},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        EXPECT_EQ(FormatByteSize(c.size, c.style), c.expected);
    }
    EXPECT_EQ(FormatByteSize(2048, false), L"2.00KB");
    EXPECT_EQ(FormatByteSize(2048, true), L"2.00 KB");
}

TEST(StringFormatTest, TimeAndNumberTexts) {
    const char* savedTz = std::getenv("TZ");
    const std::string saved = savedTz ? savedTz : "";
    setenv("TZ", "UTC0", 1);
    tzset();
    EXPECT_EQ(FormatTimeText(0), L"1970-01-01 00:00:00");
    EXPECT_EQ(FormatTimeText(1700000000), L"2023-11-14 22:13:20");
    if (savedTz) {
        setenv("TZ", saved.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
    EXPECT_EQ(Int64ToString(INT64_MIN), "-9223372036854775808");
}
