#include "commonlib/peer/RangeFetcher.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "commonlib/peer/DownloadSources.h"
#include "commonlib/thread/MainThreadTask.h"
#include "platform/sync/KernelObject.h"
#include "platform/types/ErrorCodes.h"

namespace {

// Large receive chunks let the worker hand the file few, large writes.
constexpr long kReceiveBufferBytes = 512 * 1024;
constexpr int kPollMs = 100;
constexpr long kMaxRedirects = 5;

struct ContentRange {
    bool present = false;
    bool valid = false;
    std::uint64_t first = 0, last = 0, total = 0;
    bool totalKnown = false;
};

// "bytes first-last/total" with total possibly "*".
ContentRange ParseContentRange(std::string value) {
    ContentRange range;
    range.present = true;
    while (!value.empty() && (value.back() == '\r' || value.back() == '\n' || value.back() == ' '))
        value.pop_back();
    size_t pos = value.find_first_not_of(' ');
    if (pos == std::string::npos || value.compare(pos, 6, "bytes ") != 0) return range;
    pos += 6;
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
    if (pos < value.size() && value[pos] == '*' && pos + 1 == value.size()) {
        range.valid = range.first <= range.last;
        return range;
    }
    range.totalKnown = number(range.total) && pos == value.size();
    range.valid = range.totalKnown && range.first <= range.last && range.last < range.total;
    return range;
}

}  // namespace

struct RangeTransfer {
    CRefPtr<CRangeRequest> request;
    CURL* easy = nullptr;
    curl_slist* connectTo = nullptr;
    std::string contentRange;  // of the last response header block
    bool headersChecked = false;
    bool failed = false;  // m_result already holds the failure
    bool cutDone = false;
    std::uint64_t written = 0;

    void Fail(int type, int code) {
        if (failed) return;
        failed = true;
        request->m_result = NetResult{type, code};
    }

    // Decides from the status line and headers whether the body may be written.
    bool CheckHeaders() {
        headersChecked = true;
        const CRangeRequest::Params& p = request->m_params;
        long status = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        request->m_responseCode = status;
        curl_off_t contentLength = -1;
        curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &contentLength);
        if (status < 100 || status > 399) {
            Fail(NetResult::kHttp, static_cast<int>(status));
            return false;
        }
        if (p.ranged && status == 200) {
            // The server sends the whole file: the task decides whether one peer takes it.
            request->m_rangeIgnored = true;
            if (contentLength >= 0 && p.totalSize > 0 && static_cast<std::uint64_t>(contentLength) != p.totalSize) {
                Fail(NetResult::kHttp, kCodeLengthMismatch);
            } else {
                Fail(NetResult::kProgram, kCodeNoRangeSupport);
            }
            return false;
        }
        if (p.ranged) {
            if (status != 206) {
                Fail(NetResult::kProgram, kCodeNoRangeSupport);
                return false;
            }
            const ContentRange range = ParseContentRange(contentRange);
            if (!range.valid || range.first != p.offset || range.last + 1 != p.offset + p.length) {
                Fail(NetResult::kProgram, kCodeNoRangeSupport);
                return false;
            }
            if (range.totalKnown && p.totalSize > 0 && range.total != p.totalSize) {
                Fail(NetResult::kHttp, kCodeLengthMismatch);
                return false;
            }
            if (contentLength >= 0 && static_cast<std::uint64_t>(contentLength) != p.length) {
                Fail(NetResult::kHttp, kCodeLengthMismatch);
                return false;
            }
            return true;
        }
        if (status != 200 && status != 206) {
            Fail(NetResult::kHttp, static_cast<int>(status));
            return false;
        }
        if (contentLength >= 0 && p.totalSize > 0 && static_cast<std::uint64_t>(contentLength) != p.totalSize) {
            Fail(NetResult::kHttp, kCodeLengthMismatch);
            return false;
        }
        return true;
    }

    size_t OnBody(const char* data, size_t size) {
        if (request->m_cancelled.load(std::memory_order_relaxed)) return 0;
        if (!headersChecked && !CheckHeaders()) return 0;
        const std::uint64_t limit = request->m_limit.load(std::memory_order_acquire);
        const size_t take = static_cast<size_t>(std::min<std::uint64_t>(size, limit > written ? limit - written : 0));
        if (take > 0) {
            const DWORD error = request->m_file->WriteAt(request->m_params.offset + written, data, take);
            if (error != 0) {
                Fail(NetResult::kSystem, static_cast<int>(error));
                return 0;
            }
            written += take;
            request->m_written.store(written, std::memory_order_release);
            const std::uint64_t step = request->m_params.progressStepBytes;
            if (step > 0 && written / step != (written - take) / step && !request->m_progressQueued.exchange(true)) {
                PostToMainThread(MakeMainThreadTask(&CRangeRequest::DeliverProgress, request));
            }
        }
        if (take < size) {
            if (limit < request->m_params.length) {
                cutDone = true;  // the tail belongs to another peer now
            } else {
                Fail(NetResult::kHttp, kCodeLengthMismatch);  // more body than asked for
            }
            return 0;
        }
        return size;
    }

    void Finish(CURLcode code) {
        CRangeRequest& r = *request;
        char* effective = nullptr;
        if (curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective) {
            r.m_effectiveUrl = effective;
        }
        char* ip = nullptr;
        if (curl_easy_getinfo(easy, CURLINFO_PRIMARY_IP, &ip) == CURLE_OK && ip) r.m_primaryIp = ip;
        if (failed) return;
        if (cutDone) {
            r.m_result = {};
            return;
        }
        if (code != CURLE_OK) {
            if (code == CURLE_OPERATION_TIMEDOUT) {
                r.m_result = {NetResult::kProgram, kCodeNoActivity};
            } else {
                r.m_result = {NetResult::kCurl, static_cast<int>(code)};
            }
            return;
        }
        if (!headersChecked && !CheckHeaders()) return;
        const std::uint64_t wanted = std::min(r.m_limit.load(), r.m_params.length);
        if (r.m_params.ranged ? written != wanted : (r.m_params.totalSize > 0 && written != r.m_params.totalSize)) {
            r.m_result = {NetResult::kHttp, kCodeLengthMismatch};  // a short body the server closed as complete
            return;
        }
        r.m_result = {};
    }
};

