#include "commonlib/util/StringFormat.h"

#include <gtest/gtest.h>

#include <climits>
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
    const std::wstring big(100000, L'字');
    const struct {
        const char* why;
        std::wstring actual;
        std::wstring expected;
    } cases[] = {
        {"wide %s keeps non-ASCII in the C locale", FormatW(L"正在ping %s 具有32字节的数据。", L"主机"),
         L"正在ping 主机 具有32字节的数据。"},
        {"%S and %hs take UTF-8", FormatW(L"%S/%hs", "中文", "x"), L"中文/x"},
        {"width and left alignment", FormatW(L"[%5s][%-5s][%*d]", L"ab", L"ab", 4, 7), L"[   ab][ab   ][   7]"},
        {"precision needs no terminator", FormatW(L"%.3s", unterminated), L"abc"},
        {"integers", FormatW(L"%d %u %lld %I64d %hu.%hu", -1, 4000000000u, -5LL, 1LL << 40, 70000, 2),
         L"-1 4000000000 -5 1099511627776 4464.2"},
        {"unknown conversion is copied and takes no argument", FormatW(L"%y %d", 5), L"%y 5"},
        {"%n writes nothing", FormatW(L"a%nb%d", static_cast<int*>(nullptr), 3), L"ab3"},
        {"grows past any buffer", FormatW(L"<%s>%d", big.c_str(), 9), L"<" + big + L">9"},
        {"301 digits, point, one decimal", FormatW(L"%.1f", 1e300).substr(300), L"0.0"},
        {"each call reads its arguments once", FormatTwice(L"%s=%d", L"k", 7), L"k=7|k=7"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(c.actual, c.expected);
    }
}

TEST(StringFormatTest, FormatByteSizeBoundaries) {
    constexpr auto C = ByteSizeStyle::Compact;
    const struct {
        std::int64_t size;
        ByteSizeStyle style;
        const wchar_t* expected;
    } cases[] = {
        // clang-format off
        {INT64_MAX, C, L"8388608.00TB"},  // no unit past TB
        {1000, C, L"0.98KB"}, {5LL << 40, C, L"5.00TB"}, {-5, C, L"-5B"},
        // Alternating styles: each call uses its own, not the first call's.
        {999, ByteSizeStyle::SpacedUnit, L"999 B"}, {1024, ByteSizeStyle::SpacedUnit, L"1.00 KB"}, {1024, C, L"1.00KB"},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        EXPECT_EQ(FormatByteSize(c.size, c.style), c.expected);
    }
}
