#include "platform/window/MessageQueue.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <future>

#include "WindowTestSupport.h"
#include "platform/types/ErrorCodes.h"

using windowtest::OnFreshThread;
using windowtest::Pump;
using windowtest::Recorder;
using windowtest::ScopedClass;
using windowtest::Watchdog;

namespace {

using namespace std::chrono_literals;
using Step = std::pair<HWND, UINT>;

class MessageQueueTest : public windowtest::WindowFixture {};

TEST_F(MessageQueueTest, EightPostingThreadsLoseNothingAndKeepTheirOrder) {
    static constexpr int kSenders = 8;
    static constexpr int kPerSender = 100'000;
    OnFreshThread([&] {
        const HWND hwnd = cls.Create(&recorder);
        std::vector<std::thread> senders;
        for (int sender = 0; sender < kSenders; ++sender) {
            senders.emplace_back([hwnd, sender] {
                for (int i = 0; i < kPerSender; ++i) {
                    ASSERT_TRUE(PostMessageW(hwnd, WM_APP, static_cast<WPARAM>(sender), i));
                }
            });
        }
        Watchdog watchdog(60s);
        std::array<LPARAM, kSenders> next{};
        int received = 0;
        int outOfOrder = 0;
        MSG msg;
        while (received < kSenders * kPerSender && GetMessageW(&msg, nullptr, 0, 0) > 0) {
            ASSERT_EQ(msg.message, WM_APP);
            ASSERT_LT(msg.wParam, static_cast<WPARAM>(kSenders));
            if (msg.lParam != next[msg.wParam]) ++outOfOrder;
            next[msg.wParam] = msg.lParam + 1;
            ++received;
        }
        for (auto& thread : senders)
            thread.join();
        EXPECT_EQ(received, kSenders * kPerSender);
        EXPECT_EQ(outOfOrder, 0);
        for (LPARAM n : next)
            EXPECT_EQ(n, kPerSender);
        EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    });
}

// A window on a thread of its own that runs a message loop until WM_QUIT.
class WindowThread {
public:
    explicit WindowThread(ScopedClass& cls, Recorder* recorder) {
        std::promise<HWND> created;
        auto ready = created.get_future();
        m_thread = std::thread([&cls, recorder, &created, this] {
            m_threadId = platform::MessageQueue::CurrentThreadId();
            const HWND hwnd = cls.Create(recorder);
            created.set_value(hwnd);
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0) > 0)
                DispatchMessageW(&msg);
            DestroyWindow(hwnd);
        });
        m_hwnd = ready.get();
    }
    ~WindowThread() {
        PostThreadMessageW(m_threadId, WM_QUIT, 0, 0);
        m_thread.join();
    }
    HWND Handle() const { return m_hwnd; }
    DWORD ThreadId() const { return m_threadId; }

private:
    std::thread m_thread;
    HWND m_hwnd = nullptr;
    DWORD m_threadId = 0;
};

TEST_F(MessageQueueTest, SendMessageAcrossThreadsRunsOnTheOwnerAndReturnsItsReply) {
    Recorder remoteRecorder;
    remoteRecorder.handler = [](HWND, UINT message, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_APP) return static_cast<LRESULT>(wParam * 2 + platform::MessageQueue::CurrentThreadId() % 2);
        if (message == WM_USER) return static_cast<LRESULT>(platform::MessageQueue::CurrentThreadId());
        // Sends back to the caller's window while the caller waits for this reply.
        if (message == WM_USER + 1) return SendMessageW(reinterpret_cast<HWND>(wParam), WM_APP + 5, 0, 0) + 1;
        return std::nullopt;
    };
    WindowThread remote(cls, &remoteRecorder);

    OnFreshThread([&] {
        EXPECT_EQ(SendMessageW(remote.Handle(), WM_USER, 0, 0), static_cast<LRESULT>(remote.ThreadId()));
        EXPECT_EQ(SendMessageW(remote.Handle(), WM_APP, 21, 0), 42 + remote.ThreadId() % 2);

        Recorder localRecorder;
        const auto self = std::this_thread::get_id();
        localRecorder.handler = [self](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (message == WM_APP + 5) {
                EXPECT_EQ(std::this_thread::get_id(), self);
                return 10;
            }
            return std::nullopt;
        };
        const HWND local = cls.Create(&localRecorder);
        EXPECT_EQ(SendMessageW(remote.Handle(), WM_USER + 1, reinterpret_cast<WPARAM>(local), 0), 11);
        DestroyWindow(local);
    });

    // Many threads sending at once each get their own reply.
    std::vector<std::thread> senders;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 6; ++t) {
        senders.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                const WPARAM value = static_cast<WPARAM>(t * 1000 + i);
                if (SendMessageW(remote.Handle(), WM_APP, value, 0) !=
                    static_cast<LRESULT>(value * 2 + remote.ThreadId() % 2)) {
                    ++wrong;
                }
            }
        });
    }
    for (auto& s : senders)
        s.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST_F(MessageQueueTest, SenderIsReleasedWhenTheTargetThreadEnds) {
    std::promise<HWND> created;
    std::promise<void> sending;
    std::thread owner([&] {
        created.set_value(cls.Create(&recorder));
        sending.get_future().wait();
        std::this_thread::sleep_for(20ms);
        // Ends without ever reading its queue.
    });
    const HWND hwnd = created.get_future().get();
    std::thread sender([&] {
        sending.set_value();
        EXPECT_EQ(SendMessageW(hwnd, WM_APP, 0, 0), 0);
    });
    owner.join();
    sender.join();
    EXPECT_TRUE(recorder.Only({WM_APP}).empty());
}

