#include "commonlib/peer/DownloadModule.h"

#include <memory>

#include "platform/window/MessageApi.h"
#include "platform/window/MessageQueue.h"

namespace {

struct ModuleState {
    std::unique_ptr<CHttpEngine> engine;
    std::unique_ptr<CDownloadTaskQueue> queue;
    UINT_PTR timer = 0;
    unsigned intervalMs = kDownloadProgressIntervalMs;
    DownloadProgressFunction progress = nullptr;
    DownloadDoneFunction done = nullptr;
};

ModuleState& State() {
    static ModuleState state;
    return state;
}

// The timer and its time both come from the UI thread's clock, which tests replace.
void OnProgressTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (State().queue) State().queue->OnTimer(platform::TickCount64Of(*platform::CurrentThreadClock()));
}

std::wstring Text(const wchar_t* text) {
    return text ? std::wstring(text) : std::wstring();
}

}  // namespace

void SetDownloadCallbacks(DownloadProgressFunction progress, DownloadDoneFunction done) {
    State().progress = progress;
    State().done = done;
    if (State().queue) State().queue->SetCallbacks(progress, done);
}

void SetDownloadProgressInterval(unsigned intervalMs) {
    State().intervalMs = intervalMs;
}

bool StartDownloadModule() {
    ModuleState& s = State();
    if (s.queue) return true;
    s.engine = std::make_unique<CHttpEngine>();
    if (!s.engine->Start()) {
        s.engine.reset();
        return false;
    }
    s.queue = std::make_unique<CDownloadTaskQueue>(*s.engine);
    s.queue->SetCallbacks(s.progress, s.done);
    s.timer = SetTimer(nullptr, 0, s.intervalMs, &OnProgressTimer);
    if (s.timer == 0) {
        StopDownloadModule();
        return false;
    }
    return true;
}

void StopDownloadModule() {
    ModuleState& s = State();
    if (s.timer != 0) KillTimer(nullptr, s.timer);
    s.timer = 0;
    if (s.queue) s.queue->StopAll();
    if (s.engine) s.engine->Stop();
    s.queue.reset();
    s.engine.reset();
}

bool StartDownload(const wchar_t* md5, const wchar_t* cdnHost, const wchar_t* url, const wchar_t* fallbackAddresses,
                   const wchar_t* localPath, std::int64_t size, void* user, std::int64_t minSpeed,
                   const std::string& requestText) {
    DownloadTaskParams params;
    params.md5 = Text(md5);
    params.cdnHost = Text(cdnHost);
    params.url = Text(url);
    params.fallbackAddresses = Text(fallbackAddresses);
    params.localPath = Text(localPath);
    params.size = size;
    params.user = user;
    params.minSpeed = minSpeed;
    params.requestText = requestText;
    ModuleState& s = State();
    if (!s.queue) {
        // Without the engine the task cannot start; the caller still hears of it once.
        if (s.done) s.done(user, NetResult::kProgram, kCodeCannotStart);
        return true;
    }
    s.queue->Add(std::move(params));
    return true;
}

CHttpMgr* GetDownloadHttpMgr() {
    return State().engine ? &State().engine->Mgr() : nullptr;
}

bool StopDownload(const wchar_t* url, const wchar_t* localPath) {
    if (State().queue) State().queue->Remove(Text(url), Text(localPath));
    return true;
}
