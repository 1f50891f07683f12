// One file downloaded in blocks by several peers, resumable through its resume file.
//
// Owned by the download queue; every call, and every callback to its DAEventListener, runs
// on the UI thread (asserted in debug builds). Bytes reach the temporary file from the
// download engine's curl worker through the file's writer thread; the task only reads the
// transfers' progress counters, and counts only bytes that are on disk and proven to be
// the file's. The task ends exactly
// once with a (type, code) pair through DAEventListener::OnTaskDone: (0, 0) once the file
// is in place under its final name; (3, 2005) when there is nothing to fetch; (3, 809)
// without a usable source; (3, 6) when it could not start; (1, system error) when its
// files fail; (3, the code of the last source failure) when every source has failed.
// Every end of a transfer leads on: to the next range, a retry, or the task's end. Stop
// ends it without that call and leaves it resumable.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "commonlib/core/ProtoValue.h"
#include "commonlib/http/HttpEngine.h"
#include "commonlib/peer/BlockMap.h"
#include "commonlib/peer/DAEventListener.h"
#include "commonlib/peer/DownloadPeer.h"
#include "commonlib/peer/DownloadSources.h"
#include "commonlib/peer/DownloadTuning.h"
#include "commonlib/peer/QVDownloadFileIO.h"
#include "commonlib/peer/TaskMetaFile.h"
#include "platform/sync/ThreadChecker.h"

struct DownloadTaskParams {
    std::wstring md5;
    std::wstring cdnHost;
    std::wstring url;
    std::wstring fallbackAddresses;  // ";"-separated
    std::wstring localPath;
    std::int64_t size = 0;
    void* user = nullptr;
    std::int64_t minSpeed = 0;  // bytes per second; 0 never turns to the CDN
    std::string requestText;
};

class CDownloadTask final : public CDownloadPeer::IOwner {
public:
    enum class State { Idle, Running, Done, Stopped };

    CDownloadTask(DownloadTaskParams params, CHttpEngine& engine, DAEventListener& listener);
    ~CDownloadTask();
    CDownloadTask(const CDownloadTask&) = delete;
    CDownloadTask& operator=(const CDownloadTask&) = delete;

    // May end the task (OnTaskDone) before it returns.
    void Start();
    // Cancels the transfers, records the remaining gaps and closes the file; no callback follows.
    void Stop();
    // The 1-second step: speed, the switch to the fallback CDN, the resume file.
    void OnTick(std::uint64_t nowMs);

    const DownloadTaskParams& Params() const {
        XJ_ASSERT_ON_THREAD(m_thread);
        return m_params;
    }
    State GetState() const {
        XJ_ASSERT_ON_THREAD(m_thread);
        return m_state;
    }
    std::uint64_t Total() const { return static_cast<std::uint64_t>(std::max<std::int64_t>(m_params.size, 0)); }
    std::uint64_t Completed() const;
    std::uint64_t Speed() const { return m_speed; }
    bool UsingCdn() const { return m_usingCdn; }

    // Builds the task's report and hands it to the download log, unless reports are off.
    void SendReport();
    ProtoValue BuildReport() const;
    void SetReportEnabled(bool enabled) {
        XJ_ASSERT_ON_THREAD(m_thread);
        m_reportEnabled = enabled;
    }

private:
    void OnPeerDone(CDownloadPeer& peer, const CDownloadPeer::Outcome& outcome) override;
    void OnPeerProgress(CDownloadPeer& peer) override;
    bool PrepareFile();
    void StartPeers();
    // Gives an idle peer its next range: a free one, else a share of a stalled transfer's
    // whole range, else the far half of a slow one's tail.
    void Feed(CDownloadPeer& peer, std::uint64_t nowMs);
    // Every idle peer, `last` after the others (the one that just failed, so that another
    // takes its range).
    void FeedAll(std::uint64_t nowMs, CDownloadPeer* last);
    // Idle, not waiting for a retry, and with a source to fetch from.
    bool Ready(const CDownloadPeer& peer, std::uint64_t nowMs) const;
    // Ends a stalled transfer, if there is one, and shares its whole unwritten range among
    // the ready peers.
    void TakeOverStalled(const CDownloadPeer& taker, std::uint64_t nowMs);
    // A transfer that received nothing for the speed window fails its source when another
    // source is left.
    void FailOverStalled(std::uint64_t nowMs);
    // Ends the peer's transfer, keeping what of it is proven on disk, as a failure.
    void Drop(CDownloadPeer& peer, NetResult result, std::uint64_t nowMs);
    // A failed range: on the last source the peer waits before it tries again, and retires
    // once its retries are used up; otherwise it moves on to the next source at once.
    void RecordFailure(CDownloadPeer& peer, NetResult result, std::uint64_t nowMs);
    // A source is left after the peer's, one that gave no definitive refusal.
    bool HasSourceAfter(const CDownloadPeer& peer) const;
    // To the next source that gave no definitive refusal, or retired when there is none.
    void MoveOn(CDownloadPeer& peer);
    bool SourceRefused(const CDownloadPeer& peer) const;
    // Ends the task when the file is complete, or when no peer is busy and none is left to
    // try; a task never waits for nothing.
    void CheckEnd();
    const DownloadSource* SourceFor(const CDownloadPeer& peer) const;
    void SwitchToSinglePeer(CDownloadPeer& peer);
    void SwitchToCdn(std::uint64_t nowMs);
    // The peer's transfer would need at least the end-game time for the rest of its range
    // at the speed of its last window.
    bool IsSlow(int peerId, std::uint64_t nowMs) const;
    void SyncProgress();
    void SaveMeta(bool force);
    void Finish(NetResult result);
    void CancelAll();
    void Note(std::string line);

    platform::ThreadChecker m_thread;
    DownloadTaskParams m_params;
    CHttpEngine& m_engine;
    DAEventListener& m_listener;
    const DownloadTuning m_tuning;
    CDownloadSourceList m_sources;
    CTaskMetaFile m_meta;
    CRefPtr<CQVDownloadFileIO> m_file;
    std::optional<CBlockMap> m_map;
    std::vector<std::unique_ptr<CDownloadPeer>> m_peers;
    State m_state = State::Idle;
    NetResult m_result;
    NetResult m_lastFailure{NetResult::kProgram, kCodeNoSource};
    // Sources (and, last, the CDN) that refused the file for good.
    std::vector<bool> m_refused;
    // While the ready peers share a stalled transfer's range: the length of one share.
    std::uint64_t m_shareLength = 0;
    bool m_singlePeer = false;
    bool m_usingCdn = false;
    bool m_reportEnabled = true;
    int m_lowSpeedSeconds = 0;
    std::uint64_t m_lastSavedDone = 0;
    std::uint64_t m_lastTickDone = 0;
    std::uint64_t m_lastTickMs = 0;
    std::uint64_t m_speed = 0;
    std::uint64_t m_resumedBytes = 0;
    std::vector<std::string> m_notes;  // the report's error section, bounded
    std::vector<std::string> m_speedNotes;
};
