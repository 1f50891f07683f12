#include "commonlib/http/HttpEngine.h"

#include "commonlib/http/HttpReportCommand.h"
#include "commonlib/thread/MainThreadTask.h"
#include "platform/sync/KernelObject.h"

namespace {

std::unique_ptr<CHttpEngine>& CommandEngine() {
    static std::unique_ptr<CHttpEngine> engine;
    return engine;
}

}  // namespace

UiPoster MainThreadUiPoster() {
    return [](std::function<void()> work) { return PostToMainThread(MakeMainThreadTask(std::move(work))); };
}

CHttpEngine::CHttpEngine(UiPoster poster, int maxRunning)
    : m_mgr(std::make_unique<CHttpMgr>(m_workshop, std::move(poster), maxRunning)) {}

CHttpEngine::~CHttpEngine() {
    Stop();
}

bool CHttpEngine::Start() {
    XJ_ASSERT_ON_THREAD(m_threadChecker);
    if (m_running) return true;
    // Stop has freed the scheduler and ended the worker for good.
    if (!m_mgr) return false;
    m_running = m_workshop.Start();
    return m_running;
}

void CHttpEngine::Stop() {
    XJ_ASSERT_ON_THREAD(m_threadChecker);
    if (!m_mgr) return;
    m_workshop.Stop(INFINITE);
    m_mgr.reset();
    m_running = false;
}

bool CHttpEngine::IsRunning() const {
    XJ_ASSERT_ON_THREAD(m_threadChecker);
    return m_running;
}

CHttpMgr& CHttpEngine::Mgr() {
    XJ_ASSERT_ON_THREAD(m_threadChecker);
    return *m_mgr;
}

CCurlWorkshop& CHttpEngine::Workshop() {
    XJ_ASSERT_ON_THREAD(m_threadChecker);
    return m_workshop;
}

bool InitHttpCommandMgr(UiPoster poster) {
    auto& engine = CommandEngine();
    if (engine) return true;
    auto created = std::make_unique<CHttpEngine>(std::move(poster));
    if (!created->Start()) return false;
    engine = std::move(created);
    SetReportCommandMaker(&MakeHttpReportCommand);
    return true;
}

void UninitHttpCommandMgr() {
    auto& engine = CommandEngine();
    if (!engine) return;
    SetReportCommandMaker({});
    engine->Stop();
    engine.reset();
}

CHttpEngine* GetHttpCommandEngine() {
    return CommandEngine().get();
}

CHttpMgr* GetHttpCommandMgr() {
    CHttpEngine* engine = GetHttpCommandEngine();
    return engine && engine->IsRunning() ? &engine->Mgr() : nullptr;
}
