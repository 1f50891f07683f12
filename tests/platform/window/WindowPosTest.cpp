#include "platform/window/WindowPos.h"

#include <gtest/gtest.h>

#include "DisplayTestSupport.h"

using namespace windowtest;

namespace {

constexpr std::initializer_list<UINT> kShowMessages = {
    WM_SHOWWINDOW, WM_WINDOWPOSCHANGING, WM_NCACTIVATE, WM_ACTIVATE, WM_KILLFOCUS,
    WM_SETFOCUS,   WM_WINDOWPOSCHANGED,  WM_SIZE,       WM_MOVE};

}  // namespace

class WindowPosTest : public DisplayFixture {};

TEST_F(WindowPosTest, ShowingActivatesAndFocusesInWin32Order) {
    const HWND main = cls.Create(&recorder, WS_POPUP, RECT{100, 50, 640, 484});
    const HWND box = cls.Create(&recorder, WS_POPUP, RECT{200, 100, 400, 200}, main);
    const HWND tip = cls.Create(&recorder, WS_POPUP, RECT{0, 0, 50, 20}, main);

    // First showing: WM_SIZE and WM_MOVE follow WM_WINDOWPOSCHANGED.
    recorder.Clear();
    EXPECT_FALSE(ShowWindow(main, SW_SHOWNORMAL));
    const std::vector<Step> firstShow = {
        {main, WM_SHOWWINDOW}, {main, WM_WINDOWPOSCHANGING}, {main, WM_NCACTIVATE}, {main, WM_ACTIVATE},
        {main, WM_SETFOCUS},   {main, WM_WINDOWPOSCHANGED},  {main, WM_SIZE},       {main, WM_MOVE}};
    EXPECT_EQ(recorder.Only(kShowMessages), firstShow);
    EXPECT_EQ(LParamsOf(recorder, main, WM_SIZE), (std::vector<LPARAM>{Point(540, 434)}));
    EXPECT_EQ(LParamsOf(recorder, main, WM_MOVE), (std::vector<LPARAM>{Point(100, 50)}));
    EXPECT_EQ(GetActiveWindow(), main);
    EXPECT_EQ(GetFocus(), main);

    // Without activation the active window stays.
    recorder.Clear();
    ShowWindow(tip, SW_SHOWNOACTIVATE);
    EXPECT_EQ(recorder.Only({WM_NCACTIVATE, WM_ACTIVATE, WM_SETFOCUS, WM_KILLFOCUS}), std::vector<Step>{});
    EXPECT_EQ(GetActiveWindow(), main);
    EXPECT_TRUE(IsWindowVisible(tip));

    // An owned box takes activation and focus from its owner...
    recorder.Clear();
    ShowWindow(box, SW_SHOW);
    const std::vector<Step> boxTakesOver = {{main, WM_NCACTIVATE}, {main, WM_ACTIVATE},  {box, WM_NCACTIVATE},
                                            {box, WM_ACTIVATE},    {main, WM_KILLFOCUS}, {box, WM_SETFOCUS}};
    EXPECT_EQ(recorder.Only({WM_NCACTIVATE, WM_ACTIVATE, WM_SETFOCUS, WM_KILLFOCUS}), boxTakesOver);
    EXPECT_EQ(WParamsOf(recorder, main, WM_ACTIVATE), (std::vector<WPARAM>{WA_INACTIVE}));
    EXPECT_EQ(LParamsOf(recorder, box, WM_ACTIVATE), (std::vector<LPARAM>{reinterpret_cast<LPARAM>(main)}));
    EXPECT_EQ(WParamsOf(recorder, box, WM_SETFOCUS), (std::vector<WPARAM>{reinterpret_cast<WPARAM>(main)}));

    // ...and hiding it hands both back.
    recorder.Clear();
    EXPECT_TRUE(ShowWindow(box, SW_HIDE));
    const std::vector<Step> ownerTakesBack = {{box, WM_SHOWWINDOW},  {box, WM_NCACTIVATE}, {box, WM_ACTIVATE},
                                              {main, WM_NCACTIVATE}, {main, WM_ACTIVATE},  {box, WM_KILLFOCUS},
                                              {main, WM_SETFOCUS}};
    EXPECT_EQ(recorder.Only({WM_SHOWWINDOW, WM_NCACTIVATE, WM_ACTIVATE, WM_SETFOCUS, WM_KILLFOCUS}), ownerTakesBack);
    EXPECT_FALSE(IsWindowVisible(box));
    EXPECT_EQ(GetActiveWindow(), main);
    EXPECT_FALSE(ShowWindow(box, SW_HIDE));  // already hidden: nothing happens
}