TEST_F(MessageQueueTest, ModalLoopEndsOnItsOwnCloseAndTheOuterLoopGoesOn) {
    OnFreshThread([&] {
        std::vector<std::string> log;
        HWND main = nullptr;
        HWND modal = nullptr;
        int depth = 0;
        recorder.handler = [&](HWND hwnd, UINT message, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
            if (message == WM_APP && hwnd == main && wParam == 1) {
                // The modal box: disable the owner, pump the same queue until the box is gone.
                modal = cls.Create(&recorder, WS_POPUP, main);
                EnableWindow(main, FALSE);
                PostMessageW(main, WM_APP, 2, 0);
                PostMessageW(modal, WM_CLOSE, 0, 0);
                PostMessageW(main, WM_APP, 3, 0);  // after the close: handled by the outer loop
                ++depth;
                MSG msg;
                while (IsWindow(modal) && GetMessageW(&msg, nullptr, 0, 0) > 0)
                    DispatchMessageW(&msg);
                --depth;
                EnableWindow(main, TRUE);
                log.push_back("modal ended");
                return 0;
            }
            if (message == WM_APP) {
                log.push_back("app " + std::to_string(wParam) + " depth " + std::to_string(depth) +
                              (IsWindowEnabled(main) ? " enabled" : " disabled"));
                if (wParam == 3) PostQuitMessage(7);
                return 0;
            }
            if (message == WM_DESTROY && hwnd == modal) log.push_back("modal destroyed");
            return std::nullopt;
        };
        main = cls.Create(&recorder);
        Watchdog watchdog(10s);
        PostMessageW(main, WM_APP, 1, 0);
        MSG msg;
        BOOL result;
        while ((result = GetMessageW(&msg, nullptr, 0, 0)) > 0)
            DispatchMessageW(&msg);
        EXPECT_EQ(result, FALSE);
        EXPECT_EQ(msg.message, WM_QUIT);
        EXPECT_EQ(msg.wParam, 7u);
        EXPECT_EQ(log, (std::vector<std::string>{"app 2 depth 1 disabled", "modal destroyed", "modal ended",
                                                 "app 3 depth 0 enabled"}));
        DestroyWindow(main);
    });
}

TEST_F(MessageQueueTest, QuitComesAfterPostedMessages) {
    OnFreshThread([&] {
        PostQuitMessage(3);
        PostMessageW(nullptr, WM_APP, 1, 0);
        MSG msg;
        EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
        EXPECT_EQ(msg.message, WM_APP);
        EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), FALSE);
        EXPECT_EQ(msg.wParam, 3u);
        EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));  // the flag is consumed
    });
}

TEST_F(MessageQueueTest, FiltersAndPeekLeaveOtherMessagesInOrder) {
    OnFreshThread([&] {
        const HWND a = cls.Create(&recorder);
        const HWND b = cls.Create(&recorder);
        PostMessageW(a, WM_APP, 1, 0);
        PostMessageW(b, WM_APP, 2, 0);
        PostMessageW(nullptr, WM_USER, 3, 0);
        PostMessageW(a, WM_USER, 4, 0);
        ASSERT_TRUE(PostThreadMessageW(platform::MessageQueue::CurrentThreadId(), WM_APP, 5, 0));

        MSG msg;
        // Keep leaves the message where it is.
        ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
        EXPECT_EQ(msg.wParam, 1u);
        ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
        EXPECT_EQ(msg.wParam, 1u);
        // Window filter.
        ASSERT_TRUE(PeekMessageW(&msg, b, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.wParam, 2u);
        // Thread messages only.
        ASSERT_TRUE(PeekMessageW(&msg, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.wParam, 3u);
        // Number range.
        ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_REMOVE));
        EXPECT_EQ(msg.wParam, 4u);
        EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_REMOVE));
        // What is left comes in posting order.
        std::vector<WPARAM> rest;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            rest.push_back(msg.wParam);
        EXPECT_EQ(rest, (std::vector<WPARAM>{1, 5}));

        EXPECT_EQ(GetMessageW(&msg, reinterpret_cast<HWND>(0x999), 0, 0), -1);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
        EXPECT_FALSE(PostThreadMessageW(0x7fffffff, WM_APP, 0, 0));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_THREAD_ID);
    });
}

TEST_F(MessageQueueTest, RegisteredMessagesAreSharedByName) {
    const UINT first = RegisterWindowMessageW(L"XjTaskQueueMessage");
    EXPECT_GE(first, 0xC000u);
    std::atomic<UINT> fromThread{0};
    OnFreshThread([&] { fromThread = RegisterWindowMessageW(L"xjtaskqueuemessage"); });
    EXPECT_EQ(fromThread.load(), first);
    EXPECT_NE(RegisterWindowMessageW(L"XjOtherMessage"), first);
    EXPECT_EQ(RegisterWindowMessageW(L""), 0u);
}

}  // namespace
