#include "ui/window/WindowImplBase.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <cstring>
#include <cwchar>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "WindowTestScope.h"
#include "platform/display/X11Display.h"
#include "platform/display/XvfbServer.h"
#include "platform/gdi/Gdi.h"
#include "platform/types/ErrorCodes.h"
#include "platform/window/DisplayTypes.h"

using SkinUI::CControlUI;
using SkinUI::UINotifyMsg;
using SkinUI::WindowImplBase;
using windowtest::PumpPending;
using windowtest::PumpUntil;

namespace {

// Where the tests put their windows, in screen co-ordinates.
constexpr int kLeft = 100;
constexpr int kTop = 80;

class CTestWindow : public WindowImplBase {
public:
    explicit CTestWindow(std::wstring skin = L"CoreWindow.xml") : m_skin(std::move(skin)) {}

    std::vector<std::wstring> notifications;
    SIZE sizeAtReady{-1, -1};
    bool readyControlsFound = false;
    int readyCalls = 0;
    int lastMessages = 0;
    bool keepEscape = false;

protected:
    LPCWSTR RegisteredClassName() const override { return L"SkinTestWindow"; }
    std::wstring SkinFileName() const override { return m_skin; }
    void OnWindowReady() override {
        ++readyCalls;
        RECT rect{};
        GetWindowRect(m_hwnd, &rect);
        sizeAtReady = SIZE{rect.right - rect.left, rect.bottom - rect.top};
        readyControlsFound = m_pm.ControlByName(L"btn_min") != nullptr;
    }
    void OnNotify(UINotifyMsg& msg) override {
        if (msg.type == L"click" && msg.sender != nullptr) notifications.push_back(msg.sender->GetName().View().data());
        WindowImplBase::OnNotify(msg);
    }
    bool OnDefaultKey(WPARAM key) override { return keepEscape ? false : WindowImplBase::OnDefaultKey(key); }
    void OnLastMessage(HWND hwnd) override {
        ++lastMessages;
        WindowImplBase::OnLastMessage(hwnd);
    }

private:
    std::wstring m_skin;
};

HWND CreateAt(CTestWindow& window, HWND owner = nullptr) {
    const HWND hwnd = window.CreateHwnd(owner, L"test", WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, 0);
    if (hwnd != nullptr) SetWindowPos(hwnd, nullptr, kLeft, kTop, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return hwnd;
}

// The centre of a control, in screen co-ordinates.
POINT ScreenCentre(CTestWindow& window, const wchar_t* name) {
    CControlUI* control = window.PaintManager().ControlByName(name);
    EXPECT_NE(control, nullptr) << "no control";
    if (control == nullptr) return POINT{};
    const RECT b = control->GetBounds();
    POINT pt{(b.left + b.right) / 2, (b.top + b.bottom) / 2};
    ClientToScreen(window.GetHWND(), &pt);
    return pt;
}

LRESULT HitTestAt(HWND hwnd, int clientX, int clientY) {
    POINT pt{clientX, clientY};
    ClientToScreen(hwnd, &pt);
    return SendMessageW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(static_cast<WORD>(pt.x), static_cast<WORD>(pt.y)));
}

}  // namespace

TEST(WindowImplBaseTest, BuildsTheSkinThenSizesTheWindowToIt) {
    windowtest::HeadlessScope scope;
    CTestWindow window;
    const HWND hwnd = CreateAt(window);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(window.readyCalls, 1);
    EXPECT_TRUE(window.readyControlsFound) << "the controls exist when the window is ready";
    EXPECT_EQ(window.sizeAtReady.cx, 0) << "the window takes the skin's size after it is ready";
    RECT rect{};
    ASSERT_TRUE(GetWindowRect(hwnd, &rect));
    EXPECT_EQ(rect.right - rect.left, 300);
    EXPECT_EQ(rect.bottom - rect.top, 200);
    EXPECT_EQ(window.PaintManager().GetClientSize().cx, 300);

    // Size limits from "mininfo" and "maxinfo".
    const MINMAXINFO limits = platform::QueryMinMaxInfo(hwnd);
    EXPECT_EQ(limits.ptMinTrackSize.x, 300);
    EXPECT_EQ(limits.ptMinTrackSize.y, 200);
    EXPECT_EQ(limits.ptMaxTrackSize.x, 300);
    EXPECT_EQ(limits.ptMaxTrackSize.y, 260);

    // "roundcorner" 6,6 cuts the corners off the window's shape, and follows a new size.
    HRGN shape = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(hwnd, shape), RGN_ERROR);
    EXPECT_FALSE(PtInRegion(shape, 0, 0));
    EXPECT_FALSE(PtInRegion(shape, 299, 199));
    EXPECT_TRUE(PtInRegion(shape, 3, 100));
    EXPECT_TRUE(PtInRegion(shape, 150, 0));
    SetWindowPos(hwnd, nullptr, 0, 0, 300, 240, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_NE(GetWindowRgn(hwnd, shape), RGN_ERROR);
    EXPECT_TRUE(PtInRegion(shape, 150, 230));
    EXPECT_FALSE(PtInRegion(shape, 299, 239));
    ShowWindow(hwnd, SW_MAXIMIZE);
    EXPECT_EQ(GetWindowRgn(hwnd, shape), RGN_ERROR) << "a maximised window keeps its corners";
    ShowWindow(hwnd, SW_RESTORE);
    EXPECT_NE(GetWindowRgn(hwnd, shape), RGN_ERROR);
    DeleteObject(shape);

    DestroyWindow(hwnd);
    EXPECT_EQ(window.lastMessages, 1);
}

