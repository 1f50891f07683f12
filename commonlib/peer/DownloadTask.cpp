#include "commonlib/peer/DownloadTask.h"

#include <algorithm>

#include "commonlib/peer/DownloadLogging.h"
#include "commonlib/peer/DownloadReports.h"
#include "commonlib/util/StringUtils.h"

namespace {

constexpr size_t kMaxReportNotes = 64;

std::string PairText(NetResult result) {
    return "et:" + std::to_string(result.type) + " ec:" + std::to_string(result.code);
}

// The server says the file is not there for us, and will not be on a retry.
bool IsDefinitive(NetResult result) {
    return result.type == NetResult::kHttp && (result.code == 403 || result.code == 404 || result.code == 410);
}

std::string SourceText(const DownloadSource& source) {
    std::string text = source.url;
    if (source.pinnedAddress.empty()) return text;
    text.append(" @").append(source.pinnedAddress);
    if (source.pinnedPort) text.append(1, ':').append(std::to_string(source.pinnedPort));
    return text;
}

}  // namespace

CDownloadTask::CDownloadTask(DownloadTaskParams params, CHttpEngine& engine, DAEventListener& listener)
    : m_params(std::move(params)),
      m_engine(engine),
      m_listener(listener),
      m_tuning(GetDownloadTuning()),
      m_sources(m_params.url, m_params.fallbackAddresses, m_params.cdnHost),
      m_meta(CQVDownloadFileIO::TempPathOf(m_params.localPath)),
      m_refused(m_sources.Count() + 1, false) {}

CDownloadTask::~CDownloadTask() {
    CancelAll();
    if (m_file) m_file->Close();
}

std::uint64_t CDownloadTask::Completed() const {
    XJ_ASSERT_ON_THREAD(m_thread);
    return m_map ? m_map->DoneBytes() : 0;
}

void CDownloadTask::Note(std::string line) {
    DL_LOG_INFO(line);
    if (m_notes.size() < kMaxReportNotes) m_notes.push_back(std::move(line));
}

void CDownloadTask::Start() {
    XJ_ASSERT_ON_THREAD(m_thread);
    if (m_state != State::Idle) return;
    m_state = State::Running;
    if (m_params.size <= 0) {
        Finish({NetResult::kProgram, kCodeNothingToFetch});
        return;
    }
    if (!m_sources.IsUsable()) {
        Finish({NetResult::kProgram, kCodeNoSource});
        return;
    }
    if (!m_engine.IsRunning()) {
        Finish({NetResult::kProgram, kCodeCannotStart});
        return;
    }
    if (!PrepareFile()) return;
    if (m_map->IsComplete()) {
        Finish({});
        return;
    }
    StartPeers();
}

bool CDownloadTask::PrepareFile() {
    const std::uint64_t size = Total();
    m_file = new CQVDownloadFileIO(m_params.localPath);
    std::vector<ByteRange> gaps;
    const auto loaded = m_meta.Load(size, m_params.md5, gaps);
    if (loaded == CTaskMetaFile::LoadResult::Loaded && m_file->Open(size, CQVDownloadFileIO::OpenMode::Resume) == 0) {
        m_map.emplace(size, m_tuning.blockSize, gaps);
        m_resumedBytes = m_map->DoneBytes();
        Note("resume: " + std::to_string(m_resumedBytes) + " of " + std::to_string(size) + " bytes on disk");
    } else {
        if (loaded == CTaskMetaFile::LoadResult::Corrupt || loaded == CTaskMetaFile::LoadResult::Foreign) {
            DL_LOG_WARN("resume file discarded (" +
                        std::string(loaded == CTaskMetaFile::LoadResult::Corrupt ? "corrupt" : "other download") +
                        "): " + WideToUtf8(m_meta.Path()));
        } else if (loaded == CTaskMetaFile::LoadResult::Loaded) {
            DL_LOG_WARN("temporary file does not match its resume file; starting over");
        }
        m_meta.Remove();
        if (const DWORD error = m_file->Open(size, CQVDownloadFileIO::OpenMode::Fresh); error != 0) {
            Note("cannot create the temporary file: " + std::to_string(error));
            Finish({NetResult::kSystem, static_cast<int>(error)});
            return false;
        }
        m_map.emplace(size, m_tuning.blockSize);
    }
    m_lastSavedDone = m_lastTickDone = m_map->DoneBytes();
    // Recorded before the first byte arrives, so a temporary file never exists without its
    // resume file once the download has begun.
    SaveMeta(true);
    return m_state == State::Running;
}

