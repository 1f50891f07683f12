#include "platform/window/TimerList.h"

#include <gtest/gtest.h>

#include <chrono>

#include "WindowTestSupport.h"
#include "platform/types/ErrorCodes.h"

using windowtest::OnFreshThread;
using windowtest::Pump;
using windowtest::Recorder;
using windowtest::ScopedClass;
using windowtest::UseManualClock;
using windowtest::Watchdog;

namespace {

using namespace std::chrono_literals;

std::vector<WPARAM> TimerIds(const Recorder& recorder) {
    return windowtest::WParamsOf(recorder, nullptr, WM_TIMER);
}

class TimerListTest : public windowtest::WindowFixture {};

TEST_F(TimerListTest, WindowTimersFireStopAndNeverPileUp) {
    OnFreshThread([&] {
        auto clock = UseManualClock();
        // The timer ids that ticked while the clock moved on by `by`.
        const auto ticksAfter = [&](std::chrono::milliseconds by) {
            recorder.Clear();
            clock->Advance(by);
            Pump();
            return TimerIds(recorder);
        };
        const HWND hwnd = cls.Create(&recorder);
        ASSERT_EQ(SetTimer(hwnd, 11, 100, nullptr), 11u);
        ASSERT_EQ(SetTimer(hwnd, 12, 5000, nullptr), 12u);
        EXPECT_TRUE(ticksAfter(99ms).empty());
        EXPECT_EQ(ticksAfter(1ms), (std::vector<WPARAM>{11}));
        EXPECT_EQ(ticksAfter(1000ms), (std::vector<WPARAM>{11}));  // a long stall yields one tick, not ten

        // Setting the same id again replaces it: the old 100 ms period is gone.
        SetTimer(hwnd, 11, 300, nullptr);
        EXPECT_TRUE(ticksAfter(200ms).empty());
        EXPECT_EQ(ticksAfter(100ms), (std::vector<WPARAM>{11}));

        // Killed timers stop; killing twice fails.
        EXPECT_TRUE(KillTimer(hwnd, 11));
        EXPECT_FALSE(KillTimer(hwnd, 11));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
        EXPECT_EQ(ticksAfter(10s), (std::vector<WPARAM>{12}));

        // A destroyed window's timers die with it.
        DestroyWindow(hwnd);
        clock->Advance(10s);
        EXPECT_EQ(Pump(), 0);
        EXPECT_EQ(SetTimer(hwnd, 1, 100, nullptr), 0u);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    });
}

TEST_F(TimerListTest, TimersYieldToPostedMessagesAndPaint) {
    OnFreshThread([&] {
        auto clock = UseManualClock();
        const HWND hwnd = cls.Create(&recorder, WS_POPUP | WS_VISIBLE);
        Pump();
        recorder.Clear();
        SetTimer(hwnd, 1, 10, nullptr);
        clock->Advance(50ms);
        InvalidateRect(hwnd, nullptr, FALSE);
        PostMessageW(hwnd, WM_APP, 0, 0);
        Pump();
        EXPECT_EQ(recorder.Only({WM_APP, WM_PAINT, WM_TIMER}),
                  (std::vector<std::pair<HWND, UINT>>{{hwnd, WM_APP}, {hwnd, WM_PAINT}, {hwnd, WM_TIMER}}));
    });
}

std::atomic<int> g_threadTimerTicks{0};
std::atomic<std::thread::id> g_threadTimerThread;

void CountingTimerProc(HWND hwnd, UINT message, UINT_PTR, DWORD) {
    EXPECT_EQ(hwnd, nullptr);
    EXPECT_EQ(message, WM_TIMER);
    g_threadTimerThread = std::this_thread::get_id();
    ++g_threadTimerTicks;
}

TEST_F(TimerListTest, ThreadTimerProcedureRunsOnTheCreatingThread) {
    OnFreshThread([&] {
        g_threadTimerTicks = 0;
        const UINT_PTR id = SetTimer(nullptr, 100, 10, CountingTimerProc);
        ASSERT_NE(id, 0u);
        // The id is the system's choice; giving it back replaces that timer.
        EXPECT_EQ(SetTimer(nullptr, id, 10, CountingTimerProc), id);
        const UINT_PTR other = SetTimer(nullptr, id + 1000, 10, CountingTimerProc);
        EXPECT_NE(other, id);
        EXPECT_NE(other, id + 1000);
        EXPECT_TRUE(KillTimer(nullptr, other));

        Watchdog watchdog(10s);
        MSG msg;
        while (g_threadTimerTicks < 3 && GetMessageW(&msg, nullptr, 0, 0) > 0) {
            DispatchMessageW(&msg);
        }
        EXPECT_GE(g_threadTimerTicks.load(), 3);
        EXPECT_EQ(g_threadTimerThread.load(), std::this_thread::get_id());
        EXPECT_TRUE(KillTimer(nullptr, id));
    });
    // Another thread cannot kill it: thread timers belong to their thread.
    EXPECT_FALSE(KillTimer(nullptr, 1));
}

TEST_F(TimerListTest, WindowTimerSetFromAWorkerTicksOnTheOwnerThread) {
    OnFreshThread([&] {
        const auto owner = std::this_thread::get_id();
        std::atomic<int> ticks{0};
        recorder.handler = [&](HWND, UINT message, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
            if (message == WM_TIMER && wParam == 16) {
                EXPECT_EQ(std::this_thread::get_id(), owner);
                ++ticks;
            }
            return std::nullopt;
        };
        const HWND hwnd = cls.Create(&recorder);
        std::thread worker([hwnd] {
            std::this_thread::sleep_for(20ms);  // the owner is blocked in GetMessageW by now
            EXPECT_EQ(SetTimer(hwnd, 16, 10, nullptr), 16u);
        });
        {
            Watchdog watchdog(10s);
            MSG msg;
            while (ticks < 2 && GetMessageW(&msg, nullptr, 0, 0) > 0)
                DispatchMessageW(&msg);
        }
        worker.join();
        EXPECT_GE(ticks.load(), 2);
        std::thread killer([hwnd] { EXPECT_TRUE(KillTimer(hwnd, 16)); });
        killer.join();
        const int after = ticks;
        std::this_thread::sleep_for(30ms);
        Pump();
        EXPECT_EQ(ticks.load(), after);
        DestroyWindow(hwnd);
    });
}

std::atomic<int> g_forgedCalls{0};
void ForgedProc(HWND, UINT, UINT_PTR, DWORD) {
    ++g_forgedCalls;
}

TEST_F(TimerListTest, OnlyALiveTimersOwnProcedureIsCalled) {
    OnFreshThread([&] {
        auto clock = UseManualClock();
        const HWND hwnd = cls.Create(&recorder);
        g_forgedCalls = 0;
        // A posted WM_TIMER naming a procedure that no timer has never reaches it.
        PostMessageW(hwnd, WM_TIMER, 5, reinterpret_cast<LPARAM>(&ForgedProc));
        PostMessageW(nullptr, WM_TIMER, 5, reinterpret_cast<LPARAM>(&ForgedProc));
        Pump();
        EXPECT_EQ(g_forgedCalls.load(), 0);

        // A real window timer with a procedure (and a pointer for its id, as a caret's blink timer has):
        // the procedure runs instead of the window procedure.
        const UINT_PTR pointerId = reinterpret_cast<UINT_PTR>(&recorder);
        EXPECT_EQ(SetTimer(hwnd, pointerId, 10, ForgedProc), pointerId);
        clock->Advance(10ms);
        recorder.Clear();
        Pump();
        EXPECT_EQ(g_forgedCalls.load(), 1);
        EXPECT_TRUE(TimerIds(recorder).empty());

        // Killed between retrieval and dispatch: not called.
        clock->Advance(10ms);
        MSG msg;
        ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
        KillTimer(hwnd, pointerId);
        DispatchMessageW(&msg);
        EXPECT_EQ(g_forgedCalls.load(), 1);
    });
}

}  // namespace
