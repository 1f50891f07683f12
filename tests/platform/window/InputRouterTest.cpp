#include "platform/window/InputRouter.h"

#include <gtest/gtest.h>

#include <memory>

#include "DisplayTestSupport.h"

using namespace windowtest;
using platform::RawInput;

namespace {

constexpr std::initializer_list<UINT> kMouse = {WM_NCHITTEST,   WM_SETCURSOR,     WM_MOUSEMOVE,     WM_NCMOUSEMOVE,
                                                WM_LBUTTONDOWN, WM_LBUTTONUP,     WM_LBUTTONDBLCLK, WM_MOUSELEAVE,
                                                WM_MOUSEHOVER,  WM_MOUSEACTIVATE, WM_RBUTTONDOWN,   WM_RBUTTONUP};

std::optional<LRESULT> TrackLeaveOnMove(HWND hwnd, UINT message, WPARAM, LPARAM) {
    if (message == WM_MOUSEMOVE) {
        TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, hwnd, 0};
        TrackMouseEvent(&track);
    }
    return std::nullopt;
}

}  // namespace

class InputRouterTest : public DisplayFixture {};

TEST_F(InputRouterTest, MouseMovesAskForHitTestAndCursorThenPostTheMove) {
    ScopedClass cls(0, LoadCursorW(nullptr, IDC_HAND));
    const HWND main = cls.Create(&recorder, WS_POPUP | WS_VISIBLE, RECT{100, 50, 300, 250});
    Pump();
    recorder.Clear();

    scope.display.MoveMouse(110, 65);
    scope.display.MoveMouse(111, 66);
    Pump();
    // Each move is routed only once the one before it was retrieved.
    const std::vector<Step> twoMoves = {{main, WM_NCHITTEST}, {main, WM_SETCURSOR}, {main, WM_MOUSEMOVE},
                                        {main, WM_NCHITTEST}, {main, WM_SETCURSOR}, {main, WM_MOUSEMOVE}};
    EXPECT_EQ(recorder.Only(kMouse), twoMoves);
    EXPECT_EQ(LParamsOf(recorder, main, WM_NCHITTEST).front(), Point(110, 65));
    EXPECT_EQ(LParamsOf(recorder, main, WM_SETCURSOR).front(), Point(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(LParamsOf(recorder, main, WM_MOUSEMOVE), (std::vector<LPARAM>{Point(10, 15), Point(11, 16)}));
    EXPECT_EQ(scope.display.Cursor(), LoadCursorW(nullptr, IDC_HAND));

    // A sizing edge gets a non-client move and the sizing cursor.
    recorder.Clear();
    recorder.Answer(WM_NCHITTEST, HTRIGHT);
    scope.display.MoveMouse(299, 100);
    Pump();
    EXPECT_EQ(recorder.Only({WM_MOUSEMOVE, WM_NCMOUSEMOVE}), (std::vector<Step>{{main, WM_NCMOUSEMOVE}}));
    EXPECT_EQ(WParamsOf(recorder, main, WM_NCMOUSEMOVE), (std::vector<WPARAM>{static_cast<WPARAM>(HTRIGHT)}));
    EXPECT_EQ(scope.display.Cursor(), LoadCursorW(nullptr, IDC_SIZEWE));
}

TEST_F(InputRouterTest, LeavingATrackedWindowPostsMouseLeaveBeforeTheNextMove) {
    Recorder left;
    Recorder right;
    left.handler = TrackLeaveOnMove;
    right.handler = TrackLeaveOnMove;
    const HWND a = cls.Create(&left, WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100});
    const HWND b = cls.Create(&right, WS_POPUP | WS_VISIBLE, RECT{100, 0, 200, 100});
    Pump();
    left.Clear();
    right.Clear();

    scope.display.MoveMouse(50, 50);
    scope.display.MoveMouse(150, 50);
    Pump();
    EXPECT_EQ(left.Only({WM_MOUSEMOVE, WM_MOUSELEAVE}), (std::vector<Step>{{a, WM_MOUSEMOVE}, {a, WM_MOUSELEAVE}}));
    EXPECT_EQ(right.Only({WM_MOUSEMOVE, WM_MOUSELEAVE}), (std::vector<Step>{{b, WM_MOUSEMOVE}}));

    // Leaving every window of the program ends the tracking too.
    scope.display.LeaveScreen();
    Pump();
    EXPECT_EQ(right.Only({WM_MOUSELEAVE}).size(), 1u);

    // Tracking a window the mouse is not over reports the leave at once.
    left.Clear();
    TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, a, 0};
    EXPECT_TRUE(TrackMouseEvent(&track));
    Pump();
    EXPECT_EQ(left.Only({WM_MOUSELEAVE}).size(), 1u);
    DestroyWindow(a);
    DestroyWindow(b);
}

