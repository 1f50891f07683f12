#include "app/WinMain.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/MainApp.h"

namespace {

struct Switches {
    int gameId = 0;
    bool hidden = false;
    bool run = true;
    std::wstring path;
    bool skipVersionCheck = false;
};

Switches Parse(std::vector<const wchar_t*> words) {
    MainApp& app = MainApp::GetInstance();
    app.SetGameId(0);
    app.SetHidden(false);
    app.SetRunFlag(true);
    app.SetInstallPath(L"");
    app.SetSkipVersionCheck(false);
    words.insert(words.begin(), L"xjinstaller");
    const CommandLineOptions options(static_cast<int>(words.size()), words.data(), InstallerSwitches());
    EXPECT_TRUE(ParseCommandLine(options));
    return {app.GetGameId(), app.IsHidden(), app.RunFlag(), app.GetInstallPath(), app.SkipVersionCheck()};
}

}  // namespace

TEST(WinMainTest, SwitchesLandInTheApplicationCore) {
    const struct {
        std::vector<const wchar_t*> words;
        Switches expected;
    } cases[] = {
        {{}, {0, false, true, L"", false}},
        {{L"-i", L"57"}, {57, false, true, L"", false}},
        {{L"--id", L"4294967353"}, {57, false, true, L"", false}},  // 2^32 + 57: the low 32 bits
        {{L"-i", L"4294967295"}, {-1, false, true, L"", false}},
        {{L"-r", L"5"}, {0, false, true, L"", false}},
        {{L"--run", L"0"}, {0, false, false, L"", false}},
        {{L"--none"}, {0, false, true, L"", false}},
        {{L"-n", L"x"}, {0, false, true, L"", false}},
        {{L"-n", L"x", L"-h", L"-z"}, {0, true, true, L"", true}},
        {{L"/p", L"D:\\Games"}, {0, false, true, L"D:\\Games", false}},  // read by the hidden run only
        {{L"-h", L"-i"}, {0, true, true, L"", false}},                   // the id's missing value ends the parse
    };
    for (const auto& c : cases) {
        std::wstring line;
        for (const wchar_t* word : c.words)
            line += std::wstring(word) + L" ";
        SCOPED_TRACE(testing::PrintToString(line));
        const Switches parsed = Parse(c.words);
        EXPECT_EQ(parsed.gameId, c.expected.gameId);
        EXPECT_EQ(parsed.hidden, c.expected.hidden);
        EXPECT_EQ(parsed.run, c.expected.run);
        EXPECT_EQ(parsed.path, c.expected.path);
        EXPECT_EQ(parsed.skipVersionCheck, c.expected.skipVersionCheck);
    }
}
