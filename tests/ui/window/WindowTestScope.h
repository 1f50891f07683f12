// Shared by the window tests: a headless display installed for the test's lifetime, the
// test skin's clickable control registered, and small helpers to wait for messages.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "platform/display/HeadlessDisplay.h"
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

inline BYTE AlphaOf(DWORD argb) {
    return static_cast<BYTE>(argb >> 24);
}

}  // namespace windowtest