namespace {

size_t WriteCallback(char* data, size_t size, size_t count, void* user) {
    return static_cast<RangeTransfer*>(user)->OnBody(data, size * count);
}

size_t HeaderCallback(char* data, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<RangeTransfer*>(user);
    const size_t length = size * count;
    std::string line(data, length);
    if (line.rfind("HTTP/", 0) == 0) {
        transfer->contentRange.clear();  // a new response (after a redirect or 100 Continue)
    } else if (line.size() > 14 && strncasecmp(line.c_str(), "content-range:", 14) == 0) {
        transfer->contentRange = line.substr(14);
    }
    return length;
}

std::string ConnectToEntry(const std::string& url, const std::string& address) {
    const auto parts = ParseUrlParts(url);
    if (!parts) return {};
    std::string target = address;
    if (target.find(':') != std::string::npos && target.front() != '[') target = "[" + target + "]";
    std::string host = parts->host;
    if (host.find(':') != std::string::npos) host = "[" + host + "]";
    return host + ":" + std::to_string(parts->port) + ":" + target + ":" + std::to_string(parts->port);
}

}  // namespace

CRangeRequest::CRangeRequest(Params params, CRefPtr<CQVDownloadFileIO> file, DoneCallback onDone,
                             ProgressCallback onProgress)
    : m_params(std::move(params)),
      m_file(std::move(file)),
      m_onDone(std::move(onDone)),
      m_onProgress(std::move(onProgress)),
      m_limit(m_params.length) {}

void CRangeRequest::DeliverProgress(CRefPtr<CRangeRequest> request) {
    request->m_progressQueued = false;
    if (!request->m_cancelled.load() && request->m_onDone && request->m_onProgress) request->m_onProgress();
}

void CRangeRequest::Deliver(CRefPtr<CRangeRequest> request) {
    // The callback may drop the last other reference to the request's owner.
    if (request->m_cancelled.load()) return;
    auto callback = std::move(request->m_onDone);
    request->m_onDone = nullptr;
    if (callback) callback(*request);
}

void CRangeRequest::CutTo(std::uint64_t length) {
    std::uint64_t current = m_limit.load();
    while (length < current && !m_limit.compare_exchange_weak(current, length)) {
    }
}

CRangeFetcher::CRangeFetcher() {
    static const CURLcode init = curl_global_init(CURL_GLOBAL_DEFAULT);
    (void)init;
    m_multi = curl_multi_init();
}

CRangeFetcher::~CRangeFetcher() {
    Stop();
    curl_multi_cleanup(static_cast<CURLM*>(m_multi));
}

bool CRangeFetcher::Start() {
    if (m_running) return true;
    if (!m_multi || !CSimpleThread::Start()) return false;
    m_running = true;
    return true;
}

