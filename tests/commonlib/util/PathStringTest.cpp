#include "commonlib/util/PathString.h"

#include <gtest/gtest.h>

TEST(PathStringTest, SplitsPathsAtTheLastSeparator) {
    const struct {
        const wchar_t* path;
        const wchar_t* directory;
        const wchar_t* parent;
        const wchar_t* last;
    } cases[] = {
        {L"C:\\Games\\Tarnvik\\QuorvelLauncher.exe", L"C:\\Games\\Tarnvik", L"C:\\Games\\Tarnvik",
         L"QuorvelLauncher.exe"},
        {L"C:/Games/Tarnvik", L"C:\\Games", L"C:\\Games", L"Tarnvik"},
        {L"C:\\Games\\Tarnvik\\", L"C:\\Games\\Tarnvik", L"C:\\Games", L""},
        {L"C:\\a\\b\\\\", L"C:\\a\\b\\", L"C:\\a", L""},
        {L"C:\\", L"C:", L"", L""},
        {L"C:", L"", L"", L"C:"},
        {L"setup.exe", L"", L"", L"setup.exe"},
        {L"\\x", L"", L"", L"x"},
        {L"", L"", L"", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(c.path)));
        EXPECT_EQ(GetDirectoryPart(c.path), c.directory);
        EXPECT_EQ(GetParentDir(c.path), c.parent);
        EXPECT_EQ(GetLastPathComponent(c.path), c.last);
    }
}

TEST(PathStringTest, ValidatesInstallPaths) {
    const struct {
        const wchar_t* path;
        bool expected;
    } cases[] = {
        {L"C:\\Games\\QuorvelTarnvik", true},
        {L"d:\\Quorvel网络\\QuorvelTarnvik", true},
        {L"C:\\", true},
        {L"C:", true},
        {L"E:\\Games\\", true},
        {L"C:\\a\\\\b", true},
        {L"C:\\CONFIG\\console", true},  // reserved names only as whole parts
        {L"C:\\my.games\\v1.2", true},
        {L"", false},
        {L"1:\\x", false},
        {L"CC:\\x", false},
        {L":\\x", false},
        {L"C\\x", false},
        {L"中:\\x", false},
        {L"\\\\server\\share", false},
        {L"C:/Games", false},
        {L"C:\\Games:x", false},
        {L"C:\\a<b", false},
        {L"C:\\a>b", false},
        {L"C:\\a\"b", false},
        {L"C:\\a/b", false},
        {L"C:\\a|b", false},
        {L"C:\\a?", false},
        {L"C:\\*", false},
        {L"C:\\a\tb", false},
        {L"C:\\CON", false},
        {L"C:\\Games\\nul.txt", false},
        {L"C:\\Com1\\x", false},
        {L"C:\\LPT9", false},
        {L"C:\\COM0", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(c.path)));
        EXPECT_EQ(IsValidPath(c.path), c.expected);
    }
}