TEST_F(WindowPosTest, MinimiseAndRestoreReportTheirSizes) {
    const HWND main = cls.Create(&recorder, WS_POPUP | WS_MINIMIZEBOX, RECT{10, 10, 550, 444});
    ShowWindow(main, SW_SHOWNORMAL);
    recorder.Clear();

    ShowWindow(main, SW_MINIMIZE);
    EXPECT_TRUE(IsIconic(main));
    EXPECT_EQ(WParamsOf(recorder, main, WM_SIZE), (std::vector<WPARAM>{SIZE_MINIMIZED}));
    EXPECT_EQ(GetActiveWindow(), nullptr);
    EXPECT_EQ(GetFocus(), nullptr);
    // A minimised window takes no focus.
    EXPECT_EQ(SetFocus(main), nullptr);

    recorder.Clear();
    ShowWindow(main, SW_RESTORE);
    EXPECT_FALSE(IsIconic(main));
    EXPECT_EQ(WParamsOf(recorder, main, WM_SIZE), (std::vector<WPARAM>{SIZE_RESTORED}));
    EXPECT_EQ(LParamsOf(recorder, main, WM_SIZE), (std::vector<LPARAM>{Point(540, 434)}));
    EXPECT_EQ(GetActiveWindow(), main);

    // Maximising fills the work area and restoring brings the old rectangle back.
    scope.display.SetScreen(platform::ScreenGeometry{RECT{0, 0, 1024, 768}, RECT{0, 0, 1024, 728}});
    ShowWindow(main, SW_MAXIMIZE);
    RECT rect;
    GetWindowRect(main, &rect);
    EXPECT_TRUE(IsZoomed(main));
    EXPECT_EQ((std::vector<LONG>{rect.left, rect.top, rect.right, rect.bottom}), (std::vector<LONG>{0, 0, 1024, 728}));
    ShowWindow(main, SW_RESTORE);
    GetWindowRect(main, &rect);
    EXPECT_EQ((std::vector<LONG>{rect.left, rect.top, rect.right, rect.bottom}), (std::vector<LONG>{10, 10, 550, 444}));
}

