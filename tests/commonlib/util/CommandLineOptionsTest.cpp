#include "commonlib/util/CommandLineOptions.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The installer's own table.
const CommandLineOptions::Switch kSwitches[] = {
    {L'n', L"none", 0, 1}, {L'h', L"hide", 0, 0}, {L'i', L"id", 1, 1}, {L'r', L"run", 1, 1},
    {L'p', L"path", 1, 1}, {L'z', L"xj", 0, 0},   {0, nullptr, 0, 0},
};

CommandLineOptions Parse(std::vector<const wchar_t*> words) {
    words.insert(words.begin(), L"qvxj_install.exe");
    return CommandLineOptions(static_cast<int>(words.size()), words.data(), kSwitches);
}

}  // namespace

TEST(CommandLineOptionsTest, ReadsShortAndLongSwitches) {
    for (const wchar_t* hide : {L"-h", L"/h", L"--hide"}) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(hide)));
        const auto options = Parse({L"-i", L"57", hide, L"/p", L"D:\\Games\\QuorvelTarnvik", L"--run", L"0"});
        EXPECT_EQ(options.GetErrorText(), L"");
        EXPECT_TRUE(options.Has(L'h'));
        std::wstring id, path, run;
        EXPECT_TRUE(options.GetArg(L'i', id) && options.GetArg(L'p', path) && options.GetArg(L'r', run));
        EXPECT_EQ(id + L"|" + path + L"|" + run, L"57|D:\\Games\\QuorvelTarnvik|0");
    }
}

TEST(CommandLineOptionsTest, CountsArgumentsUpToTheNextSwitch) {
    const struct {
        const char* why;
        std::vector<const wchar_t*> words;
        const wchar_t* error;
        std::wstring hasLetters;   // switches that survive the error
        const wchar_t* errorWord;  // the word the parsing stopped at
    } cases[] = {
        // clang-format off
        {"missing argument at the end", {L"-h", L"-i"}, L"--id requires at least 1 and at most 1 args, yours: 0", L"h",
         L"-i"},
        {"argument to a plain switch", {L"-z", L"-h", L"x"}, L"--hide requires at least 0 and at most 0 args, yours: 1",
         L"z", L"x"},
        {"too many arguments", {L"--none", L"a", L"b", L"-z"},
         L"--none requires at least 0 and at most 1 args, yours: 2", L"", L"b"},
        {"a path that reads as a switch", {L"-h", L"-p", L"/home/x", L"-r", L"0"},
         L"--path requires at least 1 and at most 1 args, yours: 0", L"h", L"/home/x"},
        {"long name needs two dashes", {L"-hide"}, L"unrecognized option -hide", L"", L"-hide"},
        {"unknown letter ends the parsing", {L"-h", L"-q", L"-z"}, L"unrecognized option -q", L"h", L"-q"},
        {"grouped letters are not supported", {L"-hz"}, L"unrecognized option -hz", L"", L"-hz"},
        {"a word before the first switch", {L"x", L"-h"}, L"unrecognized option x", L"", L"x"},
        {"nothing wrong", {L"-h"}, L"", L"h", L""},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const auto options = Parse(c.words);
        EXPECT_EQ(options.GetErrorText(), c.error);
        EXPECT_EQ(options.GetErrorWord(), c.errorWord);
        for (wchar_t letter : std::wstring(L"nhirpz")) {
            EXPECT_EQ(options.Has(letter), c.hasLetters.find(letter) != std::wstring::npos) << char(letter);
        }
    }
}
