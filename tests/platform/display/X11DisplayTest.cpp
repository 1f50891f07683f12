#include "platform/display/X11Display.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

#include "../window/DisplayTestSupport.h"
#include "XvfbServer.h"
#include "platform/window/Menu.h"
#include "platform/window/NativeWindow.h"
#include "support/Canvas.h"
#include "support/MessagePump.h"
#include "support/ReferenceImage.h"

// Last: Xlib's macros would otherwise reach into the test framework's headers.
#include <X11/Xlib.h>

using namespace windowtest;

namespace {

constexpr RECT kPlace{40, 30, 240, 170};

// One scene: a skin-like background, a frame, translucent fills, Chinese text and a blended image.
std::optional<LRESULT> PaintScene(HWND hwnd, UINT message, WPARAM, LPARAM) {
    if (message != WM_PAINT) return std::nullopt;
    PAINTSTRUCT paint;
    HDC hdc = BeginPaint(hwnd, &paint);
    const RECT all{0, 0, 200, 140};
    platform::FillRectAlpha(hdc, all, 0xFF2B5A8C);
    const RECT band{0, 0, 200, 30};
    platform::FillRectAlpha(hdc, band, 0xFF17324F);
    const RECT glass{20, 50, 120, 90};
    platform::FillRectAlpha(hdc, glass, 0x80FFFFFF);
    platform::DrawLineAlpha(hdc, POINT{0, 139}, POINT{200, 139}, 1, 0xFFE0A030, PS_SOLID);
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, RGB(255, 255, 255));
    RECT text{8, 4, 192, 28};
    DrawTextW(hdc, L"安装程序 Setup", -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    testsupport::Canvas image(16, 16, 0x00000000);
    const RECT dot{4, 4, 12, 12};
    platform::FillRectAlpha(image.Dc(), dot, 0xC0FF4000);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(hdc, 150, 60, 32, 32, image.Dc(), 0, 0, 16, 16, blend);
    EndPaint(hwnd, &paint);
    return 0;
}

HWND CreateScene(ScopedClass& cls, Recorder* recorder) {
    recorder->handler = PaintScene;
    const HWND hwnd = cls.Create(recorder, WS_POPUP, kPlace);
    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);
    return hwnd;
}

// A close request from the window manager, as WM_DELETE_WINDOW.
void SendCloseRequest(::Display* sender, unsigned long window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(sender, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(sender, "WM_DELETE_WINDOW", False));
    XSendEvent(sender, window, False, 0, &event);
}

// An Xvfb server and our display opened on it; skipped where Xvfb is not installed.
class X11DisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!displaytest::XvfbInstalled()) GTEST_SKIP() << "Xvfb is not installed";
        m_server.emplace();
        ASSERT_TRUE(m_server->Running()) << "Xvfb did not start";
        ASSERT_TRUE(x11.Open(m_server->Name()));
    }
    void TearDown() override { platform::SetWindowBackend(nullptr); }
    ::Display* OpenClient() const { return XOpenDisplay(m_server->Name().c_str()); }

    std::optional<displaytest::XvfbServer> m_server;
    platform::X11Display x11;
    Recorder recorder;
    ScopedClass cls;  // after the recorder: its windows go first
};

}  // namespace

TEST_F(X11DisplayTest, ARealWindowShowsTheSamePixelsAsTheHeadlessOne) {
    std::vector<DWORD> expected;
    {
        HeadlessScope scope;
        Recorder headless;
        const HWND hwnd = CreateScene(cls, &headless);
        for (int y = 0; y < 140; ++y) {
            for (int x = 0; x < 200; ++x)
                expected.push_back(scope.display.Pixel(hwnd, x, y));
        }
        DestroyWindow(hwnd);
    }

    platform::SetWindowBackend(&x11);
    const HWND hwnd = CreateScene(cls, &recorder);
    ASSERT_NE(x11.NativeWindow(hwnd), 0u);
    std::optional<platform::X11Display::Capture> shown;
    // Mapping is asynchronous: pixels pushed before the server mapped the window come again on Expose.
    const bool same = testsupport::PumpMessagesUntil(
        [&] {
            shown = x11.CaptureWindow(hwnd);
            if (!shown || shown->width != 200 || shown->height != 140) return false;
            return std::vector<DWORD>(shown->pixels.begin(), shown->pixels.end()) == expected;
        },
        std::chrono::seconds(10));
    ASSERT_TRUE(shown.has_value()) << "the window never became viewable";
    EXPECT_TRUE(same) << "the server shows other pixels than the headless display";
    EXPECT_TRUE(testsupport::WriteArtifact("x11-window.png", shown->pixels, shown->width, shown->height));
    DestroyWindow(hwnd);
}