TEST_F(WindowPosTest, SizesStayWithinWhatTheWindowAllows) {
    recorder.handler = [](HWND, UINT message, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
        if (message != WM_GETMINMAXINFO) return std::nullopt;
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize = POINT{540, 434};
        info->ptMaxTrackSize = POINT{540, 514};
        return 0;
    };
    const HWND main = cls.Create(&recorder, WS_POPUP | WS_THICKFRAME, RECT{0, 0, 540, 434});
    const struct {
        const char* why;
        int width, height;
        LONG expectWidth, expectHeight;
    } cases[] = {
        {"too small", 100, 100, 540, 434},
        {"within", 540, 480, 540, 480},
        {"too tall", 540, 900, 540, 514},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_TRUE(SetWindowPos(main, nullptr, 5, 6, c.width, c.height, SWP_NOZORDER));
        RECT rect;
        GetClientRect(main, &rect);
        EXPECT_EQ(rect.right, c.expectWidth);
        EXPECT_EQ(rect.bottom, c.expectHeight);
    }

    // A move alone sends WM_MOVE but no WM_SIZE; a frame change asks for WM_NCCALCSIZE.
    recorder.Clear();
    MoveWindow(main, 30, 40, 540, 514, TRUE);
    EXPECT_EQ(recorder.Only({WM_MOVE, WM_SIZE}), (std::vector<Step>{{main, WM_MOVE}}));
    EXPECT_EQ(LParamsOf(recorder, main, WM_MOVE), (std::vector<LPARAM>{Point(30, 40)}));
    recorder.Clear();
    SetWindowPos(main, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    EXPECT_EQ(recorder.Only({WM_NCCALCSIZE, WM_MOVE, WM_SIZE}), (std::vector<Step>{{main, WM_NCCALCSIZE}}));

    // Another thread may not move the window.
    OnFreshThread([main] {
        EXPECT_FALSE(SetWindowPos(main, nullptr, 0, 0, 10, 10, SWP_NOZORDER));
        EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    });
}

TEST_F(WindowPosTest, CoordinatesMapThroughNestedChildren) {
    const HWND top = cls.Create(&recorder, WS_POPUP | WS_VISIBLE, RECT{100, 50, 400, 350});
    const HWND child = cls.Create(&recorder, WS_CHILD | WS_VISIBLE, RECT{10, 20, 110, 120}, top);
    const HWND grand = cls.Create(&recorder, WS_CHILD | WS_VISIBLE, RECT{5, 5, 25, 25}, child);

    POINT p{1, 1};
    ASSERT_TRUE(ClientToScreen(grand, &p));
    EXPECT_EQ((std::pair{p.x, p.y}), (std::pair<LONG, LONG>{116, 76}));
    ASSERT_TRUE(ScreenToClient(grand, &p));
    EXPECT_EQ((std::pair{p.x, p.y}), (std::pair<LONG, LONG>{1, 1}));
    POINT points[2] = {{0, 0}, {3, 4}};
    MapWindowPoints(grand, top, points, 2);
    EXPECT_EQ((std::vector<LONG>{points[0].x, points[0].y, points[1].x, points[1].y}),
              (std::vector<LONG>{15, 25, 18, 29}));
    RECT rect;
    GetWindowRect(grand, &rect);
    EXPECT_EQ((std::vector<LONG>{rect.left, rect.top, rect.right, rect.bottom}), (std::vector<LONG>{115, 75, 135, 95}));

    // The deepest visible window takes the point; a disabled child gives way to its parent.
    EXPECT_EQ(WindowFromPoint(POINT{120, 80}), grand);
    EXPECT_EQ(WindowFromPoint(POINT{112, 72}), child);
    EXPECT_EQ(WindowFromPoint(POINT{300, 300}), top);
    EXPECT_EQ(WindowFromPoint(POINT{50, 50}), nullptr);
    EnableWindow(grand, FALSE);
    EXPECT_EQ(WindowFromPoint(POINT{120, 80}), child);
    EXPECT_EQ(ChildWindowFromPoint(child, POINT{10, 10}), grand);  // disabled ones count here
    ShowWindow(child, SW_HIDE);
    EXPECT_EQ(WindowFromPoint(POINT{120, 80}), top);
    EXPECT_EQ(ChildWindowFromPoint(top, POINT{500, 10}), nullptr);
}

TEST_F(WindowPosTest, OwnedWindowsStayAboveTheirOwner) {
    const HWND first = cls.Create(&recorder, WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100});
    const HWND second = cls.Create(&recorder, WS_POPUP | WS_VISIBLE, RECT{50, 50, 150, 150});
    const HWND owned = cls.Create(&recorder, WS_POPUP | WS_VISIBLE, RECT{60, 60, 80, 80}, first);
    EXPECT_EQ(WindowFromPoint(POINT{75, 75}), owned);
    EXPECT_EQ(WindowFromPoint(POINT{90, 90}), second);  // created later, so on top
    BringWindowToTop(first);
    EXPECT_EQ(WindowFromPoint(POINT{90, 90}), first);
    EXPECT_EQ(WindowFromPoint(POINT{75, 75}), owned);
    SetWindowPos(first, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_EQ(WindowFromPoint(POINT{90, 90}), second);
}

TEST_F(WindowPosTest, TextGoesThroughTheWindowProcedure) {
    const HWND hwnd = cls.Create(&recorder, WS_POPUP, RECT{0, 0, 10, 10});
    EXPECT_TRUE(SetWindowTextW(hwnd, L"安装程序"));
    wchar_t buffer[16];
    EXPECT_EQ(GetWindowTextW(hwnd, buffer, 16), 4);
    EXPECT_EQ(std::wstring(buffer), L"安装程序");
    EXPECT_EQ(GetWindowTextW(hwnd, buffer, 3), 2);  // cut to the buffer, terminated
    EXPECT_EQ(std::wstring(buffer), L"安装");
    EXPECT_EQ(GetWindowTextLengthW(hwnd), 4);
    EXPECT_EQ(recorder.Only({WM_SETTEXT}).size(), 1u);
    OnFreshThread([hwnd] {
        wchar_t other[16];
        EXPECT_EQ(GetWindowTextW(hwnd, other, 16), 4);  // read without sending
    });
}
