#include "commonlib/http/HttpMgr.h"

#include <curl/curl.h>

#include <algorithm>

#include "platform/window/MessageQueue.h"

namespace {

// Ticks wrap every 49.7 days: compare as signed distances.
bool TickReached(DWORD now, DWORD due) {
    return static_cast<std::int32_t>(now - due) >= 0;
}

}  // namespace

CHttpMgr::CHttpMgr(CCurlWorkshop& workshop, UiPoster poster, int maxRunning)
    : m_workshop(workshop),
      m_poster(std::move(poster)),
      m_maxRunning(std::max(1, maxRunning)),
      m_link(std::make_shared<Link>(Link{this})) {}

CHttpMgr::~CHttpMgr() {
    m_link->mgr = nullptr;
    for (auto& [transfer, request] : m_owners) {
        if (request->m_running) m_workshop.Remove(CRefPtr<CCurlBase>(transfer));
        request->m_mgr = nullptr;
        request->m_running = false;
        request->m_transfer.Reset();
    }
}

DWORD CHttpMgr::Now() {
    return static_cast<DWORD>(platform::TickCount64Of(*platform::CurrentThreadClock()));
}

std::size_t CHttpMgr::RunningCount() const {
    XJ_ASSERT_ON_THREAD(m_threadChecker);
    return m_running.size();
}

std::size_t CHttpMgr::WaitingCount() const {
    XJ_ASSERT_ON_THREAD(m_threadChecker);
    return m_waiting.size();
}

const UiPoster& CHttpMgr::Poster() const {
    XJ_ASSERT_ON_THREAD(m_threadChecker);
    return m_poster;
}

bool CHttpMgr::AddRequest(CHttpBase* request, HttpRequestSettings settings, DWORD delayMs) {
    // Requests belong to the scheduler's thread; another thread must post its start there.
    XJ_ASSERT_ON_THREAD(m_threadChecker);
    if (!request || request->m_mgr) return false;
    CRefPtr<CCurlHttp> transfer = request->CreateTransfer(std::move(settings));
    if (!transfer) return false;
    transfer->SetListener(this);
    // The worker marks activity on the clock that CheckTimeouts measures against.
    transfer->SetClock(platform::CurrentThreadClock());
    request->m_mgr = this;
    request->m_transfer = transfer;
    request->m_running = false;
    request->m_timingOut = false;
    m_owners[transfer.Get()] = request;
    m_waiting.push_back({request, Now() + delayMs});
    Schedule();
    return true;
}

void CHttpMgr::RemoveRequest(CHttpBase* request) {
    XJ_ASSERT_ON_THREAD(m_threadChecker);
    if (!request || request->m_mgr != this) return;
    CRefPtr<CCurlHttp> transfer = request->m_transfer;
    if (request->m_running) m_workshop.Remove(transfer);
    Forget(transfer.Get());
    Schedule();
}

CHttpBase* CHttpMgr::Forget(CCurlBase* transfer) {
    const auto found = m_owners.find(transfer);
    if (found == m_owners.end()) return nullptr;
    CHttpBase* request = found->second;
    m_owners.erase(found);
    if (request->m_running)
        std::erase(m_running, request);
    else
        std::erase_if(m_waiting, [request](const Waiting& w) { return w.request == request; });
    request->m_mgr = nullptr;
    request->m_running = false;
    request->m_timingOut = false;
    request->m_transfer.Reset();
    return request;
}

void CHttpMgr::Schedule() {
    const DWORD now = Now();
    for (auto it = m_waiting.begin(); it != m_waiting.end() && static_cast<int>(m_running.size()) < m_maxRunning;) {
        if (!TickReached(now, it->dueTick)) {
            ++it;
            continue;
        }
        CHttpBase* request = it->request;
        it = m_waiting.erase(it);
        Launch(request);
    }
}

void CHttpMgr::Launch(CHttpBase* request) {
    request->m_running = true;
    m_running.push_back(request);
    CRefPtr<CCurlHttp> transfer = request->m_transfer;
    if (!m_workshop.Add(transfer)) {
        // The worker is gone: the attempt still ends, with a failure, through the queue.
        OnCurlDone(transfer.Get(), HttpResult::Make(HttpResultType::Curl, CURLE_FAILED_INIT));
    }
}

void CHttpMgr::StartDueRequests() {
    XJ_ASSERT_ON_THREAD(m_threadChecker);
    Schedule();
}

void CHttpMgr::CheckTimeouts() {
    XJ_ASSERT_ON_THREAD(m_threadChecker);
    const DWORD now = Now();
    for (CHttpBase* request : m_running) {
        const DWORD limit = request->m_timeoutMs;
        if (limit == 0 || request->m_timingOut || !request->m_transfer) continue;
        if (now - request->m_transfer->LastActivityTick() <= limit) continue;
        // The worker may be inside the transfer's callbacks right now: it reports the pair
        // when it has let go, and only then does the request see its response.
        request->m_timingOut = true;
        m_workshop.Abort(request->m_transfer, HttpResult::Program(HttpProgramCode::Inactive));
    }
}

void CHttpMgr::Deliver(CCurlBase* transfer, HttpResult result) {
    CRefPtr<CCurlHttp> keep(static_cast<CCurlHttp*>(transfer));
    CHttpBase* request = Forget(transfer);
    if (!request) return;
    Schedule();
    // Last: the request may start its next attempt, or be deleted by its owner's callback.
    request->OnAttemptDone(keep, result);
}

void CHttpMgr::Post(std::function<void(CHttpMgr&)> work) {
    std::shared_ptr<Link> link = m_link;
    m_poster([link, work = std::move(work)] {
        if (link->mgr) work(*link->mgr);
    });
}

void CHttpMgr::OnCurlDone(CCurlBase* request, HttpResult result) {
    CRefPtr<CCurlBase> transfer(request);
    Post([transfer, result](CHttpMgr& mgr) { mgr.Deliver(transfer.Get(), result); });
}

void CHttpMgr::OnCurlResponseCode(CCurlBase* request, long code) {
    CRefPtr<CCurlBase> transfer(request);
    Post([transfer, code](CHttpMgr& mgr) {
        const auto found = mgr.m_owners.find(transfer.Get());
        if (found != mgr.m_owners.end() && !found->second->m_timingOut)
            found->second->OnAttemptResponseCode(static_cast<const CCurlHttp&>(*transfer), code);
    });
}

void CHttpMgr::OnCurlProgress(CCurlBase* request) {
    if (!request->TryQueueProgress()) return;  // one pending report is enough: it reads the newest counters
    CRefPtr<CCurlBase> transfer(request);
    Post([transfer](CHttpMgr& mgr) {
        transfer->ProgressReported();
        const auto found = mgr.m_owners.find(transfer.Get());
        if (found != mgr.m_owners.end() && !found->second->m_timingOut)
            found->second->OnAttemptProgress(static_cast<const CCurlHttp&>(*transfer));
    });
}
