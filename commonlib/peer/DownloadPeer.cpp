#include "commonlib/peer/DownloadPeer.h"

#include "commonlib/core/ProtoValue.h"
#include "commonlib/peer/DownloadLogging.h"
#include "commonlib/peer/DownloadReports.h"

CHttpDownloadPeer::CHttpDownloadPeer(int id, IOwner& owner, CRangeFetcher& fetcher, CRefPtr<CQVDownloadFileIO> file,
                                     std::uint64_t totalSize)
    : CDownloadPeer(id, owner), m_fetcher(fetcher), m_file(std::move(file)), m_totalSize(totalSize) {}

CHttpDownloadPeer::~CHttpDownloadPeer() {
    Cancel();
}

bool CHttpDownloadPeer::Fetch(const DownloadSource& source, ByteRange range, bool ranged) {
    if (m_request) return false;
    const DownloadTuning& tuning = GetDownloadTuning();
    CRangeRequest::Params params;
    params.url = source.url;
    params.pinnedAddress = source.pinnedAddress;
    params.offset = range.begin;
    params.length = range.Length();
    params.ranged = ranged;
    params.totalSize = m_totalSize;
    params.connectTimeoutMs = tuning.connectTimeoutMs;
    params.stallTimeoutMs = tuning.stallTimeoutMs;
    params.progressStepBytes = tuning.progressStepBytes;
    m_url = source.url;
    m_request = new CRangeRequest(
        std::move(params), m_file, [this](CRangeRequest& request) { Done(request); },
        [this] { Owner().OnPeerProgress(*this); });
    if (!m_fetcher.Add(m_request)) {
        m_request.Reset();
        return false;
    }
    return true;
}

void CHttpDownloadPeer::Cancel() {
    if (!m_request) return;
    m_fetcher.Cancel(m_request);
    m_request.Reset();
}

void CHttpDownloadPeer::CutTo(std::uint64_t length) {
    if (m_request) m_request->CutTo(length);
}

void CHttpDownloadPeer::Done(CRangeRequest& request) {
    CRefPtr<CRangeRequest> keep(&request);
    m_request.Reset();
    Outcome outcome;
    outcome.result = request.Result();
    outcome.rangeIgnored = request.RangeIgnored();
    outcome.effectiveUrl = request.EffectiveUrl();
    outcome.serverAddress = request.PrimaryIp();
    if (Analysis()) {
        ProtoValue report(ProtoValue::Type::Map);
        report[L"opt_result"] = ProtoValue(4);
        ProtoValue stats(ProtoValue::Type::Map);
        stats[L"msg"] = ProtoValue("url:" + m_url + ";\n");
        report[L"stats_rel"] = std::move(stats);
        const auto parts = ParseUrlParts(m_url);
        StartNetworkAnalysis(report, parts ? parts->host : std::string());
    }
    Owner().OnPeerDone(*this, outcome);
}