void CDownloadTask::StartPeers() {
    const int count = std::max(1, m_tuning.peerCount);
    for (int i = static_cast<int>(m_peers.size()); i < count; ++i) {
        m_peers.push_back(std::make_unique<CHttpDownloadPeer>(i, *this, m_engine, m_file, Total()));
    }
    FeedAll(DownloadNowMs(), nullptr);
}

const DownloadSource* CDownloadTask::SourceFor(const CDownloadPeer& peer) const {
    if (m_usingCdn) return m_sources.Cdn() ? &*m_sources.Cdn() : nullptr;
    if (peer.SourceIndex() >= m_sources.Count()) return nullptr;
    return &m_sources.At(peer.SourceIndex());
}

void CDownloadTask::FeedAll(std::uint64_t nowMs, CDownloadPeer* last) {
    m_shareLength = 0;
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t i = 0; i < m_peers.size() && m_state == State::Running; ++i) {
            if (m_peers[i].get() != last) Feed(*m_peers[i], nowMs);
        }
        if (last && m_state == State::Running) Feed(*last, nowMs);
        // Peers passed over before a stalled range came free take their shares too.
        if (m_shareLength == 0 || m_state != State::Running || !m_map->HasFree()) break;
    }
    m_shareLength = 0;
}

bool CDownloadTask::Ready(const CDownloadPeer& peer, std::uint64_t nowMs) const {
    return !peer.IsBusy() && !peer.Retired() && nowMs >= peer.RetryDueMs() && (!m_singlePeer || peer.Id() == 0) &&
           SourceFor(peer) != nullptr;
}

void CDownloadTask::Feed(CDownloadPeer& peer, std::uint64_t nowMs) {
    if (m_state != State::Running || peer.IsBusy() || peer.Retired()) return;
    // Another peer was refused there for good.
    if (SourceRefused(peer)) MoveOn(peer);
    if (!Ready(peer, nowMs) || m_map->IsComplete()) return;
    const DownloadSource* source = SourceFor(peer);
    std::optional<ByteRange> range;
    if (m_singlePeer) {
        // Without ranges the whole file comes again from its first byte.
        m_map->Release(peer.Id());
        m_map.emplace(Total(), Total());
        range = m_map->Assign(peer.Id(), 0);
    } else {
        range = m_map->AssignmentOf(peer.Id());
        if (!range && !m_map->HasFree()) TakeOverStalled(peer, nowMs);
        if (!range) {
            range = m_map->Assign(
                peer.Id(), m_tuning.minSplitBytes, [&](int id) { return IsSlow(id, nowMs); }, m_shareLength);
        }
        if (!range) return;
        // The split-off tail of another peer's range: that transfer stops where this begins.
        for (auto& other : m_peers) {
            if (other.get() == &peer || !other->IsBusy()) continue;
            if (auto theirs = m_map->AssignmentOf(other->Id())) other->CutTo(theirs->Length());
        }
    }
    if (!range) return;
    if (!peer.Fetch(*source, *range, !m_singlePeer)) {
        m_map->Release(peer.Id());
        Finish({NetResult::kProgram, kCodeCannotStart});
    }
}

