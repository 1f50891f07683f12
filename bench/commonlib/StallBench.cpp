// A source that goes silent or dies mid-transfer, with a second source given: how long from
// the first source's outage to the second source's first byte, and whether the file is intact.
// Two loopback servers serve the same file; the first freezes (every transfer goes silent, new
// requests are read and never answered) or dies (every connection closes, new ones are
// refused) once it has sent --after-mib MiB. The engine runs with its own defaults, with the
// application's 500 ms scheduler poll. One line per case:
//   case=freeze size=N outage_after=N to_second_source_s=S total_s=T result=et:0 ec:0 intact=yes
// Usage: StallBench [--case freeze|die] [--size-mib N] [--after-mib N]   (inside scripts/netjail)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "commonlib/peer/DownloadModule.h"
#include "commonlib/thread/MainThreadTask.h"
#include "commonlib/util/Md5.h"
#include "commonlib/util/StringUtils.h"
#include "platform/fs/DriveMap.h"
#include "platform/window/MessageApi.h"
#include "support/RandomBytes.h"
#include "support/ScriptedHttpServer.h"
#include "support/TempDir.h"

using testsupport::ScriptedHttpServer;

namespace {

struct Outcome {
    bool done = false;
    int type = -1, code = -1;
};

void OnProgress(void*, std::int64_t, std::int64_t, std::uint32_t) {}

void OnDone(void* user, int type, int code) {
    auto* outcome = static_cast<Outcome*>(user);
    outcome->done = true;
    outcome->type = type;
    outcome->code = code;
}

// The application's 500 ms poll of the download scheduler.
void PollScheduler(HWND, UINT, UINT_PTR, DWORD) {
    if (CHttpMgr* mgr = GetDownloadHttpMgr()) {
        mgr->CheckTimeouts();
        mgr->StartDueRequests();
    }
}

// Nothing comes in the time a stuck run would need: give up and say so.
void GiveUp(HWND, UINT, UINT_PTR, DWORD) {
    PostQuitMessage(1);
}

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

bool RunCase(ScriptedHttpServer::Outage outage, const std::string& payload, std::uint64_t after) {
    const char* name = outage == ScriptedHttpServer::Outage::Freeze ? "freeze" : "die";
    testsupport::TempDir dir;
    ScriptedHttpServer first, second;
    first.Serve("/pkg.bin", payload);
    second.Serve("/pkg.bin", payload);
    first.FailAfter(outage, after);
    const std::string md5 = MD5(payload.data(), payload.size()).hex_digest();
    const std::filesystem::path out = dir / "pkg.bin";

    Outcome outcome;
    SetDownloadCallbacks(&OnProgress, &OnDone);
    if (!StartDownloadModule()) {
        std::fprintf(stderr, "the download engine did not start\n");
        return false;
    }
    const UINT_PTR poll = SetTimer(nullptr, 0, 500, &PollScheduler);
    const UINT_PTR limit = SetTimer(nullptr, 0, 600 * 1000, &GiveUp);
    const auto start = std::chrono::steady_clock::now();
    StartDownload(Utf8ToWide(md5).c_str(), L"", Utf8ToWide(first.Url("/pkg.bin")).c_str(),
                  Utf8ToWide("127.0.0.1:" + std::to_string(second.Port())).c_str(),
                  platform::WinPath(out.string()).c_str(), static_cast<std::int64_t>(payload.size()), &outcome, 0,
                  "{}");
    MSG msg{};
    while (!outcome.done && GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    const auto end = std::chrono::steady_clock::now();
    KillTimer(nullptr, poll);
    KillTimer(nullptr, limit);
    StopDownloadModule();

    const auto outageAt = first.OutageTime();
    const auto secondAt = second.FirstBodyByteTime();
    const bool intact = outcome.type == 0 && testsupport::TempDir::ReadFile(out) == payload;
    std::printf("case=%s size=%zu outage_after=%llu to_second_source_s=%s total_s=%.3f result=et:%d ec:%d intact=%s\n",
                name, payload.size(), static_cast<unsigned long long>(after),
                outageAt && secondAt ? std::to_string(Seconds(*secondAt - *outageAt)).c_str() : "none",
                Seconds(end - start), outcome.type, outcome.code, intact ? "yes" : "no");
    std::fflush(stdout);
    return intact;
}

int Usage() {
    std::fprintf(stderr, "usage: StallBench [--case freeze|die] [--size-mib N] [--after-mib N]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string which;
    std::uint64_t sizeMib = 64, afterMib = 16;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return Usage();
        if (arg == "--case") {
            which = argv[++i];
        } else if (arg == "--size-mib") {
            sizeMib = std::strtoull(argv[++i], nullptr, 10);
        } else if (arg == "--after-mib") {
            afterMib = std::strtoull(argv[++i], nullptr, 10);
        } else {
            return Usage();
        }
    }
    if ((!which.empty() && which != "freeze" && which != "die") || afterMib >= sizeMib) return Usage();
    const std::string payload = testsupport::RandomBytes(sizeMib << 20, 28);
    CreateMainThreadWindow();
    bool ok = true;
    for (const auto outage : {ScriptedHttpServer::Outage::Freeze, ScriptedHttpServer::Outage::Die}) {
        const bool freeze = outage == ScriptedHttpServer::Outage::Freeze;
        if (which.empty() || which == (freeze ? "freeze" : "die")) ok = RunCase(outage, payload, afterMib << 20) && ok;
    }
    ShutdownMainThreadQueue();
    return ok ? 0 : 1;
}
