#include "platform/system/OsVersion.h"

#include <gtest/gtest.h>

TEST(OsVersionTest, PrettyNameFromOsRelease) {
    const struct {
        const char* text;
        std::optional<std::string> name;
    } cases[] = {
        {"NAME=\"Debian\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n", "Debian GNU/Linux 12 (bookworm)"},
        {"PRETTY_NAME=\"Say \\\"hi\\\" \\\\o/\"", "Say \"hi\" \\o/"},
        {"# PRETTY_NAME=\"comment\"\nXPRETTY_NAME=x\n", std::nullopt},
        {"PRETTY_NAME=\"\"\n", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(platform::ParseOsReleasePrettyName(c.text), c.name);
    }
}

TEST(OsVersionTest, VersionNumbersFromVersionId) {
    const struct {
        const char* text;
        std::optional<platform::OsVersionNumbers> numbers;
    } cases[] = {
        {"NAME=Debian\nVERSION_ID=\"12\"\n", platform::OsVersionNumbers{12, 0}},
        {"VERSION_ID=22.04\r\n", platform::OsVersionNumbers{22, 4}},
        {"VERSION_ID='3.19.1'", platform::OsVersionNumbers{3, 19}},
        {"VERSION_ID_LIKE=9\nVERSION=12\n", std::nullopt},
        {"VERSION_ID=\"rolling\"\n", std::nullopt},
        {"VERSION_ID=99999999999999999999.1\n", platform::OsVersionNumbers{999999999, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(platform::ParseOsReleaseVersionId(c.text), c.numbers);
    }
}
