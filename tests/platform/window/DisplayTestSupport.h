// Helpers for tests of windows on a display: a headless display installed for
// the test's lifetime, and a fixture that adds a class and a recorder to it.
#pragma once

#include <gtest/gtest.h>

#include "WindowTestSupport.h"
#include "platform/display/HeadlessDisplay.h"
#include "platform/types/ErrorCodes.h"
#include "platform/window/DisplayTypes.h"
#include "platform/window/Focus.h"
#include "platform/window/Paint.h"
#include "platform/window/Screen.h"
#include "platform/window/WindowBackend.h"
#include "platform/window/WindowPos.h"

namespace windowtest {

class HeadlessScope {
public:
    explicit HeadlessScope(platform::ScreenGeometry screen = platform::ScreenGeometry{}) : display(screen) {
        platform::SetWindowBackend(&display);
    }
    ~HeadlessScope() { platform::SetWindowBackend(nullptr); }
    platform::HeadlessDisplay display;
};

// Windows left at the end of a test are destroyed while the display is still there.
class DisplayFixture : public WindowFixture {
protected:
    void TearDown() override {
        recorder.handler = nullptr;  // it may refer to the test's locals
        cls.DestroyWindows();
    }
    HeadlessScope scope;
};

inline LPARAM Point(int x, int y) {
    return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y));
}

}  // namespace windowtest
