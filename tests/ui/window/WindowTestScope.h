// Shared by the window tests: a headless display or a private X server installed for the
// test's lifetime, the test skin's clickable control registered, and small helpers to wait for
// messages and find controls on the screen.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/display/HeadlessDisplay.h"
#include "platform/display/X11Display.h"
#include "platform/display/XvfbServer.h"
#include "platform/strings/StringConv.h"
#include "platform/window/Focus.h"
#include "platform/window/MessageApi.h"
#include "platform/window/Paint.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowBackend.h"
#include "platform/window/WindowPos.h"
#include "support/MessagePump.h"
#include "support/ReferenceImage.h"
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

// The windows on a private X server (check XvfbInstalled first, to skip without one).
class X11Scope {
public:
    X11Scope() {
        if (!server.Running() || !display.Open(server.Name())) return;
        platform::SetWindowBackend(&display);
        skintest::RegisterTestControls();
        SkinUI::CWndShadow::RegisterShadowClass();
        ready = true;
    }
    ~X11Scope() {
        SkinUI::WindowImplBase::ReleaseSkinArchive();
        if (ready) platform::SetWindowBackend(nullptr);
    }
    X11Scope(const X11Scope&) = delete;
    X11Scope& operator=(const X11Scope&) = delete;

    displaytest::XvfbServer server;
    platform::X11Display display;
    bool ready = false;
};

// A skinned window of the test skin; logs "click" and "selectchanged" as "type:sender", and
// "btn_ok" ends a modal run with 1.
class CTestWindow : public SkinUI::WindowImplBase {
public:
    explicit CTestWindow(std::wstring skin = L"CoreWindow.xml") : m_skin(std::move(skin)) {}

    // Created at (100, 80) of the screen, not yet shown.
    HWND Create() {
        const HWND hwnd = CreateHwnd(nullptr, L"test", WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, 0);
        if (hwnd != nullptr) SetWindowPos(hwnd, nullptr, 100, 80, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return hwnd;
    }

    std::vector<std::wstring> log;

protected:
    LPCWSTR RegisteredClassName() const override { return L"SkinTestWindow"; }
    std::wstring SkinFileName() const override { return m_skin; }
    void OnNotify(SkinUI::UINotifyMsg& msg) override {
        if (msg.sender != nullptr && (msg.type == L"click" || msg.type == L"selectchanged"))
            log.push_back(std::wstring(msg.type.View()) + L":" + std::wstring(msg.sender->GetName().View()));
        if (msg.type == L"click" && msg.sender != nullptr && msg.sender->GetName() == L"btn_ok") PostClose(1);
        WindowImplBase::OnNotify(msg);
    }

private:
    std::wstring m_skin;
};

inline bool PumpUntil(const std::function<bool()>& done) {
    return testsupport::PumpMessagesUntil(done, std::chrono::seconds(5));
}

inline void PumpPending() {
    testsupport::PumpMessagesFor(std::chrono::milliseconds(20));
}

// The centre of a control of `window`, in screen co-ordinates.
inline POINT ScreenCentreOf(SkinUI::WindowImplBase& window, const wchar_t* name) {
    window.PaintManager().UpdateLayout();
    SkinUI::CControlUI* control = window.PaintManager().ControlByName(name);
    EXPECT_NE(control, nullptr);
    const RECT b = control != nullptr ? control->GetBounds() : RECT{};
    POINT pt{(b.left + b.right) / 2, (b.top + b.bottom) / 2};
    ClientToScreen(window.GetHWND(), &pt);
    return pt;
}

}  // namespace windowtest
