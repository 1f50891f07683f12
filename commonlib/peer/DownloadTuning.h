// The download engine's knobs; tests shrink them to run quickly. Read by each task when it
// starts (UI thread); set them before starting downloads.
//
// Measured with bench/commonlib/download_bench.cpp against nginx on loopback, 1 GiB, three
// runs each, curl (one connection) 1.60-1.72 s beside them: four peers with 4 MiB blocks
// 1.53-1.88 s, 8 MiB 1.67-1.92 s, 16 MiB 1.37-1.68 s; six peers with 16 MiB 1.39-1.48 s.
// On 512 MiB one connection took 0.9-1.3 s against 0.65-0.95 s for two to eight. A real
// link gains more from parallel connections than loopback does. After a kill -9 half-way,
// a resume file rewritten every 1/1000 of the file re-fetched 0.4-0.7%, every 1/2000
// 0.26-0.46%, every 1/4000 under 0.1% but cost a tenth more CPU.
#pragma once

#include <cstdint>
#include <vector>

struct DownloadTuning {
    // Fewer, longer requests keep the connections busy; the resume file follows the bytes
    // written, not the blocks, so a long block loses nothing more on a kill.
    std::uint64_t blockSize = 16ull << 20;
    // Four connections fill a link that one connection's window cannot, without looking
    // like abuse to a CDN.
    int peerCount = 4;
    // At the end an idle peer takes over half of another peer's unwritten tail, but only
    // from a peer that would need at least this long for it at its own speed: splitting a
    // fast transfer wastes what is already in flight to it (up to a socket buffer).
    std::uint64_t endGameMs = 2000;
    // A tail shorter than twice this is never split.
    std::uint64_t minSplitBytes = 256 * 1024;
    // A transfer is judged by what it moved over this last stretch, not since it began, so
    // a fast one that stalls looks slow within seconds. One that moved nothing at all over it
    // fails its source when another source is left; on the last one it hands its whole range,
    // in equal shares, to the idle peers.
    std::uint64_t speedWindowMs = 3000;
    // The task turns to the fallback CDN after its speed stayed below the minimum this long.
    int lowSpeedSeconds = 15;
    // After a failure on the last source a peer waits the next of these before trying it
    // again, and gives up with none left; on an earlier source it moves to the next one at
    // once, and a 403, 404 or 410 ends a source for every peer. The waits end on the 1-second
    // step, so they are minimums. Together they outlast a server restart.
    std::vector<std::uint32_t> retryDelaysMs{1000, 2000, 4000, 8000};
    // A transfer (connecting included) that moves no byte for this long ends with (3, 3002),
    // checked by the scheduler's time-out poll.
    long stallTimeoutMs = 30000;
    // The resume file is rewritten, on a transfer's progress report or the 1-second step,
    // once this share (1/n) of the file has arrived since the last write; a kill loses
    // little more than that.
    std::uint64_t metaSaveFraction = 2000;
};

const DownloadTuning& GetDownloadTuning();
void SetDownloadTuning(const DownloadTuning& tuning);
