// Client versions as the installer reads and compares them.
//
// A version is four 16-bit words: major, minor, build and a mark word. The mark's top bit
// says that the version was read; a triple without it is "no version", which is never
// older, newer or equal to anything. The mark's low 15 bits hold an optional fourth
// component (the revision, 0 to 32766) that only update texts carry.
//
// Pure functions on values; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct VersionTriple {
    static constexpr std::uint16_t kValidMark = 0x8000;
    static constexpr std::uint16_t kRevisionMask = 0x7FFF;

    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    std::uint16_t build = 0;
    std::uint16_t mark = 0;

    bool IsValid() const { return (mark & kValidMark) != 0; }
    std::uint16_t Revision() const { return mark & kRevisionMask; }
    // "major.minor.build"; the revision is not part of the text.
    std::wstring Text() const;

    friend bool operator==(const VersionTriple&, const VersionTriple&) = default;
};

// Reads "a.b.c" as the pattern " %d.%d.%d" of the C library does (blanks before each
// number, an optional sign), with nothing but white space after the third number and each
// number within 0..65534. Anything else gives the no-version triple {0, 0, 0, 0}.
VersionTriple ParseVersionTriple(std::wstring_view text);

// True only when both are versions and `a` is older than `b` (major, minor, build, then
// the revision).
bool CompareVersion(const VersionTriple& a, const VersionTriple& b);
// a <= b and a >= b, in the same order; false when either is no version.
bool VersionAtMost(const VersionTriple& a, const VersionTriple& b);
bool VersionAtLeast(const VersionTriple& a, const VersionTriple& b);
