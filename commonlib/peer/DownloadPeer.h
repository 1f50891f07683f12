// One connection's worth of a download task: a peer fetches one assigned byte range at a
// time from its current source.
//
// Peers are owned by their task and live on the UI thread. CHttpDownloadPeer runs its
// transfers on the download engine's fetcher and reports each finished range to its task
// through CDownloadPeer::IOwner on the UI thread; a cancelled transfer reports nothing.
#pragma once

#include <cstdint>
#include <string>

#include "commonlib/core/RefCounted.h"
#include "commonlib/peer/BlockMap.h"
#include "commonlib/peer/DownloadSources.h"
#include "commonlib/peer/DownloadTuning.h"
#include "commonlib/peer/NetResult.h"
#include "commonlib/peer/RangeFetcher.h"
#include "commonlib/peer/SpeedMeter.h"

class CDownloadPeer {
public:
    struct Outcome {
        NetResult result;
        bool rangeIgnored = false;
        std::string effectiveUrl;
        std::string serverAddress;
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
    virtual void Cancel() = 0;
    virtual bool IsBusy() const = 0;
    // Bytes of the current range on disk.
    virtual std::uint64_t Written() const = 0;
    // The current range now ends `length` bytes after its start.
    virtual void CutTo(std::uint64_t length) = 0;

    int Id() const { return m_id; }
    size_t SourceIndex() const { return m_sourceIndex; }
    void SetSourceIndex(size_t index) { m_sourceIndex = index; }
    int Failures() const { return m_failures; }
    void SetFailures(int failures) { m_failures = failures; }
    bool Retired() const { return m_retired; }
    void Retire() { m_retired = true; }
    CSpeedMeter& Speed() { return m_speed; }
    const std::string& LastAddress() const { return m_lastAddress; }
    void SetLastAddress(std::string address) { m_lastAddress = std::move(address); }
    void SetAnalysis(bool on) { m_analysis = on; }
    bool Analysis() const { return m_analysis; }

protected:
    IOwner& Owner() { return m_owner; }

private:
    const int m_id;
    IOwner& m_owner;
    size_t m_sourceIndex = 0;
    int m_failures = 0;
    bool m_retired = false;
    bool m_analysis = false;
    CSpeedMeter m_speed;
    std::string m_lastAddress;
};

class CHttpDownloadPeer final : public CDownloadPeer {
public:
    CHttpDownloadPeer(int id, IOwner& owner, CRangeFetcher& fetcher, CRefPtr<CQVDownloadFileIO> file,
                      std::uint64_t totalSize);
    ~CHttpDownloadPeer() override;

    bool Fetch(const DownloadSource& source, ByteRange range, bool ranged) override;
    void Cancel() override;
    bool IsBusy() const override { return static_cast<bool>(m_request); }
    std::uint64_t Written() const override { return m_request ? m_request->Written() : 0; }
    void CutTo(std::uint64_t length) override;

private:
    void Done(CRangeRequest& request);

    CRangeFetcher& m_fetcher;
    CRefPtr<CQVDownloadFileIO> m_file;
    const std::uint64_t m_totalSize;
    CRefPtr<CRangeRequest> m_request;
    std::string m_url;
};
