#include "commonlib/peer/DownloadPeer.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <cctype>

#include "commonlib/core/ProtoValue.h"
#include "commonlib/peer/DownloadReports.h"
#include "platform/sync/TimerClock.h"
#include "platform/window/MessageQueue.h"

namespace {

// Large receive chunks give the file few, large writes.
constexpr long kReceiveBufferBytes = 512 * 1024;

struct ContentRange {
    bool valid = false;
    std::uint64_t first = 0, last = 0, total = 0;
    bool totalKnown = false;
};

// "bytes first-last/total", total possibly "*".
ContentRange ParseContentRange(const std::string& value) {
    ContentRange range;
    size_t pos = 0;
    if (value.compare(0, 6, "bytes ") != 0) return range;
    pos = 6;
    auto number = [&](std::uint64_t& out) {
        const size_t start = pos;
        out = 0;
        while (pos < value.size() && value[pos] >= '0' && value[pos] <= '9') {
            if (out > (UINT64_MAX - 9) / 10) return false;
            out = out * 10 + static_cast<std::uint64_t>(value[pos++] - '0');
        }
        return pos > start;
    };
    if (!number(range.first) || pos >= value.size() || value[pos++] != '-') return range;
    if (!number(range.last) || pos >= value.size() || value[pos++] != '/') return range;
    if (value.compare(pos, std::string::npos, "*") == 0) {
        range.valid = range.first <= range.last;
        return range;
    }
    range.totalKnown = number(range.total) && pos == value.size();
    range.valid = range.totalKnown && range.first <= range.last && range.last < range.total;
    return range;
}

HttpResult LengthMismatch() {
    return HttpResult::Make(HttpResultType::HttpStatus, static_cast<int>(HttpProgramCode::LengthMismatch));
}

// The answer was not the bytes asked for: a status, length or range that does not fit.
bool NotTheFile(const HttpResult& result) {
    return result.type == static_cast<int>(HttpResultType::HttpStatus) ||
           result == HttpResult::Program(HttpProgramCode::NoRangeSupport);
}

}  // namespace

std::uint64_t DownloadNowMs() {
    return platform::TickCount64Of(*platform::CurrentThreadClock());
}

void CDownloadPeer::SampleProgress(std::uint64_t nowMs, std::uint64_t windowMs) {
    if (!IsBusy() || m_samples.empty()) return;
    m_samples.push_back({nowMs, Received()});
    while (m_samples.size() > 1 && m_samples[1].ms + windowMs <= nowMs)
        m_samples.pop_front();
}

CDownloadPeer::Progress CDownloadPeer::RecentProgress(std::uint64_t nowMs) const {
    if (!IsBusy() || m_samples.empty()) return {};
    const Sample& from = m_samples.front();
    const std::uint64_t received = Received();
    return {received - std::min(received, from.received), nowMs - std::min(nowMs, from.ms)};
}

bool CDownloadPeer::Stalled(std::uint64_t nowMs, std::uint64_t windowMs) const {
    const Progress progress = RecentProgress(nowMs);
    return IsBusy() && progress.spanMs >= windowMs && progress.bytes == 0;
}

bool CDownloadPeer::Quiet() const {
    const size_t count = m_samples.size();
    return IsBusy() && count >= 2 && m_samples[count - 2].received == m_samples[count - 1].received &&
           Received() == m_samples[count - 1].received;
}

// One range on the curl worker: checks the answer's headers, then hands the body to the
// file's writer for its offset. Its counters are read on the UI thread.
class CPeerTransfer final : public CCurlHttp {
public:
    CPeerTransfer(HttpRequestSettings settings, const CRefPtr<CQVDownloadFileIO>& file, std::uint64_t offset,
                  std::uint64_t length, std::uint64_t totalSize, int connectPort)
        : CCurlHttp(std::move(settings)),
          m_writer(file->WriterFor(offset, length)),
          m_offset(offset),
          m_length(length),
          m_totalSize(totalSize),
          m_connectPort(connectPort) {}

    // Body bytes taken for the file, on disk or on their way: what the speed is judged by.
    std::uint64_t Received() const { return m_writer->Accepted(); }
    // Body bytes on disk.
    std::uint64_t Stored() const { return m_writer->Stored(); }
    // Of those, the ones the headers proved to be the range asked for.
    std::uint64_t Proven() const { return m_proven.load(std::memory_order_acquire) ? Stored() : 0; }
    // Once they return, nothing lands beyond the new end, which another peer may own by then.
    void CutTo(std::uint64_t length) { m_writer->CutTo(length); }
    void Seal() { m_writer->Seal(); }
    // The server answered a range request with the whole file.
    bool RangeIgnored() const { return m_rangeIgnored; }

