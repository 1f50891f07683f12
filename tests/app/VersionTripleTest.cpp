#include "app/VersionTriple.h"

#include <gtest/gtest.h>

namespace {

VersionTriple V(std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t revision = 0) {
    return {a, b, c, static_cast<std::uint16_t>(VersionTriple::kValidMark | revision)};
}

}  // namespace

TEST(VersionTripleTest, ParsesOnlyThreeNumbersInRange) {
    const struct {
        const wchar_t* text;
        VersionTriple expected;
    } cases[] = {
        {L"2.1.784", V(2, 1, 784)},
        {L"  2.1.784 \t\r\n", V(2, 1, 784)},
        {L"65534.65534.65534", V(65534, 65534, 65534)},
        {L"2. 1. +784", V(2, 1, 784)},  // the C library's %d takes blanks and a sign
        {L"2.1", {}},
        {L"2.1.784x", {}},
        {L"1.2.3x", {}},  // this parse decides between installing and starting the launcher
        {L"2.1.784.5", {}},
        {L"2 .1.784", {}},
        {L"70000.1.1", {}},
        {L"65535.1.1", {}},
        {L"1.-1.1", {}},
        {L"99999999999999999999.1.1", {}},
        {L"Version=2.1.784", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        const VersionTriple parsed = ParseVersionTriple(c.text);
        EXPECT_EQ(parsed, c.expected);
        EXPECT_EQ(parsed.IsValid(), c.expected.IsValid());
    }
}

TEST(VersionTripleTest, OrdersByMajorMinorBuildThenRevision) {
    const struct {
        VersionTriple a, b;
        bool older, atMost, atLeast;
    } cases[] = {
        {VersionTriple{}, V(2, 1, 784), false, false, false},  // no version compares with nothing
        {V(2, 1, 784), VersionTriple{}, false, false, false},
        {VersionTriple{}, VersionTriple{}, false, false, false},
        {V(2, 1, 783), V(2, 1, 784), true, true, false},
        {V(2, 1, 784), V(2, 1, 784), false, true, true},
        {V(2, 1, 790), V(2, 1, 784), false, false, true},
        {V(1, 65535, 65535), V(2, 0, 0), true, true, false},
        {V(1, 2, 3, 5), V(1, 2, 3, 4), false, false, true},
        {V(1, 2, 3, 4), V(1, 2, 3, 5), true, true, false},
        {V(1, 2, 3), V(1, 2, 4), true, true, false},
        {V(1, 3, 0), V(1, 2, 9), false, false, true},
        {VersionTriple{1, 2, 3, 0}, VersionTriple{1, 2, 3, 0}, false, false, false},  // equal, yet no versions
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.a.Text() + L" vs " + c.b.Text()));
        EXPECT_EQ(CompareVersion(c.a, c.b), c.older);
        EXPECT_EQ(VersionAtMost(c.a, c.b), c.atMost);
        EXPECT_EQ(VersionAtLeast(c.a, c.b), c.atLeast);
    }
}
