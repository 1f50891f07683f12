// The download engine's transfers: HTTP range requests run by one curl worker thread.
//
// CRangeFetcher is owned by the download module on the UI thread (Start, Stop, Add, Cancel
// are UI-thread calls). The worker runs the curl multi loop and writes every body byte
// straight into the download's file at its offset, so bytes are never copied per peer.
// A request's completion is posted to the UI thread through the UI-thread task queue and
// runs its callback there, unless the request was cancelled first: after Cancel returns,
// its callback never runs. Requests and files are reference-counted, so a transfer that
// the worker is still finishing keeps both alive.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

#include "commonlib/core/RefCounted.h"
#include "commonlib/peer/NetResult.h"
#include "commonlib/peer/QVDownloadFileIO.h"
#include "commonlib/thread/SimpleThread.h"

class CRangeRequest : public CRefThreadSafeBase {
public:
    struct Params {
        std::string url;
        std::string pinnedAddress;  // connect here instead of resolving the URL's host
        std::uint64_t offset = 0;
        std::uint64_t length = 0;     // bytes wanted from `offset`
        bool ranged = true;           // false: plain GET of the whole file (server without ranges)
        std::uint64_t totalSize = 0;  // the file size the answer must confirm
        long connectTimeoutMs = 15000;
        long stallTimeoutMs = 30000;  // no body byte for this long ends the transfer (3, 3002)
        // The progress callback runs after each further this many body bytes (0: never).
        std::uint64_t progressStepBytes = 0;
    };
    using DoneCallback = std::function<void(CRangeRequest&)>;
    using ProgressCallback = std::function<void()>;

    CRangeRequest(Params params, CRefPtr<CQVDownloadFileIO> file, DoneCallback onDone,
                  ProgressCallback onProgress = nullptr);

    const Params& GetParams() const { return m_params; }
    // Body bytes written from the offset; any thread, grows while the transfer runs.
    std::uint64_t Written() const { return m_written.load(std::memory_order_acquire); }
    // Shortens the wanted length (a later peer took over the tail); the transfer ends
    // successfully once it has written that much. Never lengthens.
    void CutTo(std::uint64_t length);

    // Valid in the completion callback.
    NetResult Result() const { return m_result; }
    long ResponseCode() const { return m_responseCode; }
    const std::string& EffectiveUrl() const { return m_effectiveUrl; }
    const std::string& PrimaryIp() const { return m_primaryIp; }
    // The server answered a range request with the whole file (200).
    bool RangeIgnored() const { return m_rangeIgnored; }

private:
    friend class CRangeFetcher;
    friend struct RangeTransfer;
    // Runs on the UI thread from the task queue.
    static void Deliver(CRefPtr<CRangeRequest> request);
    static void DeliverProgress(CRefPtr<CRangeRequest> request);

    const Params m_params;
    CRefPtr<CQVDownloadFileIO> m_file;
    DoneCallback m_onDone;                      // UI thread only
    ProgressCallback m_onProgress;              // UI thread only
    std::atomic<bool> m_progressQueued{false};  // at most one progress call waits in the queue
    std::atomic<std::uint64_t> m_written{0};
    std::atomic<std::uint64_t> m_limit;
    std::atomic<bool> m_cancelled{false};
    bool m_started = false;  // UI thread: handed to the worker

    // Written by the worker before the completion is posted.
    NetResult m_result;
    long m_responseCode = 0;
    std::string m_effectiveUrl;
    std::string m_primaryIp;
    bool m_rangeIgnored = false;
};

class CRangeFetcher : private CSimpleThread {
public:
    CRangeFetcher();
    ~CRangeFetcher() override;

    bool Start();
    // Ends every transfer (no callbacks follow) and joins the worker.
    void Stop();
    bool IsRunning() const { return m_running; }
    // False when the fetcher is not running; the callback then never runs.
    bool Add(const CRefPtr<CRangeRequest>& request);
    void Cancel(const CRefPtr<CRangeRequest>& request);

private:
    int Run() override;
    void Wake();

    std::mutex m_inboxMutex;
    std::deque<CRefPtr<CRangeRequest>> m_inbox;
    void* m_multi = nullptr;  // CURLM*, created with the fetcher so Wake never races its creation
    bool m_running = false;
};