void CDownloadTask::TakeOverStalled(const CDownloadPeer& taker, std::uint64_t nowMs) {
    for (auto& other : m_peers) {
        if (other.get() == &taker || !other->Stalled(nowMs, m_tuning.speedWindowMs)) continue;
        Drop(*other, {NetResult::kProgram, kCodeInactive}, nowMs);
        // Departs from the original behaviour: the ready peers share the whole range at once
        // instead of taking it over by halves, once a second.
        const std::uint64_t ready = static_cast<std::uint64_t>(std::count_if(
            m_peers.begin(), m_peers.end(), [&](const std::unique_ptr<CDownloadPeer>& p) { return Ready(*p, nowMs); }));
        const std::uint64_t left = m_map->FreeBytes();
        m_shareLength = std::max<std::uint64_t>(
            {(left + ready - 1) / std::max<std::uint64_t>(ready, 1), m_tuning.minSplitBytes, 1});
        Note("peer " + std::to_string(other->Id()) + " received nothing for " + std::to_string(m_tuning.speedWindowMs) +
             " ms; " + std::to_string(ready) + " peers share its " + std::to_string(left) + " bytes");
        return;
    }
}

void CDownloadTask::FailOverStalled(std::uint64_t nowMs) {
    for (auto& peer : m_peers) {
        if (!peer->Stalled(nowMs, m_tuning.speedWindowMs) || !HasSourceAfter(*peer)) continue;
        // Departs from the original behaviour: silence for the speed window fails the source
        // at once when another is left, instead of waiting out the inactivity limit each retry.
        Note("peer " + std::to_string(peer->Id()) + " received nothing for " + std::to_string(m_tuning.speedWindowMs) +
             " ms; its source counts as failed");
        Drop(*peer, {NetResult::kProgram, kCodeInactive}, nowMs);
    }
}

void CDownloadTask::Drop(CDownloadPeer& peer, NetResult result, std::uint64_t nowMs) {
    m_map->SetWritten(peer.Id(), peer.Cancel());
    m_map->Release(peer.Id());
    RecordFailure(peer, result, nowMs);
}

bool CDownloadTask::IsSlow(int peerId, std::uint64_t nowMs) const {
    const auto it = std::find_if(m_peers.begin(), m_peers.end(),
                                 [&](const std::unique_ptr<CDownloadPeer>& p) { return p->Id() == peerId; });
    const auto range = m_map->AssignmentOf(peerId);
    if (it == m_peers.end() || !(*it)->IsBusy() || !range) return false;
    // A transfer gone quiet is not halved once a second: once its silence has lasted the
    // speed window, its whole range is shared among the idle peers.
    if ((*it)->Quiet()) return false;
    const std::uint64_t rest = range->Length() - std::min((*it)->Received(), range->Length());
    const CDownloadPeer::Progress recent = (*it)->RecentProgress(nowMs);
    if (recent.bytes == 0) return recent.spanMs >= m_tuning.endGameMs;
    // Time the rest would take at the speed of the last window.
    return rest * recent.spanMs / recent.bytes >= m_tuning.endGameMs;
}

void CDownloadTask::SyncProgress() {
    if (!m_map) return;
    for (auto& peer : m_peers) {
        if (peer->IsBusy()) m_map->SetWritten(peer->Id(), peer->Written());
    }
}

void CDownloadTask::SaveMeta(bool force) {
    if (!m_map || m_state == State::Done) return;
    SyncProgress();
    const std::uint64_t done = m_map->DoneBytes();
    const std::uint64_t step =
        std::max<std::uint64_t>(Total() / std::max<std::uint64_t>(m_tuning.metaSaveFraction, 1), 1);
    if (!force && done < m_lastSavedDone + step) return;
    if (const DWORD error = m_meta.Save(Total(), m_params.md5, m_map->Gaps()); error != 0) {
        // The download goes on; only a restart would fetch more than needed.
        DL_LOG_WARN("resume file not written: " + std::to_string(error));
        return;
    }
    m_lastSavedDone = done;
}

