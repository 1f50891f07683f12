// One connection's worth of a download task: a peer fetches one assigned byte range at a
// time from its current source.
//
// Peers are owned by their task and live on the UI thread. CHttpDownloadPeer runs its
// transfers on the download engine (its curl worker hands the body to the temporary file's
// writer thread) and reports each finished range to its task through CDownloadPeer::IOwner on the
// UI thread; a cancelled transfer reports nothing.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "commonlib/core/RefCounted.h"
#include "commonlib/http/HttpBase.h"
#include "commonlib/http/HttpEngine.h"
#include "commonlib/peer/BlockMap.h"
#include "commonlib/peer/DownloadSources.h"
#include "commonlib/peer/DownloadTuning.h"
#include "commonlib/peer/NetResult.h"
#include "commonlib/peer/QVDownloadFileIO.h"

// The UI thread's timer clock in milliseconds: the one the queue's timer and the scheduler's
// time-outs run on, so a test's manual clock moves every wait of the engine alike.
std::uint64_t DownloadNowMs();

class CDownloadPeer {
public:
    struct Outcome {
        NetResult result;
        bool rangeIgnored = false;
        std::string effectiveUrl;
        std::string serverAddress;
        std::uint64_t written = 0;  // bytes of the range on disk that are the file's
    };
    class IOwner {
    public:
        virtual void OnPeerDone(CDownloadPeer& peer, const Outcome& outcome) = 0;
        // More of the peer's range is on disk.
        virtual void OnPeerProgress(CDownloadPeer& peer) = 0;

    protected:
        ~IOwner() = default;
    };

    CDownloadPeer(int id, IOwner& owner) : m_id(id), m_owner(owner) {}
    virtual ~CDownloadPeer() = default;
    CDownloadPeer(const CDownloadPeer&) = delete;
    CDownloadPeer& operator=(const CDownloadPeer&) = delete;

    // Starts fetching `range` of the file; `ranged` false asks for the whole file.
    virtual bool Fetch(const DownloadSource& source, ByteRange range, bool ranged) = 0;
    // Ends the transfer; nothing of it reaches the file afterwards. Returns what Written
    // said last.
    virtual std::uint64_t Cancel() = 0;
    virtual bool IsBusy() const = 0;
    // Bytes of the current range on disk that count as the file's: the answer's headers
    // proved it is the range asked for. An answer that could only prove itself by its
    // length at the end counts nothing before.
    virtual std::uint64_t Written() const = 0;
    // Bytes of the current transfer on disk, counted or not: what its speed is judged by.
    virtual std::uint64_t Received() const = 0;
    // The current range now ends `length` bytes after its start.
    virtual void CutTo(std::uint64_t length) = 0;

    int Id() const { return m_id; }
    size_t SourceIndex() const { return m_sourceIndex; }
    void SetSourceIndex(size_t index) { m_sourceIndex = index; }
    int Failures() const { return m_failures; }
    void SetFailures(int failures) { m_failures = failures; }
    bool Retired() const { return m_retired; }
    void Retire() { m_retired = true; }
    // The peer takes no range before this tick (ms), after a failure.
    std::uint64_t RetryDueMs() const { return m_retryDueMs; }
    void SetRetryDueMs(std::uint64_t dueMs) { m_retryDueMs = dueMs; }
    const std::string& LastAddress() const { return m_lastAddress; }
    void SetLastAddress(std::string address) { m_lastAddress = std::move(address); }
    void SetAnalysis(bool on) { m_analysis = on; }
    bool Analysis() const { return m_analysis; }

    struct Progress {
        std::uint64_t bytes = 0;
        std::uint64_t spanMs = 0;
    };
    // The task's 1-second step: notes what the transfer has received so far, keeping the
    // notes the window needs.
    void SampleProgress(std::uint64_t nowMs, std::uint64_t windowMs);
    // What the current transfer received over about the last window (since its start while
    // it is younger); nothing when the peer is idle.
    Progress RecentProgress(std::uint64_t nowMs) const;
    // Busy for at least a window without receiving a byte in it.
    bool Stalled(std::uint64_t nowMs, std::uint64_t windowMs) const;
    // Busy, and nothing received over the last step nor since.
    bool Quiet() const;

protected:
    IOwner& Owner() { return m_owner; }
    void MarkFetchStart(std::uint64_t nowMs) { m_samples.assign(1, Sample{nowMs, 0}); }

private:
    struct Sample {
        std::uint64_t ms;
        std::uint64_t received;
    };

    const int m_id;
    IOwner& m_owner;
    size_t m_sourceIndex = 0;
    int m_failures = 0;
    bool m_retired = false;
    bool m_analysis = false;
    std::uint64_t m_retryDueMs = 0;
    // The current transfer's progress, oldest first: the first one at least a window old
    // once the transfer is, so the span always covers the whole window.
    std::deque<Sample> m_samples;
    std::string m_lastAddress;
};

class CPeerTransfer;

// Runs its ranges as attempts on the download engine's scheduler; the body goes from the
// curl worker to the temporary file's writer thread, and an attempt is reported done only
// once its bytes are on disk.
class CHttpDownloadPeer final : public CDownloadPeer, private CHttpBase {
public:
    CHttpDownloadPeer(int id, IOwner& owner, CHttpEngine& engine, CRefPtr<CQVDownloadFileIO> file,
                      std::uint64_t totalSize);
    ~CHttpDownloadPeer() override;

    bool Fetch(const DownloadSource& source, ByteRange range, bool ranged) override;
    std::uint64_t Cancel() override;
    bool IsBusy() const override { return static_cast<bool>(m_transfer); }
    std::uint64_t Written() const override;
    std::uint64_t Received() const override;
    void CutTo(std::uint64_t length) override;

private:
    CRefPtr<CCurlHttp> CreateTransfer(HttpRequestSettings settings) override;
    void OnAttemptDone(const CRefPtr<CCurlHttp>& transfer, HttpResult result) override;
    void OnAttemptProgress(const CCurlHttp& transfer) override;
    // The end of a transfer: the network analysis when asked for, then the owner hears.
    void Done(const CPeerTransfer& transfer, HttpResult result);

    CRefPtr<CQVDownloadFileIO> m_file;
    const std::uint64_t m_totalSize;
    CRefPtr<CPeerTransfer> m_transfer;
    ByteRange m_range;
    bool m_ranged = true;
    std::string m_url;
    int m_connectPort = 0;
};
