#include "ui/render/MarkedText.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace SkinUI;

namespace {

// A compact picture of the runs: text in brackets with its style letters, '|' for a break.
std::wstring Describe(const UIMarkedText& marked) {
    std::wostringstream out;
    for (const UIMarkedRun& run : marked.runs) {
        if (run.lineBreak) {
            out << L"|";
            continue;
        }
        out << L"[" << run.text;
        if (run.bold) out << L" b";
        if (run.italic) out << L" i";
        if (run.underline) out << L" u";
        if (run.colour) out << L" c" << std::hex << *run.colour << std::dec;
        if (run.font >= 0) out << L" f" << run.font;
        if (run.link >= 0) out << L" a" << run.link;
        out << L"]";
    }
    return out.str();
}

}  // namespace

TEST(MarkedTextTest, ParsesTheTagVocabulary) {
    const struct {
        const wchar_t* text;
        const wchar_t* runs;
    } cases[] = {
        {L"plain", L"[plain]"},
        {L"a{b}b{/b}c", L"[a][b b][c]"},
        {L"{c #FFFF0000}red{/c}", L"[red cffff0000]"},
        {L"one{n}two", L"[one]|[two]"},
        {L"{b}a{i}b{/b}c{/i}", L"[a b][b b i][c i]"},  // a close ends its own kind only
        {L"{c #FF0000FF}a{c #FF00FF00}b{/c}c{/c}", L"[a cff0000ff][b cff00ff00][c cff0000ff]"},
        {L"{{b}", L"[{b}]"},
        {L"{b x}y", L"[{b x}y]"},
        {L"{f}y{f 1x}", L"[{f}y{f 1x}]"},
        {L"a{/b}b", L"[a{/b}b]"},
        {L"open {b", L"[open {b]"},
        {L"{b}unclosed", L"[unclosed b]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.text);
        EXPECT_EQ(Describe(ParseMarkedText(c.text, false)), c.runs);
    }
}

TEST(MarkedTextTest, SingleLineTurnsBreaksIntoSpaces) {
    EXPECT_EQ(Describe(ParseMarkedText(L"one{n}two\nthree", true)), L"[one two three]");
}
