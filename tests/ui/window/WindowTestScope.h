// Shared by the window tests: a headless display installed for the test's lifetime, the
// test skin's clickable control registered, and small helpers to wait for messages and
// read a window's place.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "platform/display/HeadlessDisplay.h"
#include "platform/strings/StringConv.h"
#include "platform/window/Focus.h"
#include "platform/window/MessageApi.h"
#include "platform/window/Paint.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowBackend.h"
#include "platform/window/WindowPos.h"
#include "support/MessagePump.h"
#include "ui/core/SkinFixture.h"
#include "ui/window/WindowImplBase.h"
#include "ui/window/WndShadow.h"

namespace windowtest {

class HeadlessScope {
public:
    HeadlessScope() {
        platform::SetWindowBackend(&display);
        skintest::RegisterTestControls();
        SkinUI::CWndShadow::RegisterShadowClass();
    }
    ~HeadlessScope() {
        SkinUI::WindowImplBase::ReleaseSkinArchive();
        platform::SetWindowBackend(nullptr);
    }
    HeadlessScope(const HeadlessScope&) = delete;
    HeadlessScope& operator=(const HeadlessScope&) = delete;

    platform::HeadlessDisplay display;
};

inline bool PumpUntil(const std::function<bool()>& done) {
    return testsupport::PumpMessagesUntil(done, std::chrono::seconds(5));
}

inline void PumpPending() {
    testsupport::PumpMessagesFor(std::chrono::milliseconds(20));
}

inline SIZE SizeOf(HWND hwnd) {
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

}  // namespace windowtest