void CRangeFetcher::Stop() {
    if (!m_running) return;
    m_running = false;
    {
        std::lock_guard lock(m_inboxMutex);
        for (auto& request : m_inbox)
            request->m_cancelled = true;
        m_inbox.clear();
    }
    // The worker checks its stop flag at least every poll interval; waking it only shortens that.
    Wake();
    CSimpleThread::Stop(INFINITE);
}

void CRangeFetcher::Wake() {
    if (m_multi) curl_multi_wakeup(static_cast<CURLM*>(m_multi));
}

bool CRangeFetcher::Add(const CRefPtr<CRangeRequest>& request) {
    if (!m_running || !request || request->m_started) return false;
    request->m_started = true;
    {
        std::lock_guard lock(m_inboxMutex);
        m_inbox.push_back(request);
    }
    Wake();
    return true;
}

void CRangeFetcher::Cancel(const CRefPtr<CRangeRequest>& request) {
    if (!request) return;
    request->m_cancelled = true;
    request->m_onDone = nullptr;
    request->m_onProgress = nullptr;
    Wake();
}

int CRangeFetcher::Run() {
    CURLM* multi = static_cast<CURLM*>(m_multi);
    const auto* stop = GetStopFlagPtr();
    std::vector<std::unique_ptr<RangeTransfer>> active;

    auto release = [&](RangeTransfer& t) {
        curl_multi_remove_handle(multi, t.easy);
        curl_easy_cleanup(t.easy);
        curl_slist_free_all(t.connectTo);
    };

    while (stop->load() == 0) {
        std::deque<CRefPtr<CRangeRequest>> incoming;
        {
            std::lock_guard lock(m_inboxMutex);
            incoming.swap(m_inbox);
        }
        for (auto& request : incoming) {
            auto t = std::make_unique<RangeTransfer>();
            t->request = request;
            t->easy = curl_easy_init();
            const CRangeRequest::Params& p = request->m_params;
            if (!t->easy) {
                t->Fail(NetResult::kSystem, ERROR_NOT_ENOUGH_MEMORY);
                PostToMainThread(MakeMainThreadTask(&CRangeRequest::Deliver, request));
                continue;
            }
            CURL* e = t->easy;
            curl_easy_setopt(e, CURLOPT_URL, p.url.c_str());
            curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
            curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
            curl_easy_setopt(e, CURLOPT_MAXREDIRS, kMaxRedirects);
            curl_easy_setopt(e, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
            curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, p.connectTimeoutMs);
            curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
            curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, std::max(1L, (p.stallTimeoutMs + 999) / 1000));
            curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &WriteCallback);
            curl_easy_setopt(e, CURLOPT_WRITEDATA, t.get());
            curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &HeaderCallback);
            curl_easy_setopt(e, CURLOPT_HEADERDATA, t.get());
            curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, nullptr);  // byte offsets must be the file's
            std::string range;
            if (p.ranged) {
                range = std::to_string(p.offset) + "-" + std::to_string(p.offset + p.length - 1);
                curl_easy_setopt(e, CURLOPT_RANGE, range.c_str());  // curl copies it
            }
            if (!p.pinnedAddress.empty()) {
                const std::string entry = ConnectToEntry(p.url, p.pinnedAddress);
                t->connectTo = curl_slist_append(nullptr, entry.c_str());
                curl_easy_setopt(e, CURLOPT_CONNECT_TO, t->connectTo);
            }
            curl_multi_add_handle(multi, e);
            active.push_back(std::move(t));
        }

        // Cancelled transfers end here, silently: their owner has forgotten them.
        for (auto it = active.begin(); it != active.end();) {
            if ((*it)->request->m_cancelled.load()) {
                release(**it);
                it = active.erase(it);
            } else {
                ++it;
            }
        }

        int running = 0;
        curl_multi_perform(multi, &running);
        int queued = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi, &queued)) {
            if (msg->msg != CURLMSG_DONE) continue;
            auto it = std::find_if(active.begin(), active.end(), [&](const std::unique_ptr<RangeTransfer>& t) {
                return t->easy == msg->easy_handle;
            });
            if (it == active.end()) continue;
            RangeTransfer& t = **it;
            t.Finish(msg->data.result);
            CRefPtr<CRangeRequest> request = t.request;
            release(t);
            active.erase(it);
            if (!request->m_cancelled.load()) PostToMainThread(MakeMainThreadTask(&CRangeRequest::Deliver, request));
        }
        curl_multi_poll(multi, nullptr, 0, kPollMs, nullptr);
    }
    for (auto& t : active) {
        t->request->m_cancelled = true;
        release(*t);
    }
    return 0;
}
