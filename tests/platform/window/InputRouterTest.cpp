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

    DestroyWindow(a);
    DestroyWindow(b);
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
    Pump();
    EXPECT_TRUE(ownerSeen.All().empty());
    EXPECT_EQ(boxSeen.Only({WM_LBUTTONDOWN, WM_LBUTTONUP}),
              (std::vector<Step>{{box, WM_LBUTTONDOWN}, {box, WM_LBUTTONUP}}));
    EXPECT_EQ(boxSeen.Only({WM_KEYDOWN}), (std::vector<Step>{{box, WM_KEYDOWN}}));
    EXPECT_EQ(GetActiveWindow(), box);
    EnableWindow(owner, TRUE);
    DestroyWindow(owner);
}

TEST_F(InputRouterTest, CaptureKeepsTheMouse) {
    const HWND main = cls.Create(&recorder, WS_POPUP | WS_VISIBLE, RECT{0, 0, 200, 200});
    const HWND list = cls.Create(&recorder, WS_CHILD | WS_VISIBLE, RECT{10, 10, 110, 110}, main);
    cls.Create(&recorder, WS_POPUP | WS_VISIBLE | WS_EX_NOACTIVATE, RECT{300, 0, 400, 100});
    Pump();
    recorder.Clear();

    // With the capture, moves over another window go to the capture window, in its co-ordinates.
    SetCapture(list);
    scope.display.MoveMouse(350, 50);
    Pump();
    EXPECT_EQ(recorder.Only({WM_NCHITTEST, WM_MOUSEMOVE}), (std::vector<Step>{{list, WM_MOUSEMOVE}}));
    EXPECT_EQ(LParamsOf(recorder, list, WM_MOUSEMOVE).front(), Point(340, 40));
    ReleaseCapture();
}

TEST_F(InputRouterTest, SizingDragKeepsTheMinimumWhenTheMaximumIsBelowIt) {
    const HWND main = cls.Create(&recorder, WS_POPUP | WS_VISIBLE, RECT{100, 50, 300, 250});
    recorder.handler = [](HWND, UINT message, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
        if (message == WM_NCHITTEST) return HTBOTTOMRIGHT;
        if (message == WM_GETMINMAXINFO) {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize = POINT{150, 150};
            info->ptMaxTrackSize = POINT{120, 120};
            return 0;
        }
        return std::nullopt;
    };
    Pump();
    scope.display.MoveMouse(290, 240);
    scope.display.PressButton(RawInput::Button::Left);
    Pump();
    scope.display.MoveMouse(295, 245);
    Pump();
    RECT r{};
    GetWindowRect(main, &r);
    EXPECT_EQ(r.right - r.left, 150);
    EXPECT_EQ(r.bottom - r.top, 150);
    scope.display.ReleaseButton(RawInput::Button::Left);
    Pump();
}
