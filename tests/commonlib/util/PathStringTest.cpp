#include "commonlib/util/PathString.h"

#include <gtest/gtest.h>

#include <vector>

TEST(PathStringTest, SplitsPathsAtTheLastSeparator) {
    const struct {
        const wchar_t* path;
        const wchar_t* directory;
        const wchar_t* parent;
        const wchar_t* last;
    } cases[] = {
        {L"C:/Games/Tarnvik", L"C:\\Games", L"C:\\Games", L"Tarnvik"},
        {L"C:\\Games\\Tarnvik\\", L"C:\\Games\\Tarnvik", L"C:\\Games", L""},
        {L"C:\\", L"C:", L"", L""},
        {L"setup.exe", L"", L"", L"setup.exe"},
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
    // Reserved device names count only as whole parts; COM0 is not one.
    const std::vector<const wchar_t*> valid = {L"d:\\Quorvel网络\\QuorvelTarnvik", L"C:\\", L"C:\\CONFIG\\console",
                                               L"C:\\COM0"};
    const std::vector<const wchar_t*> invalid = {
        L"",        L"中:\\x", L"\\\\server\\share", L"C:/Games", L"C:\\Games:x", L"C:\\a?", L"C:\\Games\\nul.txt",
        L"C:\\LPT9"};
    for (const auto* list : {&valid, &invalid}) {
        for (const wchar_t* path : *list) {
            SCOPED_TRACE(::testing::PrintToString(std::wstring(path)));
            EXPECT_EQ(IsValidPath(path), list == &valid);
        }
    }
}
