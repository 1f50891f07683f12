#include "ReportTestCommands.h"

#include <curl/curl.h>

#include "commonlib/thread/MainThreadTask.h"
#include "commonlib/util/StringUtils.h"
#include "platform/sync/Thread.h"

void FakeCommandLog::Complete(int type, int code, const std::string& response) {
    if (!active) return;
    active = false;
    done(user, response, type, code);
}

FakeReportCommand::~FakeReportCommand() {
    if (m_log->active) ++m_log->deletedWhileActive;
}

bool FakeReportCommand::Post(const std::wstring& url, std::string body, ReportPostDone done, void* user) {
    if (m_log->refuse || m_log->active) return false;
    m_log->posts.push_back({url, std::move(body), m_headers, m_form, GetCurrentThreadId()});
    m_log->active = true;
    m_log->done = done;
    m_log->user = user;
    return true;
}

void FakeReportCommand::Stop() {
    ++m_log->stops;
    m_log->active = false;
}

ScopedFakeCommands::ScopedFakeCommands() {
    auto shared = log;
    m_previous = SetReportCommandFactory([shared] { return std::make_unique<FakeReportCommand>(shared); });
}

ScopedFakeCommands::~ScopedFakeCommands() {
    SetReportCommandFactory(std::move(m_previous));
}

namespace {

struct CurlOutcome {
    std::atomic<bool> stopped{false};
};

size_t CollectBody(char* data, size_t size, size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

int AbortWhenStopped(void* state, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<CurlOutcome*>(state)->stopped.load() ? 1 : 0;
}

void DeliverOnUiThread(std::shared_ptr<CurlOutcome> outcome, ReportPostDone done, void* user, std::string response,
                       int type, int code) {
    if (!outcome->stopped) done(user, response, type, code);
}

class CurlReportCommand : public IReportCommand {
public:
    ~CurlReportCommand() override { Stop(); }

    void ClearHeaders() override { m_headers.clear(); }
    void AddHeader(std::string line) override { m_headers.push_back(std::move(line)); }
    void ClearFormFields() override { m_form.clear(); }
    void AddFormField(std::string name, std::string value) override { m_form.emplace_back(name, value); }

    bool Post(const std::wstring& url, std::string body, ReportPostDone done, void* user) override {
        if (url.size() < 3) return false;
        if (m_outcome && !*m_finished) return false;
        if (m_thread.joinable()) m_thread.join();
        m_outcome = std::make_shared<CurlOutcome>();
        m_finished = std::make_shared<std::atomic<bool>>(false);
        m_thread = std::thread([outcome = m_outcome, finished = m_finished, url = WideToUtf8(url),
                                body = std::move(body), headers = m_headers, form = m_form, done, user] {
            std::string response;
            CURL* curl = curl_easy_init();
            curl_slist* list = nullptr;
            for (const auto& h : headers)
                list = curl_slist_append(list, h.c_str());
            curl_mime* mime = nullptr;
            curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
            curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
            curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list);
            if (form.empty()) {
                curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
                curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
            } else {
                mime = curl_mime_init(curl);
                for (const auto& [name, value] : form) {
                    curl_mimepart* part = curl_mime_addpart(mime);
                    curl_mime_name(part, name.c_str());
                    curl_mime_data(part, value.data(), value.size());
                }
                curl_easy_setopt(curl, CURLOPT_MIMEPOST, mime);
            }
            curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &CollectBody);
            curl_easy_setopt(curl, CURLOPT_WRITEDATA, &response);
            curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
            curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &AbortWhenStopped);
            curl_easy_setopt(curl, CURLOPT_XFERINFODATA, outcome.get());
            curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
            const CURLcode result = curl_easy_perform(curl);
            long status = 0;
            curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
            curl_mime_free(mime);
            curl_slist_free_all(list);
            curl_easy_cleanup(curl);
            int type = 0;
            int code = 0;
            if (result != CURLE_OK) {
                type = 5;
                code = result;
            } else if (status >= 400) {
                type = 4;
                code = static_cast<int>(status);
            }
            *finished = true;
            PostToMainThread(MakeMainThreadTask(&DeliverOnUiThread, outcome, done, user, response, type, code));
        });
        return true;
    }

    void Stop() override {
        if (m_outcome) m_outcome->stopped = true;
        if (m_thread.joinable()) m_thread.join();
        m_outcome.reset();
    }

private:
    std::vector<std::string> m_headers;
    std::vector<std::pair<std::string, std::string>> m_form;
    std::shared_ptr<CurlOutcome> m_outcome;
    std::shared_ptr<std::atomic<bool>> m_finished;
    std::thread m_thread;
};

}  // namespace

ScopedCurlCommands::ScopedCurlCommands() {
    m_previous = SetReportCommandFactory([] { return std::make_unique<CurlReportCommand>(); });
}

ScopedCurlCommands::~ScopedCurlCommands() {
    SetReportCommandFactory(std::move(m_previous));
}
