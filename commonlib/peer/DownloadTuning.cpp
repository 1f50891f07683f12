#include "commonlib/peer/DownloadTuning.h"

namespace {
DownloadTuning g_tuning;
}

const DownloadTuning& GetDownloadTuning() {
    return g_tuning;
}
void SetDownloadTuning(const DownloadTuning& tuning) {
    g_tuning = tuning;
}