TEST(WindowImplBaseTest, SkinsThatCannotBeBuiltFailTheCreation) {
    windowtest::HeadlessScope scope;
    const struct {
        const char* why;
        const wchar_t* skin;
    } cases[] = {
        {"no such file in the archive", L"NoSuchSkin.xml"},
        {"not a skin file", L"shadow.png"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        CTestWindow window(c.skin);
        EXPECT_EQ(CreateAt(window), nullptr);
        EXPECT_EQ(window.readyCalls, 0);
        EXPECT_EQ(window.lastMessages, 1) << "the window still gets its last message";
        EXPECT_EQ(window.GetHWND(), nullptr);
    }

    // Without any archive: the program's resource is used; a set archive replaces it.
    WindowImplBase::ReleaseSkinArchive();
    EXPECT_FALSE(WindowImplBase::HasSkinArchive());
    ASSERT_NE(WindowImplBase::SkinArchive(), nullptr) << "the ZIPRES resource of the test program";
}

TEST(WindowImplBaseTest, ArchiveOutlivesItsReleaseWhileWindowsUseIt) {
    windowtest::HeadlessScope scope;
    CTestWindow window;
    const HWND hwnd = CreateAt(window);
    ASSERT_NE(hwnd, nullptr);
    WindowImplBase::ReleaseSkinArchive();
    EXPECT_FALSE(WindowImplBase::HasSkinArchive());
    // Painting after the release still reads the archive the window was built from.
    window.ShowHwnd(true, true);
    UpdateWindow(hwnd);
    EXPECT_EQ(platform::ShownPixel(hwnd, 150, 100), 0xFFE0E4ECu) << "the first page of the tab layout";
    EXPECT_EQ(platform::ShownPixel(hwnd, 255, 15), 0xFFFFFFFFu) << "btn_min";
    EXPECT_EQ(platform::ShownPixel(hwnd, 0, 0), 0u) << "the round corner is cut away";
}

TEST(WindowImplBaseTest, CaptionDragsExceptOverControlsThatTakeInput) {
    windowtest::HeadlessScope scope;
    CTestWindow window;
    const HWND hwnd = CreateAt(window);
    ASSERT_NE(hwnd, nullptr);
    window.ShowHwnd(true, true);
    const struct {
        const char* why;
        int x;
        int y;
        LRESULT hit;
    } cases[] = {
        {"plain part of the title bar", 40, 10, HTCAPTION}, {"btn_min inside the caption", 255, 15, HTCLIENT},
        {"below the caption", 150, 100, HTCLIENT},          {"last caption row", 40, 29, HTCAPTION},
        {"first row below it", 40, 30, HTCLIENT},           {"outside the window", 400, 10, HTNOWHERE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(HitTestAt(hwnd, c.x, c.y), c.hit);
    }

    // A press on the caption drags the window with the mouse.
    scope.display.MoveMouse(kLeft + 40, kTop + 10);
    scope.display.PressButton(platform::RawInput::Button::Left);
    PumpPending();
    scope.display.MoveMouse(kLeft + 90, kTop + 40);
    PumpPending();
    scope.display.ReleaseButton(platform::RawInput::Button::Left);
    PumpPending();
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    EXPECT_EQ(rect.left, kLeft + 50);
    EXPECT_EQ(rect.top, kTop + 30);
}

TEST(WindowImplBaseTest, ClicksReachNotificationsAndBtnMinMinimises) {
    windowtest::HeadlessScope scope;
    CTestWindow window;
    const HWND hwnd = CreateAt(window);
    ASSERT_NE(hwnd, nullptr);
    window.ShowHwnd(true, true);
    PumpPending();

    const POINT plain = ScreenCentre(window, L"btn_plain");
    scope.display.Click(plain.x, plain.y);
    ASSERT_TRUE(PumpUntil([&] { return !window.notifications.empty(); }));
    EXPECT_EQ(window.notifications, std::vector<std::wstring>{L"btn_plain"});
    EXPECT_FALSE(IsIconic(hwnd)) << "other buttons do nothing by default";

    const POINT min = ScreenCentre(window, L"btn_min");
    scope.display.Click(min.x, min.y);
    ASSERT_TRUE(PumpUntil([&] { return IsIconic(hwnd) != FALSE; }));
    EXPECT_EQ(window.notifications.back(), L"btn_min");
}

TEST(WindowImplBaseTest, TabMovesTheFocusBetweenControls) {
    windowtest::HeadlessScope scope;
    CTestWindow window;
    const HWND hwnd = CreateAt(window);
    ASSERT_NE(hwnd, nullptr);
    window.ShowHwnd(true, true);
    PumpPending();
    ASSERT_EQ(GetFocus(), hwnd);
    auto focusName = [&]() -> std::wstring {
        CControlUI* focus = window.PaintManager().GetFocusControl();
        return focus != nullptr ? std::wstring(focus->GetName().View()) : L"";
    };
    EXPECT_EQ(focusName(), L"");
    const std::vector<std::wstring> expected = {L"btn_min", L"btn_plain", L"btn_min"};
    for (const std::wstring& name : expected) {
        scope.display.KeyDown(VK_TAB);
        scope.display.KeyUp(VK_TAB);
        ASSERT_TRUE(PumpUntil([&] { return focusName() == name; })) << "focus is on " << focusName().size();
    }
    // Shift+Tab goes back.
    scope.display.KeyDown(VK_SHIFT);
    scope.display.KeyDown(VK_TAB);
    scope.display.KeyUp(VK_TAB);
    scope.display.KeyUp(VK_SHIFT);
    ASSERT_TRUE(PumpUntil([&] { return focusName() == L"btn_plain"; }));
}

TEST(WindowImplBaseTest, EscapeClosesUnlessTheWindowKeepsIt) {
    windowtest::HeadlessScope scope;
    CTestWindow owner;
    ASSERT_NE(CreateAt(owner), nullptr);
    owner.ShowHwnd(true, true);

    // A window that keeps Escape for itself stays open.
    CTestWindow keeper(L"CoreBox.xml");
    keeper.keepEscape = true;
    ASSERT_NE(CreateAt(keeper, owner.GetHWND()), nullptr);
    keeper.ShowHwnd(true, true);
    PumpPending();
    scope.display.KeyDown(VK_ESCAPE);
    scope.display.KeyUp(VK_ESCAPE);
    PumpPending();
    EXPECT_TRUE(IsWindow(keeper.GetHWND()));
    DestroyWindow(keeper.GetHWND());

    // The default ends a modal run with the cancel code.
    CTestWindow box(L"CoreBox.xml");
    ASSERT_NE(CreateAt(box, owner.GetHWND()), nullptr);
    box.CenterOnOwner();
    box.ShowHwnd(true, true);
    scope.display.KeyDown(VK_ESCAPE);
    scope.display.KeyUp(VK_ESCAPE);
    EXPECT_EQ(box.RunModal(), WindowImplBase::kEscapeCloseResult);
    EXPECT_EQ(box.GetHWND(), nullptr);
    EXPECT_TRUE(IsWindowEnabled(owner.GetHWND()));
}

TEST(WindowImplBaseTest, ModalBoxEndsWithItsButtonsCode) {
    windowtest::HeadlessScope scope;
    CTestWindow owner;
    ASSERT_NE(CreateAt(owner), nullptr);
    owner.ShowHwnd(true, true);

    class CBox : public CTestWindow {
    public:
        CBox() : CTestWindow(L"CoreBox.xml") {}

    protected:
        void OnNotify(UINotifyMsg& msg) override {
            if (msg.type == L"click" && msg.sender != nullptr && msg.sender->GetName() == L"btn_ok") PostClose(1);
        }
    } box;
    ASSERT_NE(CreateAt(box, owner.GetHWND()), nullptr);
    box.CenterOnOwner();
    box.ShowHwnd(true, true);
    PumpPending();
    // A click on the disabled owner goes nowhere; one on the box's button ends the run.
    const POINT ownerButton = ScreenCentre(owner, L"btn_plain");
    const POINT ok = ScreenCentre(box, L"btn_ok");
    scope.display.Click(ownerButton.x, ownerButton.y);
    scope.display.Click(ok.x, ok.y);
    EXPECT_EQ(box.RunModal(), 1u);
    EXPECT_TRUE(owner.notifications.empty());
    EXPECT_EQ(GetActiveWindow(), owner.GetHWND()) << "activation returns to the owner";
}

TEST(WindowImplBaseTest, ShownOnARealDisplayWithAScreenshot) {
    if (!displaytest::XvfbInstalled()) GTEST_SKIP() << "Xvfb is not installed";
    displaytest::XvfbServer server;
    ASSERT_TRUE(server.Running()) << "Xvfb did not start";
    platform::X11Display x11;
    ASSERT_TRUE(x11.Open(server.Name()));
    platform::SetWindowBackend(&x11);
    skintest::RegisterTestControls();
    SkinUI::CWndShadow::RegisterShadowClass();
    {
        CTestWindow window(L"TestWindow.xml");
        const HWND hwnd = CreateAt(window);
        ASSERT_NE(hwnd, nullptr);
        window.CenterOnOwner();
        window.ShowHwnd(true, true);
        ASSERT_NE(x11.NativeWindow(hwnd), 0u);
        EXPECT_NE(x11.NativeWindow(window.Shadow().GetHWND()), 0u) << "the layered shadow is a real window too";
        RECT client{};
        GetClientRect(hwnd, &client);
        // A point of the body that no control covers, and its colour.
        const POINT probe{client.right - 20, client.bottom - 60};
        UpdateWindow(hwnd);
        const DWORD expected = platform::ShownPixel(hwnd, probe.x, probe.y) | 0xFF000000u;
        std::optional<platform::X11Display::Capture> shown;
        const bool painted = PumpUntil([&] {
            shown = x11.CaptureWindow(hwnd);
            return shown && shown->width == client.right && shown->height == client.bottom &&
                   shown->pixels[static_cast<size_t>(probe.y) * shown->width + probe.x] == expected;
        });
        ASSERT_TRUE(shown.has_value()) << "the window never became viewable";
        EXPECT_TRUE(painted) << "the skin's pixels did not reach the screen";

        std::error_code error;
        const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
        const auto dir = exe.parent_path().parent_path() / "artifacts";
        std::filesystem::create_directories(dir, error);
        const auto path = (dir / "skin-window.png").string();
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, shown->width, shown->height);
        unsigned char* data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        for (int y = 0; y < shown->height; ++y) {
            std::memcpy(data + static_cast<size_t>(y) * stride, &shown->pixels[static_cast<size_t>(y) * shown->width],
                        static_cast<size_t>(shown->width) * 4);
        }
        cairo_surface_mark_dirty(surface);
        EXPECT_EQ(cairo_surface_write_to_png(surface, path.c_str()), CAIRO_STATUS_SUCCESS) << path;
        cairo_surface_destroy(surface);
        DestroyWindow(hwnd);
    }
    WindowImplBase::ReleaseSkinArchive();
    platform::SetWindowBackend(nullptr);
}

namespace {

bool BasicControlsRegistered() {
    auto& factory = SkinUI::CUIControlFactory::Instance();
    for (const wchar_t* tag :
         {L"Label", L"Text", L"Button", L"Option", L"CheckBox", L"Progress", L"Slider", L"Edit", L"ScrollBar"}) {
        if (!factory.IsRegistered(tag)) return false;
    }
    return true;
}

// Records every notification of the full test skin, by type and sender.
class CFullSkinWindow : public CTestWindow {
public:
    CFullSkinWindow() : CTestWindow(L"TestWindow.xml") {}
    std::vector<std::wstring> log;

protected:
    void OnNotify(UINotifyMsg& msg) override {
        if (msg.sender != nullptr && (msg.type == L"click" || msg.type == L"selectchanged")) {
            log.push_back(std::wstring(msg.type.View()) + L":" + std::wstring(msg.sender->GetName().View()));
        }
        CTestWindow::OnNotify(msg);
    }
};

}  // namespace

TEST(WindowImplBaseTest, TheFullTestSkinBuildsEveryControl) {
    ASSERT_TRUE(BasicControlsRegistered());
    windowtest::HeadlessScope scope;
    SkinUI::CUIPaintManager manager;
    SkinUI::CUIDialogBuilder builder;
    SkinUI::CControlUI* root = builder.BuildFromSkinFile(WindowImplBase::SkinArchive(), L"TestWindow.xml", &manager);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(builder.LastError(), L"") << "every tag and attribute of the skin is known";
    manager.AttachRoot(root);

    CFullSkinWindow window;
    ASSERT_NE(CreateAt(window), nullptr);
    for (const wchar_t* name :
         {L"lb_title", L"btn_min", L"btn_close", L"tab_main", L"opt_a", L"opt_b", L"chk_c", L"edit_name", L"pro_main",
          L"sld_level", L"txt_info", L"btn_ok", L"btn_cancel", L"lb_page2", L"sb_test"}) {
        SCOPED_TRACE(std::string(name, name + std::wcslen(name)));
        EXPECT_NE(window.PaintManager().ControlByName(name), nullptr);
    }
}

TEST(WindowImplBaseTest, FullSkinButtonsOptionsAndTabDrivenByInput) {
    ASSERT_TRUE(BasicControlsRegistered());
    windowtest::HeadlessScope scope;
    CFullSkinWindow window;
    const HWND hwnd = CreateAt(window);
    ASSERT_NE(hwnd, nullptr);
    window.ShowHwnd(true, true);
    PumpPending();

    // "selected" in the skin announced itself while the skin was built.
    EXPECT_EQ(window.log, std::vector<std::wstring>{L"selectchanged:opt_a"});
    window.log.clear();

    // A button click.
    const POINT ok = ScreenCentre(window, L"btn_ok");
    scope.display.Click(ok.x, ok.y);
    ASSERT_TRUE(PumpUntil([&] { return !window.log.empty(); }));
    EXPECT_EQ(window.log, std::vector<std::wstring>{L"click:btn_ok"});

    // Options of one group: selecting one clears the other, and its mark shows.
    auto markColour = [&](const wchar_t* name) {
        UpdateWindow(hwnd);
        const RECT b = window.PaintManager().ControlByName(name)->GetBounds();
        return platform::ShownPixel(hwnd, b.left + 8, b.top + 10);
    };
    constexpr DWORD kMark = 0xFF3A7BD5;
    EXPECT_EQ(markColour(L"opt_a"), kMark);
    EXPECT_NE(markColour(L"opt_b"), kMark);
    window.log.clear();
    const POINT optB = ScreenCentre(window, L"opt_b");
    scope.display.Click(optB.x, optB.y);
    ASSERT_TRUE(PumpUntil([&] { return window.log.size() >= 2; }));
    EXPECT_EQ(window.log, (std::vector<std::wstring>{L"click:opt_b", L"selectchanged:opt_b"}));
    EXPECT_NE(markColour(L"opt_a"), kMark);
    EXPECT_EQ(markColour(L"opt_b"), kMark);
    // A check box outside the group leaves the group alone.
    const POINT check = ScreenCentre(window, L"chk_c");
    scope.display.Click(check.x, check.y);
    PumpPending();
    EXPECT_EQ(markColour(L"opt_b"), kMark);

    // Tab walks the focus stops in skin order from the focused control.
    window.PaintManager().SetFocusControl(window.PaintManager().ControlByName(L"btn_ok"));
    scope.display.KeyDown(VK_TAB);
    scope.display.KeyUp(VK_TAB);
    ASSERT_TRUE(PumpUntil([&] {
        SkinUI::CControlUI* focus = window.PaintManager().GetFocusControl();
        return focus != nullptr && focus->GetName() == L"btn_cancel";
    }));
    // Return on the focused button clicks it.
    window.log.clear();
    scope.display.KeyDown(VK_RETURN);
    scope.display.KeyUp(VK_RETURN);
    ASSERT_TRUE(PumpUntil([&] { return !window.log.empty(); }));
    EXPECT_EQ(window.log.front(), L"click:btn_cancel");

    // The minimise button of the skin minimises.
    window.ShowHwnd(true, true);
    const POINT min = ScreenCentre(window, L"btn_min");
    scope.display.Click(min.x, min.y);
    EXPECT_TRUE(PumpUntil([&] { return IsIconic(hwnd) != FALSE; }));
}
