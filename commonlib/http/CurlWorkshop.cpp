#include "commonlib/http/CurlWorkshop.h"

#include <curl/curl.h>

#include "commonlib/http/CurlListener.h"
#include "commonlib/logger/Log.h"
#include "platform/sync/Clock.h"
#include "platform/sync/KernelObject.h"

namespace {

CURLM* Multi(void* handle) {
    return static_cast<CURLM*>(handle);
}

constexpr int kPollTimeoutMs = 1000;

}  // namespace

CCurlWorkshop::CCurlWorkshop() {
    EnsureCurlGlobalInit();
    m_multi = curl_multi_init();
    if (!m_multi) XJ_LOG_ERROR("CCurlWorkshop: curl_multi_init failed");
}

CCurlWorkshop::~CCurlWorkshop() {
    Stop(INFINITE);
    if (m_multi) curl_multi_cleanup(Multi(m_multi));
}

bool CCurlWorkshop::Add(CRefPtr<CCurlBase> request) {
    if (!request || m_quit.load()) return false;
    request->MarkActive();
    Enqueue(Op::Add, std::move(request));
    return true;
}

void CCurlWorkshop::Remove(CRefPtr<CCurlBase> request) {
    if (!request) return;
    request->Cancel();
    Enqueue(Op::Remove, std::move(request));
}

void CCurlWorkshop::Abort(CRefPtr<CCurlBase> request, HttpResult result) {
    if (!request) return;
    request->Abort(result);
    Enqueue(Op::Abort, std::move(request));
}

void CCurlWorkshop::Enqueue(Op op, CRefPtr<CCurlBase> request) {
    {
        std::lock_guard lock(m_inboxMutex);
        m_inbox.push_back({op, std::move(request)});
    }
    if (m_multi) curl_multi_wakeup(Multi(m_multi));
}

bool CCurlWorkshop::Stop(DWORD timeoutMs) {
    m_quit.store(true);
    if (m_multi) curl_multi_wakeup(Multi(m_multi));
    const bool stopped = CSimpleThread::Stop(timeoutMs);
    if (stopped) {
        // Jobs that arrived after the worker's last look are dropped with their owners' consent.
        std::lock_guard lock(m_inboxMutex);
        m_inbox.clear();
    }
    return stopped;
}

int CCurlWorkshop::Run() {
    if (!m_multi) {
        // Nothing can run: fail every request handed over until the owner stops us.
        while (!m_quit.load()) {
            std::vector<Job> jobs;
            {
                std::lock_guard lock(m_inboxMutex);
                jobs.swap(m_inbox);
            }
            for (auto& job : jobs) {
                if (job.op == Op::Add && job.request->Listener())
                    job.request->Listener()->OnCurlDone(job.request.Get(),
                                                        HttpResult::Make(HttpResultType::Curl, CURLE_FAILED_INIT));
            }
            Sleep(50);
        }
        return 0;
    }
    while (!m_quit.load()) {
        ApplyJobs();
        int running = 0;
        const CURLMcode rc = curl_multi_perform(Multi(m_multi), &running);
        if (rc != CURLM_OK) XJ_LOG_ERROR("CCurlWorkshop: curl_multi_perform (%d)", static_cast<int>(rc));
        CollectFinished();
        if (m_quit.load()) break;
        curl_multi_poll(Multi(m_multi), nullptr, 0, kPollTimeoutMs, nullptr);
    }
    DropAll();
    return 0;
}

void CCurlWorkshop::ApplyJobs() {
    std::vector<Job> jobs;
    {
        std::lock_guard lock(m_inboxMutex);
        jobs.swap(m_inbox);
    }
    for (auto& job : jobs) {
        switch (job.op) {
            case Op::Add:
                StartTransfer(job.request);
                break;
            case Op::Remove:
                DropTransfer(job.request.Get());
                break;
            case Op::Abort:
                AbortTransfer(job.request);
                break;
        }
    }
}

void CCurlWorkshop::StartTransfer(const CRefPtr<CCurlBase>& request) {
    if (request->IsCancelled() || m_active.count(request.Get())) return;
    HttpResult failure;
    bool started = request->Prepare(&failure);
    if (started) {
        if (const std::int64_t share = m_speedCenter.ShareFor(static_cast<int>(m_active.size()) + 1))
            curl_easy_setopt(request->Handle(), CURLOPT_MAX_RECV_SPEED_LARGE, static_cast<curl_off_t>(share));
        const CURLMcode rc = curl_multi_add_handle(Multi(m_multi), request->Handle());
        if (rc != CURLM_OK) {
            XJ_LOG_ERROR("CCurlWorkshop: curl_multi_add_handle (%d)", static_cast<int>(rc));
            request->ReleaseHandle();
            failure = HttpResult::Make(HttpResultType::Curl, CURLE_FAILED_INIT);
            started = false;
        }
    }
    if (!started) {
        if (CurlListener* listener = request->Listener()) listener->OnCurlDone(request.Get(), failure);
        return;
    }
    m_active.emplace(request.Get(), request);
    m_activeCount.store(static_cast<int>(m_active.size()));
}

void CCurlWorkshop::DropTransfer(CCurlBase* request) {
    const auto found = m_active.find(request);
    if (found == m_active.end()) return;  // finished already, or never started
    curl_multi_remove_handle(Multi(m_multi), request->Handle());
    request->ReleaseHandle();
    m_active.erase(found);
    m_activeCount.store(static_cast<int>(m_active.size()));
}

void CCurlWorkshop::AbortTransfer(const CRefPtr<CCurlBase>& request) {
    // Not held any more: it finished and was reported with its own outcome, or was removed.
    const auto found = m_active.find(request.Get());
    if (found == m_active.end()) return;
    m_active.erase(found);
    m_activeCount.store(static_cast<int>(m_active.size()));
    curl_multi_remove_handle(Multi(m_multi), request->Handle());
    request->Finish(CURLE_ABORTED_BY_CALLBACK);  // fills in what the owner may log (address, URL)
    request->ReleaseHandle();
    if (request->IsCancelled()) return;
    if (CurlListener* listener = request->Listener()) listener->OnCurlDone(request.Get(), request->AbortResult());
}

void CCurlWorkshop::CollectFinished() {
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(Multi(m_multi), &left)) {
        if (message->msg != CURLMSG_DONE) continue;
        CCurlBase* raw = nullptr;
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &raw);
        const CURLcode code = message->data.result;
        const auto found = m_active.find(raw);
        if (found == m_active.end()) continue;
        CRefPtr<CCurlBase> request = found->second;
        m_active.erase(found);
        m_activeCount.store(static_cast<int>(m_active.size()));
        curl_multi_remove_handle(Multi(m_multi), request->Handle());
        HttpResult result = request->Finish(code);
        request->ReleaseHandle();
        if (request->IsAborted()) result = request->AbortResult();
        // A request removed while it finished is not reported: its owner let it go.
        if (request->IsCancelled()) continue;
        if (CurlListener* listener = request->Listener()) listener->OnCurlDone(request.Get(), result);
    }
}

void CCurlWorkshop::DropAll() {
    for (auto& [raw, request] : m_active) {
        curl_multi_remove_handle(Multi(m_multi), request->Handle());
        request->ReleaseHandle();
    }
    m_active.clear();
    m_activeCount.store(0);
}