TEST_F(InputRouterTest, HoverComesWhenTheMouseRests) {
    auto clock = UseManualClock();
    recorder.handler = [](HWND hwnd, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_MOUSEMOVE) {
            TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_HOVER | TME_LEAVE, hwnd, 100};
            TrackMouseEvent(&track);
        }
        return std::nullopt;
    };
    const HWND hwnd = cls.Create(&recorder, WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100});
    Pump();
    scope.display.MoveMouse(20, 30);
    Pump();
    clock->Advance(std::chrono::milliseconds(99));
    Pump();
    EXPECT_TRUE(recorder.Only({WM_MOUSEHOVER}).empty());
    clock->Advance(std::chrono::milliseconds(1));
    Pump();
    EXPECT_EQ(recorder.Only({WM_MOUSEHOVER}), (std::vector<Step>{{hwnd, WM_MOUSEHOVER}}));
    EXPECT_EQ(LParamsOf(recorder, hwnd, WM_MOUSEHOVER), (std::vector<LPARAM>{Point(20, 30)}));
    clock->Advance(std::chrono::milliseconds(500));  // once per request
    Pump();
    EXPECT_EQ(recorder.Only({WM_MOUSEHOVER}).size(), 1u);
}

TEST_F(InputRouterTest, ClickOnAnInactiveWindowActivatesItBeforeTheButton) {
    const HWND a = cls.Create(&recorder, WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100});
    const HWND b = cls.Create(&recorder, WS_POPUP | WS_VISIBLE, RECT{100, 0, 200, 100});
    SetActiveWindow(a);
    Pump();
    recorder.Clear();

    scope.display.Click(150, 50);
    Pump();
    const std::vector<Step> activateThenClick = {{b, WM_SETCURSOR},   {b, WM_MOUSEACTIVATE}, {a, WM_NCACTIVATE},
                                                 {a, WM_ACTIVATE},    {b, WM_NCACTIVATE},    {b, WM_ACTIVATE},
                                                 {a, WM_KILLFOCUS},   {b, WM_SETFOCUS},      {b, WM_SETCURSOR},
                                                 {b, WM_LBUTTONDOWN}, {b, WM_LBUTTONUP}};
    EXPECT_EQ(recorder.Only({WM_MOUSEACTIVATE, WM_NCACTIVATE, WM_ACTIVATE, WM_KILLFOCUS, WM_SETFOCUS, WM_SETCURSOR,
                             WM_LBUTTONDOWN, WM_LBUTTONUP}),
              activateThenClick);
    EXPECT_EQ(WParamsOf(recorder, b, WM_ACTIVATE), (std::vector<WPARAM>{WA_CLICKACTIVE}));
    EXPECT_EQ(WParamsOf(recorder, b, WM_LBUTTONDOWN), (std::vector<WPARAM>{MK_LBUTTON}));

    // A window that answers "activate and eat" is activated without seeing the click.
    recorder.Clear();
    recorder.Answer(WM_MOUSEACTIVATE, MA_ACTIVATEANDEAT);
    scope.display.Click(50, 50);
    Pump();
    EXPECT_EQ(GetActiveWindow(), a);
    EXPECT_EQ(recorder.Only({WM_LBUTTONDOWN, WM_LBUTTONUP}), (std::vector<Step>{{a, WM_LBUTTONUP}}));
}

