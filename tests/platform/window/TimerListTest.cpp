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

        // Killed timers stop; killing twice fails.
        EXPECT_TRUE(KillTimer(hwnd, 11));
        EXPECT_FALSE(KillTimer(hwnd, 11));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
        EXPECT_EQ(ticksAfter(10s), (std::vector<WPARAM>{12}));
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