    bool Prepare(HttpResult* failure) override {
        if (!CCurlHttp::Prepare(failure)) return false;
        curl_easy_setopt(Handle(), CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
        curl_easy_setopt(Handle(), CURLOPT_ACCEPT_ENCODING, nullptr);  // offsets must be the file's
        if (m_connectPort > 0) {
            // The pinned address listens on a port of its own; the URL's host and port stay
            // what the server is asked for.
            const auto url = ParseUrlParts(Request().url);
            const std::string entry = url ? HostOfUrl(Request().url) + ":" + std::to_string(url->port) + ":" +
                                                Request().connectAddress + ":" + std::to_string(m_connectPort)
                                          : std::string();
            m_connectTo = url ? curl_slist_append(nullptr, entry.c_str()) : nullptr;
            if (!m_connectTo || curl_easy_setopt(Handle(), CURLOPT_CONNECT_TO, m_connectTo) != CURLE_OK) {
                *failure = HttpResult::Make(HttpResultType::Curl, CURLE_COULDNT_RESOLVE_HOST);
                ReleaseHandle();
                return false;
            }
        }
        return true;
    }
    void ReleaseHandle() override {
        CCurlHttp::ReleaseHandle();
        curl_slist_free_all(m_connectTo);
        m_connectTo = nullptr;
    }

protected:
    ~CPeerTransfer() override { ReleaseHandle(); }

    bool OnResponseHeaders(const HttpResponse& response) override {
        const long status = response.statusCode;
        if (status < 100 || status > 399) return Refuse(HttpResult::Make(HttpResultType::HttpStatus, status));
        const std::string lengthText = response.Header("Content-Length");
        const bool lengthKnown = !lengthText.empty();
        const std::uint64_t contentLength = lengthKnown ? std::strtoull(lengthText.c_str(), nullptr, 10) : 0;
        std::string encoding = response.Header("Content-Encoding");
        std::transform(encoding.begin(), encoding.end(), encoding.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        // Nothing was asked to be encoded, so an encoded body is some other bytes.
        if (!encoding.empty() && encoding != "identity") return Refuse(LengthMismatch());
        if (!Request().range) {
            if (status != 200 && status != 206) return Refuse(HttpResult::Make(HttpResultType::HttpStatus, status));
            if (lengthKnown && m_totalSize > 0 && contentLength != m_totalSize) return Refuse(LengthMismatch());
            // Without a length the body proves itself only by ending at the file's size.
            m_proven.store(lengthKnown && m_totalSize > 0, std::memory_order_release);
            return true;
        }
        if (status == 200) {
            // The whole file instead of the range: the task decides whether one peer takes it.
            m_rangeIgnored = true;
            if (lengthKnown && m_totalSize > 0 && contentLength != m_totalSize) return Refuse(LengthMismatch());
            return Refuse(HttpResult::Program(HttpProgramCode::NoRangeSupport));
        }
        const ContentRange range = ParseContentRange(response.Header("Content-Range"));
        if (status != 206 || !range.valid || range.first != m_offset || range.last + 1 != m_offset + m_length) {
            return Refuse(HttpResult::Program(HttpProgramCode::NoRangeSupport));
        }
        if (range.totalKnown && m_totalSize > 0 && range.total != m_totalSize) return Refuse(LengthMismatch());
        if (lengthKnown && contentLength != m_length) return Refuse(LengthMismatch());
        m_proven.store(lengthKnown && range.totalKnown && m_totalSize > 0, std::memory_order_release);
        return true;
    }

    bool OnBodyData(const char* data, std::size_t size) override {
        const CQVDownloadFileIO::CRangeWriter::Taken taken = m_writer->Append(data, size);
        if (taken.error != 0) return Refuse(HttpResult::Make(HttpResultType::System, static_cast<int>(taken.error)));
        if (taken.bytes == size) return true;
        // A cut range ends well once its new end is taken; anything else is too long.
        // A sealed transfer is being cancelled and reports nothing.
        return Refuse(m_writer->Sealed() || m_writer->Limit() < m_length ? HttpResult::Ok() : LengthMismatch());
    }

    // The owner hears of the end only once every byte taken is on disk (or failed to get there).
    HttpResult Finish(int code) override {
        const HttpResult result = CCurlHttp::Finish(code);
        if (const DWORD error = m_writer->Drain(); error != 0)
            return HttpResult::Make(HttpResultType::System, static_cast<int>(error));
        return result;
    }

private:
    bool Refuse(HttpResult result) {
        Fail(result);
        return false;
    }

    const CRefPtr<CQVDownloadFileIO::CRangeWriter> m_writer;
    const std::uint64_t m_offset;
    const std::uint64_t m_length;
    const std::uint64_t m_totalSize;
    const int m_connectPort;
    curl_slist* m_connectTo = nullptr;  // worker thread
    std::atomic<bool> m_proven{false};
    bool m_rangeIgnored = false;  // worker; read by the owner after the completion
};

CHttpDownloadPeer::CHttpDownloadPeer(int id, IOwner& owner, CHttpEngine& engine, CRefPtr<CQVDownloadFileIO> file,
                                     std::uint64_t totalSize)
    : CDownloadPeer(id, owner), CHttpBase(&engine), m_file(std::move(file)), m_totalSize(totalSize) {}

CHttpDownloadPeer::~CHttpDownloadPeer() {
    Cancel();
}

bool CHttpDownloadPeer::Fetch(const DownloadSource& source, ByteRange range, bool ranged) {
    if (m_transfer || IsActive()) return false;
    const DownloadTuning& tuning = GetDownloadTuning();
    m_range = range;
    m_ranged = ranged;
    m_url = source.url;
    m_connectPort = source.pinnedAddress.empty() ? 0 : source.pinnedPort;
    if (ranged) {
        SetRange(HttpByteRange{static_cast<std::int64_t>(range.begin), static_cast<std::int64_t>(range.Length())});
    } else {
        SetRange(std::nullopt);
    }
    SetExpectedLength(static_cast<std::int64_t>(range.Length()));
    SetTimeout(static_cast<DWORD>(tuning.stallTimeoutMs));
    MarkFetchStart(DownloadNowMs());
    if (!StartAttempt(BuildSettings(source.url, HttpMethod::Get, {}, source.pinnedAddress), 0)) {
        m_transfer.Reset();
        return false;
    }
    return true;
}

CRefPtr<CCurlHttp> CHttpDownloadPeer::CreateTransfer(HttpRequestSettings settings) {
    m_transfer =
        new CPeerTransfer(std::move(settings), m_file, m_range.begin, m_range.Length(), m_totalSize, m_connectPort);
    return m_transfer;
}

std::uint64_t CHttpDownloadPeer::Cancel() {
    std::uint64_t written = 0;
    if (m_transfer) {
        m_transfer->Seal();
        written = m_transfer->Proven();
    }
    Stop();
    m_transfer.Reset();
    return written;
}

std::uint64_t CHttpDownloadPeer::Written() const {
    return m_transfer ? m_transfer->Proven() : 0;
}

std::uint64_t CHttpDownloadPeer::Received() const {
    return m_transfer ? m_transfer->Received() : 0;
}

void CHttpDownloadPeer::CutTo(std::uint64_t length) {
    if (m_transfer) m_transfer->CutTo(length);
}

void CHttpDownloadPeer::OnAttemptProgress(const CCurlHttp&) {
    if (m_transfer) Owner().OnPeerProgress(*this);
}

void CHttpDownloadPeer::OnAttemptDone(const CRefPtr<CCurlHttp>&, HttpResult result) {
    CRefPtr<CPeerTransfer> transfer = m_transfer;
    if (!transfer) return;
    Done(*transfer, result);
}

void CHttpDownloadPeer::Done(const CPeerTransfer& transfer, HttpResult result) {
    Outcome outcome;
    outcome.result = NetResult{result.type, result.code};
    outcome.rangeIgnored = transfer.RangeIgnored();
    outcome.effectiveUrl = transfer.Response().effectiveUrl;
    outcome.serverAddress = transfer.Response().primaryIp;
    // A transfer that ended well has its length proven as well (or was cut where its range
    // now ends); one whose answer turned out not to be the file gives nothing at all.
    if (result.Succeeded()) {
        outcome.written = transfer.Stored();
    } else if (!NotTheFile(result)) {
        outcome.written = transfer.Proven();
    }
    m_transfer.Reset();
    if (Analysis()) {
        ProtoValue report(ProtoValue::Type::Map);
        report[L"opt_result"] = ProtoValue(4);
        ProtoValue stats(ProtoValue::Type::Map);
        stats[L"msg"] = ProtoValue("url:" + m_url + ";\n");
        report[L"stats_rel"] = std::move(stats);
        StartNetworkAnalysis(report, HostOfUrl(m_url));
    }
    Owner().OnPeerDone(*this, outcome);
}
