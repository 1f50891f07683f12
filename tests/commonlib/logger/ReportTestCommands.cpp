#include "ReportTestCommands.h"

#include "commonlib/http/HttpEngine.h"
#include "commonlib/http/HttpMgr.h"
#include "platform/sync/Thread.h"
#include "support/MessagePump.h"

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

ScopedCommandEngine::ScopedCommandEngine(std::function<void()> release)
    : m_release(std::move(release)), m_started(InitHttpCommandMgr()) {}

ScopedCommandEngine::~ScopedCommandEngine() {
    m_release();
    UninitHttpCommandMgr();
}

bool PumpReportsUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    return testsupport::PumpMessagesUntil(
        [&] {
            if (CHttpMgr* mgr = GetHttpCommandMgr()) {
                mgr->CheckTimeouts();
                mgr->StartDueRequests();
            }
            return done();
        },
        timeout);
}
