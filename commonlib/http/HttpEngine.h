// An HTTP engine: one curl worker thread (CCurlWorkshop) and its scheduler (CHttpMgr).
// The program runs two, one for commands and one for downloads.
//
// Thread: the UI thread builds, starts and stops an engine and calls its scheduler
// (asserted in debug builds); the speed limit may be set from any thread.
// Completions and progress reach the UI thread through the poster the engine was built
// with: by default the UI-thread task queue (PostToMainThread). Stop waits for the worker
// without a time-out and forgets every request without reporting it.
//
// The command engine is the process's one CHttpCommand engine, made by
// InitHttpCommandMgr and ended by UninitHttpCommandMgr, both on the UI thread; while it
// runs, the reports send their records through commands of it.
#pragma once

#include <memory>

#include "commonlib/http/CurlWorkshop.h"
#include "commonlib/http/HttpMgr.h"
#include "platform/sync/ThreadChecker.h"

// Posts to the UI-thread task queue.
UiPoster MainThreadUiPoster();

class CHttpEngine {
public:
    explicit CHttpEngine(UiPoster poster = MainThreadUiPoster(), int maxRunning = CHttpMgr::kDefaultMaxRunning);
    ~CHttpEngine();
    CHttpEngine(const CHttpEngine&) = delete;
    CHttpEngine& operator=(const CHttpEngine&) = delete;

    // False when the worker thread cannot be created, or after Stop: an engine runs once.
    bool Start();
    void Stop();
    bool IsRunning() const;

    CHttpMgr& Mgr();
    CCurlWorkshop& Workshop();
    CSpeedCenter& SpeedCenter() { return m_workshop.SpeedCenter(); }

private:
    CCurlWorkshop m_workshop;
    std::unique_ptr<CHttpMgr> m_mgr;
    bool m_running = false;
    platform::ThreadChecker m_threadChecker;
};

// Creates and starts the command engine (at most 10 running requests). False when it
// could not start; true at once when it runs already.
bool InitHttpCommandMgr(UiPoster poster = MainThreadUiPoster());
// Stops the command engine's worker, waiting without a time-out, and deletes its scheduler.
void UninitHttpCommandMgr();
// The command engine, null outside InitHttpCommandMgr .. UninitHttpCommandMgr.
CHttpEngine* GetHttpCommandEngine();
// Its scheduler, for the 500 ms poll (CheckTimeouts, StartDueRequests); null when there is none.
CHttpMgr* GetHttpCommandMgr();
