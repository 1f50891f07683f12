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

namespace {

class MoveRecordingBackend final : public platform::IWindowBackend {
public:
    void WindowCreated(platform::WindowObject&) override {}
    void WindowDestroyed(platform::WindowObject&) override {}
    void WindowMoved(platform::WindowObject& window) override { moved.push_back(window.Handle()); }
    std::vector<HWND> moved;
};

class SystemMoveTest : public WindowFixture {
protected:
    void SetUp() override { platform::SetWindowBackend(&backend); }
    void TearDown() override {
        recorder.handler = nullptr;
        cls.DestroyWindows();
        platform::SetWindowBackend(nullptr);
    }
    MoveRecordingBackend backend;
};

}  // namespace

TEST_F(SystemMoveTest, WindowsMovedInReplyToASystemMoveStillReachTheDisplay) {
    const HWND main = cls.Create(&recorder, WS_POPUP, RECT{100, 50, 400, 250});
    const HWND shadow = cls.Create(&recorder, WS_POPUP, RECT{90, 40, 410, 260});
    // A shadow follows its window, as the program's own frames do.
    recorder.handler = [&](HWND hwnd, UINT message, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
        if (hwnd == main && message == WM_MOVE) {
            MoveWindow(shadow, GET_X_LPARAM(lParam) - 10, GET_Y_LPARAM(lParam) - 10, 320, 220, FALSE);
        }
        return std::nullopt;
    };
    backend.moved.clear();
    platform::ApplySystemMove(main, RECT{300, 200, 600, 400});
    RECT r{};
    GetWindowRect(shadow, &r);
    EXPECT_EQ(r.left, 290);
    EXPECT_EQ(r.top, 190);
    // The display moved `main` itself; only the shadow's move is news to it.
    EXPECT_EQ(backend.moved, std::vector<HWND>{shadow});
}
