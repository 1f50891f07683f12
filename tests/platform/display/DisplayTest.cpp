#include "platform/display/Display.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(DisplayTest, TheEnvironmentChoosesUnlessTheCallerDoes) {
    const struct {
        const char* why;
        const char* backend;  // XJ_DISPLAY_BACKEND, null for unset
        const char* display;  // DISPLAY, null for unset
        platform::DisplayKind requested;
        platform::DisplayKind expected;
    } cases[] = {
        {"nothing set", nullptr, nullptr, platform::DisplayKind::Auto, platform::DisplayKind::Headless},
        {"a display", nullptr, ":5", platform::DisplayKind::Auto, platform::DisplayKind::X11},
        {"asked for headless", "headless", ":5", platform::DisplayKind::Auto, platform::DisplayKind::Headless},
        {"asked for x11", "x11", nullptr, platform::DisplayKind::Auto, platform::DisplayKind::X11},
        {"unknown value", "wayland", nullptr, platform::DisplayKind::Auto, platform::DisplayKind::Headless},
        {"caller wins", "x11", ":5", platform::DisplayKind::Headless, platform::DisplayKind::Headless},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        c.backend ? setenv("XJ_DISPLAY_BACKEND", c.backend, 1) : unsetenv("XJ_DISPLAY_BACKEND");
        c.display ? setenv("DISPLAY", c.display, 1) : unsetenv("DISPLAY");
        EXPECT_EQ(platform::ResolveDisplayKind(c.requested), c.expected);
    }
    unsetenv("XJ_DISPLAY_BACKEND");
    unsetenv("DISPLAY");
}

TEST(DisplayTest, AnUnreachableServerFallsBackOnlyWhenNotAskedFor) {
    unsetenv("XJ_DISPLAY_BACKEND");
    setenv("DISPLAY", ":4711", 1);
    EXPECT_FALSE(platform::StartDisplay(platform::DisplayKind::X11, ":4711"));
    EXPECT_EQ(platform::CurrentWindowBackend(), nullptr);
    ASSERT_TRUE(platform::StartDisplay(platform::DisplayKind::Auto, ":4711"));
    EXPECT_EQ(platform::RunningDisplayKind(), platform::DisplayKind::Headless);
    EXPECT_NE(platform::CurrentWindowBackend(), nullptr);
    EXPECT_FALSE(platform::StartDisplay(platform::DisplayKind::Headless));  // once only
    platform::StopDisplay();
    EXPECT_EQ(platform::CurrentWindowBackend(), nullptr);
    unsetenv("DISPLAY");
}
