#include "commonlib/nettool/NetToolTiming.h"

#include <chrono>
#include <thread>

#include "platform/sync/Thread.h"

std::uint32_t SteadyMilliseconds() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void SleepMilliseconds(std::uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::uint16_t ProcessProbeId() {
    return static_cast<std::uint16_t>(GetCurrentProcessId() & 0xFFFF);
}
