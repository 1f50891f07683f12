// Helpers of the main window's tests: the window without its start sequence, and steps
// that run from inside whatever message loop runs next (a modal box's included).
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>

#include "app/MainDlg.h"
#include "commonlib/thread/MainThreadTask.h"
#include "platform/window/MessageApi.h"

namespace apptest {

// The main window, with its start sequence only when a test asks for it.
class TestMainDlg : public CMainDlg {
public:
    explicit TestMainDlg(bool runStartSequence = false) : m_runStartSequence(runStartSequence) {}

protected:
    void StartSequence() override {
        if (m_runStartSequence) CMainDlg::StartSequence();
    }

private:
    bool m_runStartSequence;
};

// Runs `step` on the UI thread from whatever message loop runs next.
inline void Later(std::function<void()> step) {
    struct Holder {
        static void Run(std::shared_ptr<std::function<void()>> fn) { (*fn)(); }
    };
    PostToMainThread(MakeMainThreadTask(&Holder::Run, std::make_shared<std::function<void()>>(std::move(step))));
}

// Runs `step` from the message loop that runs once `ready()` holds, polled on a 5 ms
// thread timer of the real clock: timers come last, so input and posted messages keep
// flowing meanwhile. A test that waits for the step guards itself with a deadline
// (testsupport::Watchdog).
struct PendingStep {
    std::function<bool()> ready;
    std::function<void()> step;
};
inline std::map<UINT_PTR, PendingStep>& PendingSteps() {
    static std::map<UINT_PTR, PendingStep> steps;
    return steps;
}
inline void PollPendingStep(HWND, UINT, UINT_PTR id, DWORD) {
    const auto it = PendingSteps().find(id);
    if (it == PendingSteps().end() || !it->second.ready()) return;
    std::function<void()> step = std::move(it->second.step);
    KillTimer(nullptr, id);
    PendingSteps().erase(it);
    step();
}
inline void When(std::function<bool()> ready, std::function<void()> step) {
    const UINT_PTR id = SetTimer(nullptr, 0, 5, &PollPendingStep);
    PendingSteps()[id] = PendingStep{std::move(ready), std::move(step)};
}

}  // namespace apptest