void CDownloadTask::OnPeerDone(CDownloadPeer& peer, const CDownloadPeer::Outcome& outcome) {
    XJ_ASSERT_ON_THREAD(m_thread);
    if (m_state != State::Running) return;
    const NetResult result = outcome.result;
    if (!outcome.serverAddress.empty() && outcome.serverAddress != peer.LastAddress()) {
        peer.SetLastAddress(outcome.serverAddress);
        m_listener.OnServerAddress(*this, outcome.serverAddress);
    }
    const DownloadSource* source = SourceFor(peer);
    if (source && !outcome.effectiveUrl.empty() && outcome.effectiveUrl != source->url) {
        m_listener.OnRedirect(*this, outcome.effectiveUrl);
    }
    m_listener.OnPeerDone(*this, peer.Id(), result);
    if (m_state != State::Running) return;

    // Whatever of the range is proven on disk is kept, also after a failure.
    m_map->SetWritten(peer.Id(), outcome.written);
    m_map->Release(peer.Id());
    const std::uint64_t now = DownloadNowMs();
    if (result.Ok()) {
        peer.SetFailures(0);
    } else if (result.type == NetResult::kSystem) {
        Note("file write failed: " + PairText(result));
        Finish(result);
        return;
    } else if (outcome.rangeIgnored && result.code == kCodeNoRangeSupport && !m_singlePeer) {
        SwitchToSinglePeer(peer);
        CheckEnd();
        return;
    } else {
        RecordFailure(peer, result, now);
    }
    if (m_map->IsComplete()) {
        Finish({});
        return;
    }
    SaveMeta(false);
    FeedAll(now, &peer);
    CheckEnd();
}

void CDownloadTask::RecordFailure(CDownloadPeer& peer, NetResult result, std::uint64_t nowMs) {
    m_lastFailure = result;
    const DownloadSource* source = SourceFor(peer);
    Note("peer " + std::to_string(peer.Id()) + " " + (source ? SourceText(*source) : std::string("?")) + " " +
         PairText(result));
    const std::vector<std::uint32_t>& delays = m_tuning.retryDelaysMs;
    const int failures = peer.Failures() + 1;
    if (IsDefinitive(result)) {
        // Departs from the original behaviour: such an answer is not retried; it ends the
        // source for every peer.
        m_refused[m_usingCdn ? m_sources.Count() : peer.SourceIndex()] = true;
        MoveOn(peer);
    } else if (HasSourceAfter(peer)) {
        // Departs from the original behaviour: the retry delays are for the last source; with
        // another one left the peer moves there at once.
        MoveOn(peer);
    } else if (static_cast<size_t>(failures) <= delays.size()) {
        peer.SetFailures(failures);
        peer.SetRetryDueMs(nowMs + delays[static_cast<size_t>(failures) - 1]);
    } else {
        MoveOn(peer);
    }
    if (!peer.Retired()) m_listener.OnRetry(*this, peer.Id(), result);
}

bool CDownloadTask::SourceRefused(const CDownloadPeer& peer) const {
    const size_t index = m_usingCdn ? m_sources.Count() : peer.SourceIndex();
    return index < m_refused.size() && m_refused[index];
}

bool CDownloadTask::HasSourceAfter(const CDownloadPeer& peer) const {
    if (m_usingCdn) return false;
    for (size_t i = peer.SourceIndex() + 1; i < m_sources.Count(); ++i) {
        if (!m_refused[i]) return true;
    }
    return false;
}

void CDownloadTask::MoveOn(CDownloadPeer& peer) {
    peer.SetFailures(0);
    peer.SetRetryDueMs(0);
    if (m_usingCdn) {
        peer.Retire();
        return;
    }
    size_t next = peer.SourceIndex() + 1;
    while (next < m_sources.Count() && m_refused[next])
        ++next;
    peer.SetSourceIndex(next);
    if (next >= m_sources.Count()) {
        peer.Retire();
    } else {
        m_listener.OnAddressChange(*this, peer.Id(), SourceText(m_sources.At(next)));
    }
}

