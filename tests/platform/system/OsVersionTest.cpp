#include "platform/system/OsVersion.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

TEST(OsVersionTest, PrettyNameFromOsRelease) {
    const struct {
        const char* text;
        std::optional<std::string> name;
    } cases[] = {
        {"NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n",
         "Debian GNU/Linux 12 (bookworm)"},
        {"PRETTY_NAME='Single quoted'\r\n", "Single quoted"},
        {"PRETTY_NAME=Bare\n", "Bare"},
        {"PRETTY_NAME=\"Say \\\"hi\\\" \\\\o/\"", "Say \"hi\" \\o/"},
        {"# PRETTY_NAME=\"comment\"\nXPRETTY_NAME=x\n", std::nullopt},
        {"PRETTY_NAME=\"\"\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(platform::ParseOsReleasePrettyName(c.text), c.name);
    }

    testsupport::TempDir dir;
    const auto path = dir.WriteFile("os-release", "ID=x\nPRETTY_NAME=\"Tarnvik OS 1\"\n");
    EXPECT_EQ(platform::OsPrettyName(path.c_str()), "Tarnvik OS 1");
    EXPECT_EQ(platform::OsPrettyName((dir / "absent").c_str()), std::nullopt);
}