TEST_F(X11DisplayTest, PointerEventsAndCloseRequestsBecomeWindowMessages) {
    platform::SetWindowBackend(&x11);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
    const HWND hwnd = cls.Create(&recorder, WS_POPUP | WS_SYSMENU | WS_VISIBLE, RECT{10, 10, 110, 110});
    x11.Sync();
    ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return x11.CaptureWindow(hwnd).has_value(); }));
    EnableMenuItem(GetSystemMenu(hwnd, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED | MF_DISABLED);

    // Events as the server would send them, through the reader thread: with Close greyed,
    // the close request is ignored; the clicks sent after it show it was handled.
    ::Display* sender = OpenClient();
    ASSERT_NE(sender, nullptr);
    SendCloseRequest(sender, x11.NativeWindow(hwnd));
    XEvent event{};
    event.xbutton.type = ButtonPress;
    event.xbutton.window = x11.NativeWindow(hwnd);
    event.xbutton.x = 20;
    event.xbutton.y = 30;
    event.xbutton.button = Button1;
    XSendEvent(sender, event.xbutton.window, False, ButtonPressMask, &event);
    event.xbutton.type = ButtonRelease;
    XSendEvent(sender, event.xbutton.window, False, ButtonReleaseMask, &event);
    XFlush(sender);
    EXPECT_TRUE(testsupport::PumpMessagesUntil([&] { return !recorder.Only({WM_LBUTTONUP}).empty(); }));
    EXPECT_EQ(recorder.Only({WM_LBUTTONDOWN, WM_LBUTTONUP, WM_SYSCOMMAND, WM_CLOSE}),
              (std::vector<Step>{{hwnd, WM_LBUTTONDOWN}, {hwnd, WM_LBUTTONUP}}));
    EXPECT_EQ(LParamsOf(recorder, hwnd, WM_LBUTTONDOWN), (std::vector<LPARAM>{Point(20, 30)}));
    EXPECT_TRUE(IsWindow(hwnd));

    // With the menu restored it goes through WM_SYSCOMMAND and WM_CLOSE to DefWindowProcW.
    GetSystemMenu(hwnd, TRUE);
    SendCloseRequest(sender, x11.NativeWindow(hwnd));
    XFlush(sender);
    EXPECT_TRUE(testsupport::PumpMessagesUntil([&] { return !IsWindow(hwnd); }));
    EXPECT_EQ(recorder.Only({WM_SYSCOMMAND, WM_CLOSE}), (std::vector<Step>{{hwnd, WM_SYSCOMMAND}, {hwnd, WM_CLOSE}}));
    XCloseDisplay(sender);
}

namespace {

// Waits up to ten seconds for an event of `client`'s connection that `match` accepts.
bool AwaitEvent(::Display* client, const std::function<bool(const XEvent&)>& match) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        while (XPending(client) > 0) {
            XEvent event;
            XNextEvent(client, &event);
            if (match(event)) return true;
        }
        testsupport::PumpMessagesFor(std::chrono::milliseconds(20));
    }
    return false;
}

bool IsXEmbed(const XEvent& event, Atom xembed, long message) {
    return event.type == ClientMessage && event.xclient.message_type == xembed && event.xclient.data.l[1] == message;
}

}  // namespace

