// The download engine's knobs; tests shrink them to run quickly. Read by each task when it
// starts (UI thread); set them before starting downloads.
//
// Measured with bench/commonlib/download_bench.cpp against nginx on loopback (512 MiB,
// best of three): one connection 0.9-1.3 s, two to eight connections 0.65-0.95 s; block
// sizes from 1 to 16 MiB stayed within the noise. A real link gains more from parallel
// connections than loopback does.
#pragma once

#include <cstdint>

struct DownloadTuning {
    // 4 MiB blocks: large enough that the per-request round trip costs under 1% on a LAN,
    // small enough that an abandoned block wastes little.
    std::uint64_t blockSize = 4ull << 20;
    // Four connections fill a link that one connection's window cannot, without looking
    // like abuse to a CDN.
    int peerCount = 4;
    // A tail shorter than twice this is not split between peers at the end.
    std::uint64_t minSplitBytes = 256 * 1024;
    // The task turns to the fallback CDN after its speed stayed below the minimum this long.
    int lowSpeedSeconds = 15;
    // Consecutive failures on one source before a peer moves to the next source.
    int failuresPerSource = 2;
    long connectTimeoutMs = 15000;
    // No body byte for this long ends a transfer with (3, 3002).
    long stallTimeoutMs = 30000;
    // The resume file is rewritten once this share (1/n) of the file has arrived since the
    // last write, and on every progress step, so a kill loses little more than that plus
    // what the transfers wrote since their last wake-up.
    std::uint64_t metaSaveFraction = 1000;
    // Each transfer wakes the task after this many bytes, so the resume file keeps up even
    // while every peer is in the middle of a block.
    std::uint64_t progressStepBytes = 2ull << 20;
};

const DownloadTuning& GetDownloadTuning();
void SetDownloadTuning(const DownloadTuning& tuning);