void CDownloadTask::CheckEnd() {
    if (m_state != State::Running) return;
    if (m_map->IsComplete()) {
        Finish({});
        return;
    }
    const bool anyBusy = std::any_of(m_peers.begin(), m_peers.end(),
                                     [](const std::unique_ptr<CDownloadPeer>& p) { return p->IsBusy(); });
    // A peer waiting for its retry is fed on the 1-second step.
    const bool anyLeft = std::any_of(m_peers.begin(), m_peers.end(), [&](const std::unique_ptr<CDownloadPeer>& p) {
        return !p->Retired() && (!m_singlePeer || p->Id() == 0);
    });
    if (!anyBusy && !anyLeft) Finish({NetResult::kProgram, m_lastFailure.code});
}

void CDownloadTask::OnPeerProgress(CDownloadPeer&) {
    XJ_ASSERT_ON_THREAD(m_thread);
    if (m_state == State::Running) SaveMeta(false);
}

void CDownloadTask::SwitchToSinglePeer(CDownloadPeer& peer) {
    Note("server ignores ranges; one connection fetches the whole file");
    m_singlePeer = true;
    CancelAll();
    m_map.emplace(Total(), Total());
    SaveMeta(true);
    // The peer that saw the full answer keeps its source; the others stay idle. Peer 0 carries
    // the download now, so one that had given up on its own sources starts afresh.
    if (peer.Id() != 0) {
        if (m_peers[0]->Retired())
            m_peers[0] = std::make_unique<CHttpDownloadPeer>(0, *this, m_engine, m_file, Total());
        m_peers[0]->SetSourceIndex(peer.SourceIndex());
    }
    m_peers[0]->SetRetryDueMs(0);
    m_listener.OnRetry(*this, 0, {NetResult::kProgram, kCodeNoRangeSupport});
    Feed(*m_peers[0], DownloadNowMs());
}

void CDownloadTask::SwitchToCdn(std::uint64_t nowMs) {
    const DownloadSource& cdn = *m_sources.Cdn();
    Note("speed below " + std::to_string(m_params.minSpeed) + " B/s for " + std::to_string(m_lowSpeedSeconds) +
         " s; switching to " + cdn.url);
    SyncProgress();
    CancelAll();
    m_usingCdn = true;
    m_lowSpeedSeconds = 0;
    for (auto& peer : m_peers) {
        peer->SetFailures(0);
        peer->SetRetryDueMs(0);
        if (!m_singlePeer || peer->Id() == 0) {
            // Peers that gave up on the old sources get a fresh start on the new one.
            if (peer->Retired())
                peer = std::make_unique<CHttpDownloadPeer>(peer->Id(), *this, m_engine, m_file, Total());
            m_listener.OnAddressChange(*this, peer->Id(), cdn.url);
        }
    }
    FeedAll(nowMs, nullptr);
}

void CDownloadTask::OnTick(std::uint64_t nowMs) {
    XJ_ASSERT_ON_THREAD(m_thread);
    if (m_state != State::Running || !m_map) return;
    SyncProgress();
    const std::uint64_t done = m_map->DoneBytes();
    const std::uint64_t elapsed = m_lastTickMs == 0 ? 1000 : std::max<std::uint64_t>(nowMs - m_lastTickMs, 1);
    m_speed = (done - std::min(done, m_lastTickDone)) * 1000 / elapsed;
    m_lastTickDone = done;
    m_lastTickMs = nowMs;
    if (m_speedNotes.size() < kMaxReportNotes) m_speedNotes.push_back(std::to_string(m_speed));
    for (auto& peer : m_peers)
        peer->SampleProgress(nowMs, m_tuning.speedWindowMs);
    FailOverStalled(nowMs);
    // Idle peers whose retry is due start again; others look for a stalled or slow transfer
    // to take over.
    FeedAll(nowMs, nullptr);
    if (m_state != State::Running) return;
    if (m_params.minSpeed > 0 && m_sources.Cdn() && !m_usingCdn) {
        m_lowSpeedSeconds = m_speed < static_cast<std::uint64_t>(m_params.minSpeed) ? m_lowSpeedSeconds + 1 : 0;
        if (m_lowSpeedSeconds >= m_tuning.lowSpeedSeconds) SwitchToCdn(nowMs);
    }
    CheckEnd();
    if (m_state == State::Running) SaveMeta(true);
}

