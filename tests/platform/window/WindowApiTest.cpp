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

}  // namespace
