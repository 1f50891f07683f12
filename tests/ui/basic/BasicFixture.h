// Shared by the control tests: a window on a headless display, at the screen's origin (client
// and screen co-ordinates agree), bound to a paint manager; skins from inline XML; input sent
// to the manager as window messages, or injected through the display and pumped through the
// program loop's pre-translation; an optional manual clock; a log of notifications; solid-colour
// skin images; painting into a canvas.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/display/HeadlessDisplay.h"
#include "platform/strings/StringConv.h"
#include "platform/window/MessageApi.h"
#include "platform/window/WinMessages.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowClass.h"
#include "support/Canvas.h"
#include "support/ManualClock.h"
#include "support/PngBytes.h"
#include "support/RectCheck.h"
#include "support/StoredZip.h"
#include "ui/controls/ControlTags.h"
#include "ui/core/DialogBuilder.h"
#include "ui/core/PaintManager.h"
#include "ui/skin/SkinZip.h"

namespace basictest {

inline std::string Narrow(std::wstring_view text) {
    return platform::Utf8FromWide(std::wstring(text));
}

class BasicControlTest : public ::testing::Test, public SkinUI::INotifyUI {
protected:
    BasicControlTest() { platform::SetWindowBackend(&m_display); }
    ~BasicControlTest() override { platform::SetWindowBackend(nullptr); }

