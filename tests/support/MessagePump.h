// Runs the calling thread's message loop until a condition holds or a deadline
// passes, so tests can wait for work that reaches the UI thread without hanging.
#pragma once

#include <chrono>
#include <functional>

namespace testsupport {

// Translates and dispatches whatever is queued now.
void DispatchPending();
// Dispatches messages until `done()` is true (returns true) or `timeout` passes (false).
bool PumpMessagesUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(10));
// Dispatches whatever is queued now, plus messages arriving during `duration`.
void PumpMessagesFor(std::chrono::milliseconds duration);

}  // namespace testsupport
