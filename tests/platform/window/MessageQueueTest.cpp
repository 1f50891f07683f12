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

}  // namespace
