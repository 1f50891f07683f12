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
