// Clocks, sleeps and the probe identifier shared by the network probes.
//
// The probes take these as replaceable functions so tests can run their time-outs
// and pauses on a fake clock. The default clock is monotonic: a wall-clock step
// must never end or stretch a wait.
#pragma once

#include <cstdint>
#include <functional>

// Milliseconds on a monotonic clock; only differences (unsigned, wrapping) mean anything.
using MillisecondClock = std::function<std::uint32_t()>;
using MillisecondSleep = std::function<void(std::uint32_t ms)>;

std::uint32_t SteadyMilliseconds();
void SleepMilliseconds(std::uint32_t ms);
// The low 16 bits of the process id: the id of every DNS query and ICMP request we send.
std::uint16_t ProcessProbeId();
