#include "platform/window/WindowApi.h"

#include <gtest/gtest.h>

#include <set>

#include "WindowTestSupport.h"
#include "platform/types/ErrorCodes.h"

using windowtest::OnFreshThread;
using windowtest::Pump;
using windowtest::Recorder;
using windowtest::ScopedClass;

namespace {

using Step = std::pair<HWND, UINT>;

class WindowApiTest : public windowtest::WindowFixture {};

TEST_F(WindowApiTest, CreationAndDestructionFollowTheWindowsOrder) {
    OnFreshThread([&] {
        std::vector<CREATESTRUCTW> creates;
        recorder.handler = [&](HWND, UINT message, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
            if (message == WM_CREATE) creates.push_back(*reinterpret_cast<CREATESTRUCTW*>(lParam));
            return std::nullopt;
        };

        const HWND main = CreateWindowExW(WS_EX_TOOLWINDOW, cls.Name(), L"main", WS_POPUP | WS_SYSMENU, 10, 20, 540,
                                          434, nullptr, nullptr, nullptr, &recorder);
        ASSERT_NE(main, nullptr);
        const HWND child = cls.Create(&recorder, WS_CHILD, main, reinterpret_cast<HMENU>(7));
        const HWND grandChild = cls.Create(&recorder, WS_CHILD, child);
        const HWND popup = cls.Create(&recorder, WS_POPUP, child);  // owned by main, the child's top level
        ASSERT_TRUE(child && grandChild && popup);

        ASSERT_EQ(creates.size(), 4u);
        EXPECT_EQ(creates[0].lpCreateParams, &recorder);
        EXPECT_EQ(creates[1].hwndParent, main);
        const std::vector<Step> created = {{main, WM_NCCREATE},  {main, WM_CREATE},         {child, WM_NCCREATE},
                                           {child, WM_CREATE},   {grandChild, WM_NCCREATE}, {grandChild, WM_CREATE},
                                           {popup, WM_NCCREATE}, {popup, WM_CREATE}};
        EXPECT_EQ(recorder.Only({WM_NCCREATE, WM_CREATE}), created);

        recorder.Clear();
        EXPECT_TRUE(DestroyWindow(main));
        // Owned windows end first; then WM_DESTROY runs top-down and WM_NCDESTROY bottom-up.
        const std::vector<Step> destroyed = {
            {popup, WM_DESTROY},      {popup, WM_NCDESTROY},      {main, WM_DESTROY},    {child, WM_DESTROY},
            {grandChild, WM_DESTROY}, {grandChild, WM_NCDESTROY}, {child, WM_NCDESTROY}, {main, WM_NCDESTROY}};
        EXPECT_EQ(recorder.Only({WM_DESTROY, WM_NCDESTROY}), destroyed);
        for (HWND hwnd : {main, child, grandChild, popup})
            EXPECT_FALSE(IsWindow(hwnd));

        // A handle is never handed out again.
        std::set<HWND> old{main, child, grandChild, popup};
        for (int i = 0; i < 20; ++i) {
            const HWND again = cls.Create(&recorder);
            EXPECT_EQ(old.count(again), 0u);
            old.insert(again);
            DestroyWindow(again);
        }
    });
}

TEST_F(WindowApiTest, DestroyingAgainFromInsideDestructionIsHarmless) {
    OnFreshThread([&] {
        recorder.handler = [](HWND hwnd, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (message == WM_DESTROY || message == WM_NCDESTROY) {
                EXPECT_TRUE(DestroyWindow(hwnd));
            }
            return std::nullopt;
        };
        const HWND hwnd = cls.Create(&recorder);
        EXPECT_TRUE(DestroyWindow(hwnd));
        EXPECT_EQ(recorder.Only({WM_DESTROY, WM_NCDESTROY}),
                  (std::vector<Step>{{hwnd, WM_DESTROY}, {hwnd, WM_NCDESTROY}}));
        EXPECT_FALSE(DestroyWindow(hwnd));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);

        // A window that destroys itself during WM_CREATE is not handed back.
        Recorder selfDestroying;
        selfDestroying.handler = [](HWND hwnd, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (message == WM_CREATE) DestroyWindow(hwnd);
            return std::nullopt;
        };
        EXPECT_EQ(cls.Create(&selfDestroying), nullptr);
    });
}