TEST_F(InputRouterTest, DoubleClicksNeedTheClassStyleAndQuickCloseClicks) {
    ScopedClass doubles(CS_DBLCLKS);
    ScopedClass plain(0);
    const HWND listView = doubles.Create(&recorder, WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100});
    const HWND button = plain.Create(&recorder, WS_POPUP | WS_VISIBLE, RECT{200, 0, 300, 100});
    const auto downs = [&](HWND hwnd) {
        std::vector<UINT> out;
        for (const auto& [h, m] : recorder.Only({WM_LBUTTONDOWN, WM_LBUTTONDBLCLK})) {
            if (h == hwnd) out.push_back(m);
        }
        return out;
    };
    Pump();

    // Three quick clicks: down, double, down.
    for (int i = 0; i < 3; ++i)
        scope.display.Click(10, 10);
    Pump();
    EXPECT_EQ(downs(listView), (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONDOWN}));

    // Too slow, or too far apart: no double click.
    recorder.Clear();
    scope.display.AdvanceTime(1000);
    scope.display.Click(10, 10);
    scope.display.AdvanceTime(501);
    scope.display.Click(10, 10);
    scope.display.AdvanceTime(1000);
    scope.display.Click(10, 10);
    scope.display.Click(13, 10);
    Pump();
    EXPECT_EQ(downs(listView), (std::vector<UINT>(4, WM_LBUTTONDOWN)));

    // Without CS_DBLCLKS quick clicks stay single.
    scope.display.AdvanceTime(1000);
    scope.display.Click(210, 10);
    scope.display.Click(210, 10);
    Pump();
    EXPECT_EQ(downs(button), (std::vector<UINT>(2, WM_LBUTTONDOWN)));
}

TEST_F(InputRouterTest, InputForADisabledWindowIsDropped) {
    Recorder ownerSeen;
    Recorder boxSeen;
    const HWND owner = cls.Create(&ownerSeen, WS_POPUP | WS_VISIBLE, RECT{0, 0, 300, 300});
    const HWND box = cls.Create(&boxSeen, WS_POPUP | WS_VISIBLE, RECT{100, 100, 200, 200}, owner);
    cls.Create(&ownerSeen, WS_CHILD | WS_VISIBLE, RECT{0, 0, 50, 50}, owner);
    EnableWindow(owner, FALSE);  // what a modal loop does
    Pump();
    ownerSeen.Clear();
    boxSeen.Clear();

    scope.display.Click(20, 20);    // over the child of the disabled owner
    scope.display.Click(250, 250);  // over the owner itself
    scope.display.KeyDown('A');
    scope.display.Click(150, 150);  // the box still works
    Pump(Keys::Translated);
    EXPECT_TRUE(ownerSeen.All().empty());
    EXPECT_EQ(boxSeen.Only({WM_LBUTTONDOWN, WM_LBUTTONUP}),
              (std::vector<Step>{{box, WM_LBUTTONDOWN}, {box, WM_LBUTTONUP}}));
    EXPECT_EQ(boxSeen.Only({WM_KEYDOWN}), (std::vector<Step>{{box, WM_KEYDOWN}}));
    EXPECT_EQ(GetActiveWindow(), box);
    EnableWindow(owner, TRUE);
    DestroyWindow(owner);
}

TEST_F(InputRouterTest, DraggingTheCaptionMovesTheWindow) {
    recorder.handler = [](HWND hwnd, UINT message, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
        if (message != WM_NCHITTEST) return std::nullopt;
        POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ScreenToClient(hwnd, &p);
        return p.y < 30 ? HTCAPTION : HTCLIENT;
    };
    const HWND main = cls.Create(&recorder, WS_POPUP | WS_VISIBLE, RECT{100, 100, 640, 534});
    Pump();
    recorder.Clear();
    scope.display.MoveMouse(110, 110);
    scope.display.PressButton(RawInput::Button::Left);
    scope.display.MoveMouse(130, 115);
    scope.display.MoveMouse(150, 140);
    scope.display.ReleaseButton(RawInput::Button::Left);
    scope.display.MoveMouse(300, 300);
    Pump();
    RECT rect;
    GetWindowRect(main, &rect);
    EXPECT_EQ((std::vector<LONG>{rect.left, rect.top, rect.right, rect.bottom}),
              (std::vector<LONG>{140, 130, 680, 564}));
    EXPECT_EQ(WParamsOf(recorder, main, WM_SYSCOMMAND), (std::vector<WPARAM>{SC_MOVE | HTCAPTION}));
    EXPECT_EQ(LParamsOf(recorder, main, WM_MOVE), (std::vector<LPARAM>{Point(120, 105), Point(140, 130)}));
    // The window no longer follows once the button is up.
    EXPECT_EQ(recorder.Only({WM_LBUTTONDOWN, WM_NCLBUTTONDOWN}), (std::vector<Step>{{main, WM_NCLBUTTONDOWN}}));
}

