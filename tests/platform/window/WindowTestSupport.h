// Helpers for the window tests: the recording window procedure, the manual clock
// and the watchdog of tests/support under their short names, a fixture with a
// recorder and a class, and a runner that gives a test body a fresh thread and
// therefore a fresh message queue.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/window/MessageApi.h"
#include "platform/window/MessageQueue.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowClass.h"
#include "support/ManualClock.h"
#include "support/MessageRecorder.h"
#include "support/Watchdog.h"

namespace windowtest {

using testsupport::LParamsOf;
using testsupport::ManualClock;
using testsupport::ParamsOf;
using testsupport::Recorder;
using testsupport::RecordingProc;
using testsupport::ScopedClass;
using testsupport::Seen;
using testsupport::Step;
using testsupport::UseManualClock;
using testsupport::Watchdog;
using testsupport::WParamsOf;

// A recorder and a class for one test (the class goes first, with its windows).
class WindowFixture : public ::testing::Test {
protected:
    Recorder recorder;
    ScopedClass cls;
};

// Runs `body` on a thread of its own (a fresh queue) and waits for it.
inline void OnFreshThread(const std::function<void()>& body) {
    std::thread(body).join();
}

// Dispatches everything waiting in this thread's queue; returns how many.
inline int Pump() {
    MSG msg;
    int count = 0;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&msg);
        ++count;
    }
    return count;
}

}  // namespace windowtest
