// The download engine's task list: listener of its tasks and source of the progress
// reports.
//
// UI thread only (asserted in debug builds). The queue calls the registered progress function once per step of its
// timer for every running task, and the completion function exactly once per task (from
// inside StartDownload when the task ends at once). Tasks that end or are removed are
// destroyed later, outside their own call stack.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>

#include "commonlib/http/HttpEngine.h"
#include "commonlib/peer/DAEventListener.h"
#include "commonlib/peer/DownloadTask.h"
#include "platform/sync/ThreadChecker.h"

using DownloadProgressFunction = void (*)(void* user, std::int64_t total, std::int64_t complete, std::uint32_t speed);
using DownloadDoneFunction = void (*)(void* user, int type, int code);

class CDownloadTaskQueue final : public DAEventListener {
public:
    explicit CDownloadTaskQueue(CHttpEngine& engine) : m_engine(engine) {}
    ~CDownloadTaskQueue();

    void SetCallbacks(DownloadProgressFunction progress, DownloadDoneFunction done);
    // Replaces a task of the same URL and local path, then starts the new one.
    void Add(DownloadTaskParams params);
    // Stops and removes the task of that URL and local path; false when there is none.
    bool Remove(const std::wstring& url, const std::wstring& localPath);
    void StopAll();
    // The timer step: progress of every running task, then tasks that ended are freed.
    void OnTimer(std::uint64_t nowMs);
    size_t Count() const {
        XJ_ASSERT_ON_THREAD(m_thread);
        return m_tasks.size();
    }

    void OnPeerDone(CDownloadTask& task, int peer, NetResult result) override;
    void OnServerAddress(CDownloadTask& task, const std::string& address) override;
    void OnRedirect(CDownloadTask& task, const std::string& url) override;
    void OnAddressChange(CDownloadTask& task, int peer, const std::string& to) override;
    void OnRetry(CDownloadTask& task, int peer, NetResult result) override;
    void OnTaskDone(CDownloadTask& task, NetResult result) override;

private:
    platform::ThreadChecker m_thread;
    CHttpEngine& m_engine;
    DownloadProgressFunction m_progress = nullptr;
    DownloadDoneFunction m_done = nullptr;
    std::list<std::unique_ptr<CDownloadTask>> m_tasks;
    std::list<std::unique_ptr<CDownloadTask>> m_ended;
};