TEST_F(InputRouterTest, KeysBecomeCharactersThroughTranslateMessage) {
    const HWND main = cls.Create(&recorder, WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100});
    const HWND edit = cls.Create(&recorder, WS_CHILD | WS_VISIBLE, RECT{0, 0, 50, 20}, main);
    SetFocus(edit);
    Pump();
    recorder.Clear();

    scope.display.KeyDown('A', "a");
    scope.display.KeyUp('A');
    scope.display.TypeText("中文");
    scope.display.KeyDown(VK_SHIFT);
    scope.display.KeyDown('B');  // no text from the display: the key's own meaning
    scope.display.KeyUp(VK_SHIFT);
    scope.display.KeyDown(VK_CONTROL);
    scope.display.KeyDown('C');
    scope.display.KeyDown(VK_RETURN);
    Pump(Keys::Translated);
    EXPECT_EQ(WParamsOf(recorder, edit, WM_CHAR), (std::vector<WPARAM>{L'a', 0x4E2D, 0x6587, L'B', 3, L'\n'}));
    EXPECT_EQ(WParamsOf(recorder, edit, WM_KEYDOWN),
              (std::vector<WPARAM>{'A', VK_PACKET, VK_PACKET, VK_SHIFT, 'B', VK_CONTROL, 'C', VK_RETURN}));
    const auto ups = LParamsOf(recorder, edit, WM_KEYUP);
    ASSERT_FALSE(ups.empty());
    EXPECT_EQ(static_cast<DWORD>(ups.front()) >> 30, 3u);  // previously down, now going up
    EXPECT_LT(GetKeyState(VK_CONTROL), 0);
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);
    scope.display.KeyUp(VK_CONTROL);
    Pump(Keys::Translated);
    EXPECT_GE(GetKeyState(VK_CONTROL), 0);

    // Alt+F4 asks the top-level window to close, through WM_SYSCOMMAND.
    recorder.Clear();
    scope.display.KeyDown(VK_MENU);
    scope.display.KeyDown(VK_F4);
    scope.display.KeyUp(VK_F4);
    scope.display.KeyUp(VK_MENU);
    Pump(Keys::Translated);
    EXPECT_EQ(
        recorder.Only({WM_SYSKEYDOWN, WM_SYSCOMMAND, WM_CLOSE}),
        (std::vector<Step>{{edit, WM_SYSKEYDOWN}, {edit, WM_SYSKEYDOWN}, {main, WM_SYSCOMMAND}, {main, WM_CLOSE}}));
    EXPECT_FALSE(IsWindow(main));
}

TEST_F(InputRouterTest, WheelGoesToTheFocusAndCaptureKeepsTheMouse) {
    const HWND main = cls.Create(&recorder, WS_POPUP | WS_VISIBLE, RECT{0, 0, 200, 200});
    const HWND list = cls.Create(&recorder, WS_CHILD | WS_VISIBLE, RECT{10, 10, 110, 110}, main);
    cls.Create(&recorder, WS_POPUP | WS_VISIBLE | WS_EX_NOACTIVATE, RECT{300, 0, 400, 100});
    SetActiveWindow(main);
    SetFocus(list);
    Pump();
    recorder.Clear();

    // An unhandled wheel turn goes up from the focused child to its parent.
    scope.display.MoveMouse(50, 50);
    scope.display.Wheel(-WHEEL_DELTA);
    Pump();
    EXPECT_EQ(recorder.Only({WM_MOUSEWHEEL}), (std::vector<Step>{{list, WM_MOUSEWHEEL}, {main, WM_MOUSEWHEEL}}));
    const WPARAM wheel = WParamsOf(recorder, list, WM_MOUSEWHEEL).front();
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(wheel), -WHEEL_DELTA);
    EXPECT_EQ(LParamsOf(recorder, list, WM_MOUSEWHEEL).front(), Point(50, 50));

    // With the capture, moves over another window go to the capture window, in its co-ordinates.
    recorder.Clear();
    SetCapture(list);
    scope.display.MoveMouse(350, 50);
    Pump();
    EXPECT_EQ(recorder.Only({WM_NCHITTEST, WM_MOUSEMOVE}), (std::vector<Step>{{list, WM_MOUSEMOVE}}));
    EXPECT_EQ(LParamsOf(recorder, list, WM_MOUSEMOVE).front(), Point(340, 40));
    ReleaseCapture();
}
