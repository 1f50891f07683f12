#include "platform/process/CommandLine.h"

#include <gtest/gtest.h>

#include "platform/strings/StringConv.h"

namespace {

TEST(CommandLineTest, SplitsLikeTheWindowsRuntime) {
    using Args = std::vector<std::wstring>;
    const struct {
        const wchar_t* line;
        Args args;
    } cases[] = {
        {L"", {}},
        {L"   \t ", {}},
        {L"prog", {L"prog"}},
        {L"  prog  a   b\t", {L"prog", L"a", L"b"}},
        {L"\"C:\\Program Files\\x.exe\" -i \"30\" -d", {L"C:\\Program Files\\x.exe", L"-i", L"30", L"-d"}},
        // The program name takes no backslash escapes.
        {L"C:\\dir\\\"q uoted\"\\x.exe a", {L"C:\\dir\\q uoted\\x.exe", L"a"}},
        {L"p \"a b\" c", {L"p", L"a b", L"c"}},
        {L"p a\\\\b", {L"p", L"a\\\\b"}},        // backslashes not before a quote are literal
        {L"p a\\\"b", {L"p", L"a\"b"}},          // 2n+1 backslashes: n and a literal quote
        {L"p a\\\\\"b c\"", {L"p", L"a\\b c"}},  // 2n backslashes: n, and the quote opens quoting
        {L"p \"a\\\\\\\"b\"", {L"p", L"a\\\"b"}},
        {L"p \"\"", {L"p", L""}},            // an empty argument
        {L"p \"a\"\"b\"", {L"p", L"a\"b"}},  // "" inside quotes is a quote
        {L"p a\"b c\"d", {L"p", L"ab cd"}},
        {L"p \"unterminated arg", {L"p", L"unterminated arg"}},
        {L"p trailing\\", {L"p", L"trailing\\"}},
        // An install directory ending in a backslash swallows the closing quote, as on Windows.
        {L"setup.exe /S \"/unpack=D:\\Games\\\" /launch=off",
         {L"setup.exe", L"/S", L"/unpack=D:\\Games\" /launch=off"}},
        {L"x 游戏 \"目录 名\"", {L"x", L"游戏", L"目录 名"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::Utf8FromWide(c.line));
        EXPECT_EQ(platform::SplitCommandLine(c.line), c.args);
    }
}

TEST(CommandLineTest, QuotedArgumentsSplitBackUnchanged) {
    EXPECT_EQ(platform::QuoteCommandLineArgument(L"a b"), L"\"a b\"");
    EXPECT_EQ(platform::QuoteCommandLineArgument(L"D:\\Games\\"), L"\"D:\\Games\\\\\"");
    for (const wchar_t* arg : {L"", L"plain", L"Tarnvik \"beta\"", L"\"", L"a\\\"b", L"a\\\\\"b\\", L"tail\\\\",
                               L" lead and \t tab ", L"\"\"", L"line\nend", L"目录 \"名\""}) {
        SCOPED_TRACE(platform::Utf8FromWide(arg));
        const std::wstring line = L"p " + platform::QuoteCommandLineArgument(arg) + L" next";
        EXPECT_EQ(platform::SplitCommandLine(line), (std::vector<std::wstring>{L"p", arg, L"next"}));
    }
}

}  // namespace
