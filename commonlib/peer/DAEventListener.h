// How a download task reports its events to the download queue. Every call comes on the
// UI thread, from inside the task's own processing: a listener must not destroy the task
// synchronously (the queue defers that).
#pragma once

#include <string>

#include "commonlib/peer/NetResult.h"

class CDownloadTask;

class DAEventListener {
public:
    // A peer finished a range (successfully or not).
    virtual void OnPeerDone(CDownloadTask& task, int peer, NetResult result) = 0;
    // A connection reached a server at `address`.
    virtual void OnServerAddress(CDownloadTask& task, const std::string& address) = 0;
    // A request was redirected to `url`.
    virtual void OnRedirect(CDownloadTask& task, const std::string& url) = 0;
    // A peer moved to another source (`to` is its URL and pinned address, if any).
    virtual void OnAddressChange(CDownloadTask& task, int peer, const std::string& to) = 0;
    // A failed range is fetched again.
    virtual void OnRetry(CDownloadTask& task, int peer, NetResult result) = 0;
    // The task ended; called exactly once per started task.
    virtual void OnTaskDone(CDownloadTask& task, NetResult result) = 0;

protected:
    ~DAEventListener() = default;
};
