// The request scheduler of an engine: at most a fixed number of attempts run on the curl
// worker at once; the others wait, in order, and are never failed for waiting.
//
// Thread: the UI thread (the thread that built the engine) for every public method,
// asserted in debug builds. The worker reaches the scheduler only through CurlListener,
// whose methods post to the UI thread and touch nothing else; the posted tasks find their
// request again through a table kept on the UI thread and are dropped when the attempt
// was stopped or handed over already, so each attempt completes exactly once and never
// after Stop. The tasks hold the transfer by reference count and the scheduler through a
// shared link that the destructor cuts, so nothing they reach has been freed.
//
// Every completion arrives through the UI-thread task queue, the time-out pair too: a
// timed-out attempt is delivered once the worker has let go of it, so its response is
// never read while the worker still writes it. Until then it keeps its slot.
//
// Time (retry delays, inactivity) comes from the UI thread's timer clock
// (platform::CurrentThreadClock), which tests replace with a manual one.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "commonlib/http/CurlListener.h"
#include "commonlib/http/CurlWorkshop.h"
#include "commonlib/http/HttpBase.h"
#include "platform/sync/ThreadChecker.h"

// Hands a function to the UI thread; false when it was dropped (the queue is shut down).
using UiPoster = std::function<bool(std::function<void()>)>;

class CHttpMgr final : public CurlListener {
public:
    static constexpr int kDefaultMaxRunning = 10;

    CHttpMgr(CCurlWorkshop& workshop, UiPoster poster, int maxRunning = kDefaultMaxRunning);
    // Forgets every request without reporting; their attempts are removed from the worker.
    ~CHttpMgr();
    CHttpMgr(const CHttpMgr&) = delete;
    CHttpMgr& operator=(const CHttpMgr&) = delete;

    // Queues an attempt of `request`, to start when a slot is free and `delayMs` has passed.
    bool AddRequest(CHttpBase* request, HttpRequestSettings settings, DWORD delayMs);
    // Forgets `request`'s attempt, waiting or running; nothing is reported for it.
    void RemoveRequest(CHttpBase* request);
    // Ends each running attempt that has a time-out and has been inactive for longer with
    // (3, 3002), delivered once the worker has let go of it.
    void CheckTimeouts();
    // Starts the waiting attempts whose retry delay has passed, then schedules.
    void StartDueRequests();

    std::size_t RunningCount() const;
    std::size_t WaitingCount() const;
    const UiPoster& Poster() const;

    // CurlListener, worker thread.
    void OnCurlDone(CCurlBase* request, HttpResult result) override;
    void OnCurlResponseCode(CCurlBase* request, long code) override;
    void OnCurlProgress(CCurlBase* request) override;

private:
    struct Link {
        CHttpMgr* mgr;
    };
    struct Waiting {
        CHttpBase* request;
        DWORD dueTick;
    };

    void Schedule();
    void Launch(CHttpBase* request);
    // Unlinks the attempt from the scheduler; returns its request, null when it is unknown.
    CHttpBase* Forget(CCurlBase* transfer);
    void Deliver(CCurlBase* transfer, HttpResult result);
    void Post(std::function<void(CHttpMgr&)> work);
    static DWORD Now();

    CCurlWorkshop& m_workshop;
    UiPoster m_poster;
    const int m_maxRunning;
    std::shared_ptr<Link> m_link;
    std::deque<Waiting> m_waiting;
    std::vector<CHttpBase*> m_running;
    std::unordered_map<CCurlBase*, CHttpBase*> m_owners;  // every attempt waiting or running
    platform::ThreadChecker m_threadChecker;
};