TEST_F(WindowApiTest, MessagesToADestroyedWindowAreDropped) {
    OnFreshThread([&] {
        Recorder doomedRecorder;
        Recorder survivorRecorder;
        const HWND doomed = cls.Create(&doomedRecorder);
        const HWND survivor = cls.Create(&survivorRecorder);
        EXPECT_TRUE(PostMessageW(doomed, WM_APP, 1, 0));
        EXPECT_TRUE(PostMessageW(survivor, WM_APP, 2, 0));
        EXPECT_TRUE(PostMessageW(doomed, WM_APP, 3, 0));
        DestroyWindow(doomed);
        doomedRecorder.Clear();

        EXPECT_EQ(Pump(), 1);
        EXPECT_TRUE(doomedRecorder.All().empty());
        EXPECT_EQ(survivorRecorder.Only({WM_APP}), (std::vector<Step>{{survivor, WM_APP}}));

        EXPECT_FALSE(PostMessageW(doomed, WM_APP, 4, 0));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(SendMessageW(doomed, WM_APP, 5, 0), 0);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
        EXPECT_TRUE(doomedRecorder.All().empty());
        DestroyWindow(survivor);
    });
}

TEST_F(WindowApiTest, AThreadsWindowsEndWithIt) {
    HWND orphan = nullptr;
    OnFreshThread([&] {
        orphan = cls.Create(&recorder);
        PostMessageW(orphan, WM_APP, 0, 0);
    });
    EXPECT_FALSE(IsWindow(orphan));
    EXPECT_FALSE(PostMessageW(orphan, WM_APP, 0, 0));
    EXPECT_EQ(SendMessageW(orphan, WM_APP, 0, 0), 0);
    EXPECT_TRUE(UnregisterClassW(cls.Name(), nullptr));
}

TEST(WindowExtraBytesTest, AClassesExtraBytesAreEachWindowsOwnAndSurviveSuperclassing) {
    OnFreshThread([] {
        WNDCLASSEXW wc;
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcW;
        wc.cbWndExtra = 12;
        wc.lpszClassName = L"XjExtraBytes";
        ASSERT_NE(RegisterClassExW(&wc), 0);
        // A superclass copies the base's description, extra bytes included.
        WNDCLASSEXW super;
        super.cbSize = sizeof(super);
        ASSERT_TRUE(GetClassInfoExW(nullptr, L"XjExtraBytes", &super));
        EXPECT_EQ(super.cbWndExtra, 12);
        super.lpszClassName = L"XjExtraBytesSuper";
        ASSERT_NE(RegisterClassExW(&super), 0);

        const HWND a =
            CreateWindowExW(0, L"XjExtraBytesSuper", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        const HWND b =
            CreateWindowExW(0, L"XjExtraBytes", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(a && b);
        EXPECT_EQ(GetWindowLongPtrW(a, 0), 0) << "extra bytes start zeroed";
        EXPECT_EQ(SetWindowLongPtrW(a, 0, 0x1122334455667788), 0);
        EXPECT_EQ(SetWindowLongW(a, 8, 0x0BADF00D), 0);
        EXPECT_EQ(GetWindowLongPtrW(a, 0), 0x1122334455667788);
        EXPECT_EQ(GetWindowLongW(a, 8), 0x0BADF00D);
        EXPECT_EQ(GetWindowLongW(a, 4), 0x11223344) << "the slots are bytes, read at any offset";
        EXPECT_EQ(GetWindowLongPtrW(b, 0), 0) << "every window has its own";
        EXPECT_EQ(SetWindowLongPtrW(a, GWLP_USERDATA, 5), 0);
        EXPECT_EQ(GetWindowLongPtrW(a, 0), 0x1122334455667788) << "user data is a slot of its own";

        // Reads and writes past the end fail and change nothing.
        EXPECT_EQ(SetWindowLongPtrW(a, 8, 1), 0) << "a pointer would cross the end";
        EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX);
        EXPECT_EQ(SetWindowLongW(a, 12, 1), 0);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX);
        EXPECT_EQ(GetWindowLongW(a, 8), 0x0BADF00D);

        DestroyWindow(a);
        DestroyWindow(b);
        EXPECT_TRUE(UnregisterClassW(L"XjExtraBytesSuper", nullptr));
        EXPECT_TRUE(UnregisterClassW(L"XjExtraBytes", nullptr));
    });
}

}  // namespace