void CDownloadTask::CancelAll() {
    for (auto& peer : m_peers) {
        const std::uint64_t written = peer->Cancel();
        if (m_map) {
            m_map->SetWritten(peer->Id(), written);
            m_map->Release(peer->Id());
        }
    }
}

void CDownloadTask::Stop() {
    XJ_ASSERT_ON_THREAD(m_thread);
    if (m_state != State::Running) {
        if (m_state == State::Idle) m_state = State::Stopped;
        return;
    }
    CancelAll();
    SaveMeta(true);
    if (m_file) m_file->Close();
    m_state = State::Stopped;
}

void CDownloadTask::Finish(NetResult result) {
    if (m_state != State::Running) return;
    CancelAll();
    if (result.Ok()) {
        if (const DWORD error = m_file ? m_file->MoveToFinal() : 0; error != 0) {
            // The temporary file and its resume file stay, so the next attempt only moves it.
            Note("move to the final name failed: " + std::to_string(error));
            SaveMeta(true);
            result = {NetResult::kSystem, static_cast<int>(error)};
        } else {
            m_meta.Remove();
        }
    } else {
        SaveMeta(true);
        if (m_file) m_file->Close();
    }
    m_state = State::Done;
    m_result = result;
    DL_LOG_INFO("download of " + WideToUtf8(m_params.url) + " ended " + PairText(result));
    SendReport();
    m_listener.OnTaskDone(*this, result);
}

ProtoValue CDownloadTask::BuildReport() const {
    XJ_ASSERT_ON_THREAD(m_thread);
    std::string sources;
    for (size_t i = 0; i < m_sources.Count(); ++i)
        sources += SourceText(m_sources.At(i)) + "\n";
    if (m_sources.Cdn()) sources += "cdn " + m_sources.Cdn()->url + (m_usingCdn ? " (used)\n" : "\n");
    std::string peers;
    for (const auto& peer : m_peers) {
        peers += "peer " + std::to_string(peer->Id()) + " source " + std::to_string(peer->SourceIndex()) +
                 (peer->Retired() ? " retired" : "") + (peer->LastAddress().empty() ? "" : " " + peer->LastAddress()) +
                 "\n";
    }
    std::string speeds;
    for (const std::string& s : m_speedNotes)
        speeds += s + " ";
    std::string errors;
    for (const std::string& n : m_notes)
        errors += n + "\n";

    ProtoValue report(ProtoValue::Type::Map);
    report[L"url"] = ProtoValue(m_params.url);
    report[L"size"] = ProtoValue(m_params.size);
    report[L"md5"] = ProtoValue(m_params.md5);
    report[L"et"] = ProtoValue(m_result.type);
    report[L"ec"] = ProtoValue(m_result.code);
    report[L"complete"] = ProtoValue(static_cast<std::int64_t>(Completed()));
    report[L"resumed"] = ProtoValue(static_cast<std::int64_t>(m_resumedBytes));
    report[L"request"] = ProtoValue(m_params.requestText);
    ProtoValue log(ProtoValue::Type::Array);
    log.append(ProtoValue("sources:\n" + sources));
    log.append(ProtoValue("peers:\n" + peers));
    log.append(ProtoValue("speeds:\n" + speeds));
    log.append(ProtoValue("errors:\n" + errors));
    report[L"log"] = std::move(log);
    return report;
}

void CDownloadTask::SendReport() {
    XJ_ASSERT_ON_THREAD(m_thread);
    if (!m_reportEnabled) return;
    SubmitDownloadRecord(BuildReport());
}
