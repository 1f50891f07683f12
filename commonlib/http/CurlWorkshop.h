// The curl worker thread: one libcurl multi handle driving every transfer of an engine.
//
// Any thread may Add, Remove and Abort; they only fill the worker's inbox and wake it
// (curl_multi_wakeup), and the worker applies them in the order given. Start and Stop
// belong to the owner. The worker reports through each request's CurlListener, on the
// worker thread. A request that cannot be started is reported like any other, with its
// failure pair, never as a success. A removed request, and every request still running
// when the worker stops, is dropped without a report: its owner has given it up. An
// aborted request is reported with the pair it was aborted with, and only once the
// worker has let go of it, so its owner may read its response from then on.
#pragma once

#include <atomic>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "commonlib/core/RefCounted.h"
#include "commonlib/http/CurlHttp.h"
#include "commonlib/http/SpeedCenter.h"
#include "commonlib/thread/SimpleThread.h"

class CCurlWorkshop : public CSimpleThread {
public:
    CCurlWorkshop();
    ~CCurlWorkshop() override;

    // False (and nothing is queued) once the worker has been stopped for good.
    bool Add(CRefPtr<CCurlBase> request);
    void Remove(CRefPtr<CCurlBase> request);
    // Ends a running request with `result` (a request that finishes first keeps its own).
    void Abort(CRefPtr<CCurlBase> request, HttpResult result);

    bool Stop(DWORD timeoutMs) override;

    // Transfers the worker holds now; a hint for other threads.
    int ActiveCount() const { return m_activeCount.load(std::memory_order_relaxed); }
    CSpeedCenter& SpeedCenter() { return m_speedCenter; }

protected:
    int Run() override;

private:
    enum class Op { Add, Remove, Abort };
    struct Job {
        Op op;
        CRefPtr<CCurlBase> request;
    };

    void Enqueue(Op op, CRefPtr<CCurlBase> request);
    void ApplyJobs();
    void StartTransfer(const CRefPtr<CCurlBase>& request);
    void DropTransfer(CCurlBase* request);
    void AbortTransfer(const CRefPtr<CCurlBase>& request);
    void CollectFinished();
    void DropAll();

    void* m_multi = nullptr;  // CURLM*, the worker's alone except for the wake-up
    std::mutex m_inboxMutex;
    std::vector<Job> m_inbox;
    std::atomic<bool> m_quit{false};
    std::unordered_map<CCurlBase*, CRefPtr<CCurlBase>> m_active;  // worker thread
    std::atomic<int> m_activeCount{0};
    CSpeedCenter m_speedCenter;
};
