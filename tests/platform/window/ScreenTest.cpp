#include "platform/window/Screen.h"

#include <gtest/gtest.h>

#include "DisplayTestSupport.h"

using namespace windowtest;

TEST(ScreenTest, TheMonitorAndMetricsFollowTheDisplay) {
    HeadlessScope scope(platform::ScreenGeometry{RECT{0, 0, 1280, 800}, RECT{0, 0, 1280, 760}});
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1280);
    EXPECT_EQ(GetSystemMetrics(SM_CYFULLSCREEN), 760);
    RECT work;
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(work.bottom, 760);
    EXPECT_FALSE(SystemParametersInfoW(0x1234, 0, &work, 0));

    ScopedClass cls;
    Recorder recorder;
    const HWND hwnd = cls.Create(&recorder, WS_POPUP, RECT{100, 100, 200, 200});
    const HWND offscreen = cls.Create(&recorder, WS_POPUP, RECT{5000, 5000, 5100, 5100});
    HMONITOR monitor = MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST);
    ASSERT_NE(monitor, nullptr);
    EXPECT_EQ(MonitorFromWindow(offscreen, MONITOR_DEFAULTTONULL), nullptr);
    EXPECT_EQ(MonitorFromWindow(offscreen, MONITOR_DEFAULTTONEAREST), monitor);
    EXPECT_EQ(MonitorFromPoint(POINT{10, 10}, MONITOR_DEFAULTTONULL), monitor);
    MONITORINFO info;
    EXPECT_FALSE(GetMonitorInfoW(monitor, &info));  // cbSize not set
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetMonitorInfoW(monitor, &info));
    EXPECT_EQ(info.rcMonitor.bottom, 800);
    EXPECT_EQ(info.rcWork.bottom, 760);
    DestroyWindow(hwnd);
    DestroyWindow(offscreen);
}
