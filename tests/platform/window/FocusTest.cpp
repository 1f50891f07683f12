#include "platform/window/Focus.h"

#include <gtest/gtest.h>

#include "DisplayTestSupport.h"

using namespace windowtest;

class FocusTest : public DisplayFixture {};

TEST_F(FocusTest, FocusMovesBetweenChildrenWithTheOtherWindowInWParam) {
    const HWND top = cls.Create(&recorder, WS_POPUP | WS_VISIBLE, RECT{0, 0, 200, 200});
    const HWND edit = cls.Create(&recorder, WS_CHILD | WS_VISIBLE, RECT{0, 0, 50, 20}, top);
    const HWND list = cls.Create(&recorder, WS_CHILD | WS_VISIBLE, RECT{0, 30, 50, 80}, top);
    const HWND off = cls.Create(&recorder, WS_CHILD | WS_VISIBLE | WS_DISABLED, RECT{0, 90, 50, 99}, top);
    ASSERT_EQ(GetFocus(), top);

    recorder.Clear();
    EXPECT_EQ(SetFocus(edit), top);
    EXPECT_EQ(SetFocus(list), edit);
    EXPECT_EQ(recorder.Only({WM_SETFOCUS, WM_KILLFOCUS}),
              (std::vector<Step>{{top, WM_KILLFOCUS}, {edit, WM_SETFOCUS}, {edit, WM_KILLFOCUS}, {list, WM_SETFOCUS}}));
    EXPECT_EQ(WParamsOf(recorder, edit, WM_KILLFOCUS), (std::vector<WPARAM>{reinterpret_cast<WPARAM>(list)}));
    EXPECT_EQ(WParamsOf(recorder, list, WM_SETFOCUS), (std::vector<WPARAM>{reinterpret_cast<WPARAM>(edit)}));

    // A disabled window takes no focus; the focus stays where it was.
    EXPECT_EQ(SetFocus(off), nullptr);
    EXPECT_EQ(GetFocus(), list);

    // Another thread sees no focus of its own and cannot take this one.
    OnFreshThread([list] {
        EXPECT_EQ(GetFocus(), nullptr);
        EXPECT_EQ(SetFocus(list), nullptr);
    });
    EXPECT_EQ(GetFocus(), list);

    recorder.Clear();
    EXPECT_EQ(SetFocus(nullptr), list);
    EXPECT_EQ(WParamsOf(recorder, list, WM_KILLFOCUS), (std::vector<WPARAM>{0}));
    EXPECT_EQ(GetFocus(), nullptr);
}

TEST_F(FocusTest, CaptureChangesAreAnnouncedToTheLoser) {
    const HWND a = cls.Create(&recorder, WS_POPUP | WS_VISIBLE, RECT{0, 0, 50, 50});
    const HWND b = cls.Create(&recorder, WS_POPUP | WS_VISIBLE, RECT{60, 0, 110, 50});
    recorder.Clear();
    EXPECT_EQ(SetCapture(a), nullptr);
    EXPECT_EQ(SetCapture(b), a);
    EXPECT_EQ(GetCapture(), b);
    EXPECT_TRUE(ReleaseCapture());
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(recorder.Only({WM_CAPTURECHANGED}), (std::vector<Step>{{a, WM_CAPTURECHANGED}, {b, WM_CAPTURECHANGED}}));
    EXPECT_EQ(LParamsOf(recorder, a, WM_CAPTURECHANGED), (std::vector<LPARAM>{reinterpret_cast<LPARAM>(b)}));
    EXPECT_EQ(LParamsOf(recorder, b, WM_CAPTURECHANGED), (std::vector<LPARAM>{0}));

    // Destroying the capture window lets go of the capture.
    SetCapture(a);
    DestroyWindow(a);
    EXPECT_EQ(GetCapture(), nullptr);
}