TEST_F(X11DisplayTest, AChildHoldsAnotherProgramsWindowAsAnXEmbedSocket) {
    platform::SetWindowBackend(&x11);
    const HWND top = cls.Create(&recorder, WS_POPUP | WS_VISIBLE, RECT{10, 10, 310, 210});
    const HWND host = cls.Create(&recorder, WS_CHILD | WS_VISIBLE, RECT{20, 30, 220, 130}, top);
    EXPECT_EQ(platform::NativeDisplayName(), m_server->Name());
    const auto socket = static_cast<::Window>(platform::NativeChildWindow(host));
    ASSERT_NE(socket, 0u);
    EXPECT_EQ(platform::NativeChildWindow(host), socket);
    EXPECT_EQ(platform::NativeChildWindow(top), 0u) << "only children get one";

    // Another program's window as a plug leaves it: unmapped, not yet asking to be shown.
    ::Display* other = OpenClient();
    ASSERT_NE(other, nullptr);
    const Atom xembed = XInternAtom(other, "_XEMBED", False);
    const Atom info = XInternAtom(other, "_XEMBED_INFO", False);
    const ::Window client = XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 50, 50, 0, 0, 0);
    unsigned long flags[2] = {0, 0};
    XChangeProperty(other, client, info, info, 32, PropModeReplace, reinterpret_cast<unsigned char*>(flags), 2);
    XSelectInput(other, client, StructureNotifyMask);
    XSync(other, False);
    ASSERT_TRUE(platform::EmbedNativeClient(host, client));
    EXPECT_FALSE(platform::EmbedNativeClient(host, 0x7FFFFFF)) << "no such window";

    {  // Reparented into the socket, told so, sized like the child, and left unmapped.
        EXPECT_TRUE(AwaitEvent(
            other, [&](const XEvent& e) { return e.type == ReparentNotify && e.xreparent.parent == socket; }));
        EXPECT_TRUE(AwaitEvent(other, [&](const XEvent& e) {
            return IsXEmbed(e, xembed, 0) && static_cast<::Window>(e.xclient.data.l[3]) == socket;
        }));
        XWindowAttributes attributes;
        ASSERT_TRUE(XGetWindowAttributes(other, client, &attributes));
        EXPECT_EQ(attributes.width, 200);
        EXPECT_EQ(attributes.height, 100);
        EXPECT_EQ(attributes.map_state, IsUnmapped);
    }
    {  // Mapped once its info asks for it.
        flags[1] = 1;
        XChangeProperty(other, client, info, info, 32, PropModeReplace, reinterpret_cast<unsigned char*>(flags), 2);
        XFlush(other);
        EXPECT_TRUE(AwaitEvent(other, [&](const XEvent& e) { return e.type == MapNotify; }));
    }
    {  // It follows the child's place, size and visibility.
        MoveWindow(host, 5, 6, 120, 60, TRUE);
        EXPECT_TRUE(AwaitEvent(other, [&](const XEvent& e) {
            return e.type == ConfigureNotify && e.xconfigure.width == 120 && e.xconfigure.height == 60;
        }));
        XWindowAttributes attributes;
        ASSERT_TRUE(XGetWindowAttributes(other, socket, &attributes));
        EXPECT_EQ(attributes.x, 5);
        EXPECT_EQ(attributes.y, 6);
        ShowWindow(host, SW_HIDE);
        x11.Sync();
        ASSERT_TRUE(XGetWindowAttributes(other, socket, &attributes));
        EXPECT_EQ(attributes.map_state, IsUnmapped);
        ShowWindow(host, SW_SHOW);
    }
    {  // Our focus on the child gives the client the keyboard, and taking it back takes it.
        SetFocus(host);
        EXPECT_TRUE(AwaitEvent(other, [&](const XEvent& e) { return IsXEmbed(e, xembed, 4); }));
        SetFocus(top);
        EXPECT_TRUE(AwaitEvent(other, [&](const XEvent& e) { return IsXEmbed(e, xembed, 5); }));
    }
    {  // The child's end hands the client back to the root unharmed.
        DestroyWindow(host);
        EXPECT_TRUE(AwaitEvent(other, [&](const XEvent& e) {
            return e.type == ReparentNotify && e.xreparent.parent == DefaultRootWindow(other);
        }));
        XWindowAttributes attributes;
        EXPECT_TRUE(XGetWindowAttributes(other, client, &attributes));
    }
    XCloseDisplay(other);
}