    void SetUp() override {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
            auto* manager = reinterpret_cast<SkinUI::CUIPaintManager*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
            LRESULT result = 0;
            if (manager != nullptr && manager->HandleWindowMessage(message, wParam, lParam, result)) return result;
            return DefWindowProcW(hwnd, message, wParam, lParam);
        };
        wc.lpszClassName = m_className;
        RegisterClassExW(&wc);
        m_hwnd = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(m_hwnd, nullptr);
        m_manager = std::make_unique<SkinUI::CUIPaintManager>();
        m_manager->Bind(m_hwnd);
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(m_manager.get()));
        m_manager->AddNotifier(this);
    }
    void TearDown() override {
        if (m_hwnd != nullptr && IsWindow(m_hwnd)) SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
        m_manager.reset();  // the controls let go of what they hold before the window goes
        if (m_hwnd != nullptr && IsWindow(m_hwnd)) DestroyWindow(m_hwnd);
        Pump();
        if (m_clock) platform::MessageQueue::ForCurrentThread()->SetClockForTesting(platform::SteadyTimerClock());
    }

    void Notify(SkinUI::UINotifyMsg& msg) override {
        if (msg.type == L"timer" || msg.type == L"setfocus" || msg.type == L"killfocus") return;
        m_log.push_back(Narrow(msg.type.View()) + ":" +
                        (msg.sender != nullptr ? Narrow(msg.sender->GetName().View()) : "-"));
    }

    // This thread's timers on a clock that moves only with Advance, until the test ends.
    void UseManualClock() { m_clock = testsupport::UseManualClock(); }
    // The clock moves on by `ms` and whatever came due is dispatched.
    void Advance(int ms) {
        m_clock->Advance(std::chrono::milliseconds(ms));
        Pump();
    }

    // Skin files "<name>.png" of 8 x 8 pixels in one colour each.
    void UseImages(const std::vector<std::pair<std::string, DWORD>>& images) {
        std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
        for (const auto& [name, argb] : images)
            files.emplace_back(name + ".png", testsupport::PngBytes(8, 8, std::vector<uint32_t>(64, argb)));
        m_zip = SkinUI::CSkinZip::Open(testsupport::StoredZip(files));
        ASSERT_TRUE(m_zip);
        m_manager->SetSkinArchive(m_zip.get());
    }

    void Build(std::string_view xml) {
        SkinUI::RegisterControlTags();
        SkinUI::CUIDialogBuilder builder;
        SkinUI::CControlUI* root = builder.BuildFromText(xml, m_manager.get());
        ASSERT_NE(root, nullptr) << Narrow(builder.LastError());
        EXPECT_EQ(builder.LastError(), L"");
        m_manager->AttachRoot(root);
        SendMessageW(m_hwnd, WM_SIZE, 0, MAKELPARAM(400, 300));
        m_manager->UpdateLayout();
    }

    template <class T>
    T* Find(std::wstring_view name) {
        auto* control = dynamic_cast<T*>(m_manager->ControlByName(name));
        EXPECT_NE(control, nullptr) << Narrow(name);
        return control;
    }

    // Messages straight to the manager, as the window procedure would hand them on.
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam = 0) {
        LRESULT result = 0;
        m_manager->HandleWindowMessage(message, wParam, lParam, result);
        m_manager->UpdateLayout();
        return result;
    }
    LRESULT Mouse(UINT message, int x, int y, WPARAM keys = 0) {
        return Send(message, keys, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
    }
    void Drag(POINT from, POINT to) {
        Mouse(WM_MOUSEMOVE, from.x, from.y);
        Mouse(WM_LBUTTONDOWN, from.x, from.y, MK_LBUTTON);
        Mouse(WM_MOUSEMOVE, to.x, to.y, MK_LBUTTON);
        Mouse(WM_LBUTTONUP, to.x, to.y);
    }
    void Click(int x, int y) { Drag(POINT{x, y}, POINT{x, y}); }
    POINT CentreOf(SkinUI::CControlUI* control) {
        m_manager->UpdateLayout();
        const RECT b = control->GetBounds();
        return POINT{(b.left + b.right) / 2, (b.top + b.bottom) / 2};
    }
    // `vk`, while `modifier` (VK_SHIFT or VK_CONTROL) is held when one is given.
    void Key(WORD vk, WORD modifier = 0) {
        if (modifier != 0) Send(WM_KEYDOWN, modifier);
        Send(WM_KEYDOWN, vk);
        Send(WM_KEYUP, vk);
        if (modifier != 0) Send(WM_KEYUP, modifier);
    }
    void Type(std::wstring_view text) {
        for (wchar_t ch : text)
            Send(WM_CHAR, static_cast<WPARAM>(ch));
    }
    bool PressTab() {
        MSG msg{};
        msg.hwnd = m_hwnd;
        msg.message = WM_KEYDOWN;
        msg.wParam = VK_TAB;
        return SkinUI::CUIPaintManager::PreTranslate(&msg);
    }

    // Dispatches everything queued, with the program loop's pre-translation.
    void Pump() {
        MSG msg{};
        for (int i = 0; i < 100000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
            if (SkinUI::CUIPaintManager::PreTranslate(&msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (m_manager != nullptr) m_manager->UpdateLayout();
    }
    // Input through the display, dispatched at once.
    void PressKey(UINT key, UINT modifier = 0) {
        if (modifier != 0) m_display.KeyDown(modifier);
        m_display.KeyDown(key);
        m_display.KeyUp(key);
        if (modifier != 0) m_display.KeyUp(modifier);
        Pump();
    }
    void ClickAt(POINT point) {
        m_display.Click(point.x, point.y);
        Pump();
    }
    void ClickOn(std::wstring_view name) { ClickAt(CentreOf(m_manager->ControlByName(name))); }

    std::unique_ptr<testsupport::Canvas> Paint() {
        auto canvas = std::make_unique<testsupport::Canvas>(400, 300, 0xFFFFFFFF);
        EXPECT_TRUE(m_manager->PaintInto(canvas->Dc(), RECT{0, 0, 400, 300}));
        return canvas;
    }
    int Count(const std::string& entry) const {
        return static_cast<int>(std::count(m_log.begin(), m_log.end(), entry));
    }

    platform::HeadlessDisplay m_display;
    const wchar_t* m_className = L"BasicControlTestWindow";
    HWND m_hwnd = nullptr;
    std::unique_ptr<SkinUI::CSkinZip> m_zip;
    std::unique_ptr<SkinUI::CUIPaintManager> m_manager;
    std::vector<std::string> m_log;
    std::shared_ptr<testsupport::ManualClock> m_clock;
};

// Pixels of the canvas inside `rect` that are close to `argb`.
inline int PixelsNear(const testsupport::Canvas& canvas, const RECT& rect, DWORD argb, int tolerance = 40) {
    int n = 0;
    for (int y = rect.top; y < rect.bottom; ++y) {
        for (int x = rect.left; x < rect.right; ++x)
            n += testsupport::PixelNear(canvas.Pixel(x, y), argb, tolerance) ? 1 : 0;
    }
    return n;
}

}  // namespace basictest
