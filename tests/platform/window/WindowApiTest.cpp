#include "platform/window/WindowApi.h"

#include <gtest/gtest.h>

#include <set>

#include "WindowTestSupport.h"
#include "platform/types/ErrorCodes.h"
#include "platform/window/WindowBackend.h"

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

        EXPECT_EQ(GetParent(child), main);
        EXPECT_EQ(GetParent(popup), main);
        EXPECT_EQ(GetWindow(popup, GW_OWNER), main);
        EXPECT_EQ(GetWindow(child, GW_OWNER), nullptr);
        EXPECT_EQ(GetWindowLongPtrW(child, GWLP_ID), 7);

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

TEST_F(WindowApiTest, RefusedOrInvalidCreationFailsCleanly) {
    OnFreshThread([&] {
        struct Case {
            const char* why;
            UINT refuse;
            LRESULT refusal;
            std::vector<UINT> expected;
        };
        const Case cases[] = {
            {"WM_NCCREATE returns FALSE", WM_NCCREATE, FALSE, {WM_NCCREATE, WM_NCDESTROY}},
            {"WM_CREATE returns -1", WM_CREATE, -1, {WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY}},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.why);
            Recorder recorder;
            recorder.handler = [&](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
                if (message == c.refuse) return c.refusal;
                return std::nullopt;
            };
            EXPECT_EQ(cls.Create(&recorder), nullptr);
            EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
            std::vector<UINT> seen;
            HWND failed = nullptr;
            for (const auto& s : recorder.All()) {
                seen.push_back(s.message);
                failed = s.hwnd;
            }
            EXPECT_EQ(seen, c.expected);
            EXPECT_FALSE(IsWindow(failed));
        }

        Recorder recorder;
        EXPECT_EQ(CreateWindowExW(0, L"NoSuchClass", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);
        EXPECT_EQ(cls.Create(&recorder, WS_CHILD, nullptr), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_TLW_WITH_WSCHILD);
        EXPECT_EQ(cls.Create(&recorder, WS_CHILD, reinterpret_cast<HWND>(0x7777)), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
        EXPECT_TRUE(recorder.All().empty());
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

TEST_F(WindowApiTest, WindowLongsAndSubclassing) {
    OnFreshThread([&] {
        const HWND hwnd = cls.Create(&recorder, WS_POPUP | WS_VISIBLE);

        EXPECT_EQ(GetWindowLongPtrW(hwnd, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&recorder));

        // Subclassing: the new procedure sees messages first and chains to the old one.
        static WNDPROC s_previous = nullptr;
        static int s_intercepted = 0;
        s_intercepted = 0;
        const WNDPROC subclass = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
            if (m == WM_APP) {
                ++s_intercepted;
                return 99;
            }
            return CallWindowProcW(s_previous, h, m, w, l);
        };
        s_previous =
            reinterpret_cast<WNDPROC>(SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(subclass)));
        EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
        EXPECT_EQ(s_previous, &windowtest::RecordingProc);
        EXPECT_EQ(SendMessageW(hwnd, WM_APP, 0, 0), 99);
        SendMessageW(hwnd, WM_APP + 1, 0, 0);
        EXPECT_EQ(s_intercepted, 1);
        EXPECT_EQ(recorder.Only({WM_APP, WM_APP + 1}), (std::vector<Step>{{hwnd, WM_APP + 1}}));

        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s_previous));
    });
}

TEST_F(WindowApiTest, CloseMessageOnlyWindowAndThreadOwnership) {
    OnFreshThread([&] {
        const HWND helper =
            CreateWindowExW(0, cls.Name(), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, &recorder);
        ASSERT_NE(helper, nullptr);
        const DWORD creator = platform::MessageQueue::CurrentThreadId();
        EXPECT_EQ(GetWindowThreadProcessId(helper, nullptr), creator);

        // Another thread may post and send, but not destroy.
        std::thread other([&] {
            EXPECT_NE(platform::MessageQueue::CurrentThreadId(), creator);
            EXPECT_FALSE(DestroyWindow(helper));
            EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
            EXPECT_TRUE(PostMessageW(helper, WM_CLOSE, 0, 0));
        });
        other.join();
        EXPECT_TRUE(IsWindow(helper));
        Pump();  // WM_CLOSE reaches DefWindowProcW, which destroys the window
        EXPECT_FALSE(IsWindow(helper));
        EXPECT_EQ(recorder.Only({WM_CLOSE, WM_DESTROY, WM_NCDESTROY}),
                  (std::vector<Step>{{helper, WM_CLOSE}, {helper, WM_DESTROY}, {helper, WM_NCDESTROY}}));
    });

    // When a thread ends, its windows go with it and posts to them fail.
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

TEST_F(WindowApiTest, PaintComesForVisibleInvalidWindowsAfterPostedMessages) {
    OnFreshThread([&] {
        const HWND shown = cls.Create(&recorder, WS_POPUP | WS_VISIBLE);
        const HWND child = cls.Create(&recorder, WS_CHILD, shown);  // not visible itself
        const HWND hidden = cls.Create(&recorder, WS_POPUP);
        Pump();
        recorder.Clear();

        InvalidateRect(shown, nullptr, FALSE);
        InvalidateRect(child, nullptr, FALSE);
        InvalidateRect(hidden, nullptr, FALSE);
        PostMessageW(shown, WM_APP, 0, 0);
        Pump();
        // DefWindowProcW validates, so one WM_PAINT each, and only where it can be seen.
        EXPECT_EQ(recorder.Only({WM_APP, WM_PAINT}), (std::vector<Step>{{shown, WM_APP}, {shown, WM_PAINT}}));

        // A procedure that does not validate keeps getting WM_PAINT until ValidateRect.
        recorder.Clear();
        recorder.Answer(WM_PAINT, 0);
        const RECT part{10, 10, 20, 20};
        InvalidateRect(shown, &part, FALSE);
        MSG msg;
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
            EXPECT_EQ(msg.message, WM_PAINT);
            DispatchMessageW(&msg);
        }
        ValidateRect(shown, &part);
        EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));

        recorder.handler = nullptr;
        DestroyWindow(shown);
        DestroyWindow(hidden);
    });
}

class CountingBackend final : public platform::IWindowBackend {
public:
    void WindowCreated(platform::WindowObject& window) override { created.push_back(window.Handle()); }
    void WindowDestroyed(platform::WindowObject& window) override {
        EXPECT_FALSE(IsWindow(window.Handle()));
        destroyed.push_back(window.Handle());
    }
    std::vector<HWND> created;
    std::vector<HWND> destroyed;
};

TEST_F(WindowApiTest, BackendHearsOfDisplayWindowsOnly) {
    CountingBackend backend;
    platform::SetWindowBackend(&backend);
    OnFreshThread([&] {
        const HWND shown = cls.Create(&recorder);
        const HWND helper =
            CreateWindowExW(0, cls.Name(), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, &recorder);
        DestroyWindow(helper);
        DestroyWindow(shown);
        Recorder refusing;
        refusing.Answer(WM_CREATE, -1);
        EXPECT_EQ(cls.Create(&refusing), nullptr);
        const HWND refused = refusing.All().front().hwnd;
        EXPECT_EQ(backend.created, (std::vector<HWND>{shown, refused}));
        EXPECT_EQ(backend.destroyed, (std::vector<HWND>{shown, refused}));
    });
    platform::SetWindowBackend(nullptr);
}

}  // namespace
