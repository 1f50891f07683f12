#include "commonlib/peer/DownloadTaskQueue.h"

#include "commonlib/peer/DownloadLogging.h"
#include "commonlib/util/StringUtils.h"

CDownloadTaskQueue::~CDownloadTaskQueue() {
    XJ_ASSERT_ON_THREAD(m_thread);
    StopAll();
}

void CDownloadTaskQueue::SetCallbacks(DownloadProgressFunction progress, DownloadDoneFunction done) {
    XJ_ASSERT_ON_THREAD(m_thread);
    m_progress = progress;
    m_done = done;
}

void CDownloadTaskQueue::Add(DownloadTaskParams params) {
    XJ_ASSERT_ON_THREAD(m_thread);
    // Two tasks must never write the same temporary file.
    Remove(params.url, params.localPath);
    auto task = std::make_unique<CDownloadTask>(std::move(params), m_engine, *this);
    CDownloadTask& started = *task;
    m_tasks.push_back(std::move(task));
    started.Start();
}

bool CDownloadTaskQueue::Remove(const std::wstring& url, const std::wstring& localPath) {
    XJ_ASSERT_ON_THREAD(m_thread);
    bool found = false;
    for (auto it = m_tasks.begin(); it != m_tasks.end();) {
        if ((*it)->Params().url == url && (*it)->Params().localPath == localPath) {
            (*it)->Stop();
            m_ended.splice(m_ended.end(), m_tasks, it++);
            found = true;
        } else {
            ++it;
        }
    }
    return found;
}

void CDownloadTaskQueue::StopAll() {
    XJ_ASSERT_ON_THREAD(m_thread);
    for (auto& task : m_tasks)
        task->Stop();
    m_ended.splice(m_ended.end(), m_tasks);
    m_ended.clear();
}

void CDownloadTaskQueue::OnTimer(std::uint64_t nowMs) {
    XJ_ASSERT_ON_THREAD(m_thread);
    m_ended.clear();
    // A callback may add or remove tasks; walk a snapshot of the running ones.
    std::vector<CDownloadTask*> running;
    for (auto& task : m_tasks) {
        if (task->GetState() == CDownloadTask::State::Running) running.push_back(task.get());
    }
    for (CDownloadTask* task : running) {
        const bool stillListed = std::any_of(m_tasks.begin(), m_tasks.end(),
                                             [&](const std::unique_ptr<CDownloadTask>& t) { return t.get() == task; });
        if (!stillListed || task->GetState() != CDownloadTask::State::Running) continue;
        task->OnTick(nowMs);
        if (task->GetState() != CDownloadTask::State::Running) continue;
        if (m_progress) {
            m_progress(task->Params().user, static_cast<std::int64_t>(task->Total()),
                       static_cast<std::int64_t>(task->Completed()),
                       static_cast<std::uint32_t>(std::min<std::uint64_t>(task->Speed(), UINT32_MAX)));
        }
    }
}

void CDownloadTaskQueue::OnPeerDone(CDownloadTask&, int, NetResult) {}

void CDownloadTaskQueue::OnServerAddress(CDownloadTask& task, const std::string& address) {
    XJ_ASSERT_ON_THREAD(m_thread);
    DL_LOG_INFO("server " + address + " for " + WideToUtf8(task.Params().url));
}

void CDownloadTaskQueue::OnRedirect(CDownloadTask& task, const std::string& url) {
    XJ_ASSERT_ON_THREAD(m_thread);
    DL_LOG_INFO("redirect of " + WideToUtf8(task.Params().url) + " to " + url);
}

void CDownloadTaskQueue::OnAddressChange(CDownloadTask& task, int peer, const std::string& to) {
    XJ_ASSERT_ON_THREAD(m_thread);
    DL_LOG_INFO("peer " + std::to_string(peer) + " of " + WideToUtf8(task.Params().url) + " moves to " + to);
}

void CDownloadTaskQueue::OnRetry(CDownloadTask& task, int peer, NetResult result) {
    XJ_ASSERT_ON_THREAD(m_thread);
    DL_LOG_WARN("peer " + std::to_string(peer) + " of " + WideToUtf8(task.Params().url) +
                " retries after et:" + std::to_string(result.type) + " ec:" + std::to_string(result.code));
}

void CDownloadTaskQueue::OnTaskDone(CDownloadTask& task, NetResult result) {
    XJ_ASSERT_ON_THREAD(m_thread);
    for (auto it = m_tasks.begin(); it != m_tasks.end(); ++it) {
        if (it->get() == &task) {
            m_ended.splice(m_ended.end(), m_tasks, it);
            break;
        }
    }
    if (m_done) m_done(task.Params().user, result.type, result.code);
}
