#include "commonlib/nettool/NetToolThread.h"

#include <utility>

#include "commonlib/thread/MainThreadTask.h"

namespace {

constexpr std::size_t kMinHostLength = 3;
constexpr DWORD kExitStopMs = 100;
// A worker that has left its loop only has to return, and a stopped one ends after its
// current probe (a traceroute hop takes up to 3 s); this bounds the wait for either.
constexpr DWORD kFinishingWorkerWaitMs = 5000;

template <typename Task>
std::unique_ptr<Task> MakeTask(const std::string& host, void* user, NetToolCallback callback,
                               const NetToolOptions& options) {
    auto task = std::make_unique<Task>();
    task->host = host;
    task->user = user;
    task->callback = callback;
    task->options = options;
    return task;
}

}  // namespace

struct CNetToolThread::State {
    CLock lock;  // guards every field below
    std::deque<std::unique_ptr<CNetToolTask>> queue;
    bool workerActive = false;
    bool stopping = false;
    CNetToolTask* current = nullptr;
    NetToolOptions options;
    std::string defaultResolvers;
};

bool CNSLookUpTask::Run() {
    const NetToolResult result = RunNsLookup(host, resolverList, &stop, options.dns);
    if (result.post) PostNetToolResult(callback, result.code, user, host, result.text);
    return result.post && result.code == 0;
}

bool CTraceRootTask::Run() {
    const NetToolResult result = RunTraceRoute(host, &stop, options.trace);
    if (result.post) PostNetToolResult(callback, result.code, user, host, result.text);
    return result.post;
}

bool CPingTask::Run() {
    const NetToolResult result = RunPing(host, &stop, options.ping);
    if (result.post) PostNetToolResult(callback, result.code, user, host, result.text);
    return result.post;
}

bool PostNetToolResult(NetToolCallback callback, int code, void* user, const std::string& host,
                       const std::string& text) {
    if (!callback) return false;
    return PostToMainThread(MakeMainThreadTask(callback, code, user, host, text));
}

CNetToolThread::CNetToolThread() : m_state(std::make_shared<State>()) {}

CNetToolThread::~CNetToolThread() {
    Stop(kExitStopMs);  // a worker still running afterwards is logged and left to end by itself
}

bool CNetToolThread::AddNSLookUpTask(const std::string& host, void* user, NetToolCallback callback) {
    // Departs from the original behaviour, which asked the built-in public resolvers here:
    // the program's own resolvers are asked, as by every other lookup.
    std::string resolvers;
    {
        CAutoLock lock(m_state->lock);
        resolvers = m_state->defaultResolvers;
    }
    return AddNSLookUpTaskWithServers(host, resolvers, user, callback);
}

bool CNetToolThread::AddNSLookUpTaskWithServers(const std::string& host, const std::string& resolverList, void* user,
                                                NetToolCallback callback) {
    if (!user || host.size() < kMinHostLength) return false;
    auto task = MakeTask<CNSLookUpTask>(host, user, callback, CurrentOptions());
    task->resolverList = resolverList;
    return PushTask(std::move(task));
}

bool CNetToolThread::AddTraceRouteTask(const std::string& host, void* user, NetToolCallback callback) {
    if (host.size() < kMinHostLength) return false;
    return PushTask(MakeTask<CTraceRootTask>(host, user, callback, CurrentOptions()));
}

bool CNetToolThread::AddPingTask(const std::string& host, void* user, NetToolCallback callback) {
    if (host.size() < kMinHostLength) return false;
    return PushTask(MakeTask<CPingTask>(host, user, callback, CurrentOptions()));
}

NetToolOptions CNetToolThread::CurrentOptions() {
    CAutoLock lock(m_state->lock);
    return m_state->options;
}

void CNetToolThread::SetOptions(const NetToolOptions& options) {
    CAutoLock lock(m_state->lock);
    m_state->options = options;
}

void CNetToolThread::SetDefaultResolvers(std::string resolvers) {
    CAutoLock lock(m_state->lock);
    m_state->defaultResolvers = std::move(resolvers);
}

bool CNetToolThread::PushTask(std::unique_ptr<CNetToolTask> task) {
    {
        CAutoLock lock(m_state->lock);
        m_state->queue.push_back(std::move(task));
        if (m_state->workerActive && !m_state->stopping) return true;  // the running worker takes it
    }
    std::lock_guard startGuard(m_startMutex);
    {
        CAutoLock lock(m_state->lock);
        if (m_state->workerActive && !m_state->stopping) return true;  // another Add started one meanwhile
    }
    // A previous worker has left its loop for good, or leaves after its current probe:
    // wait for it, so that Start does not take it for a worker that still takes tasks.
    if (!CSimpleThread::Stop(kFinishingWorkerWaitMs)) return false;
    {
        CAutoLock lock(m_state->lock);
        m_state->workerActive = true;
        m_state->stopping = false;
    }
    if (!CSimpleThread::Start()) {
        CAutoLock lock(m_state->lock);
        m_state->workerActive = false;
        return false;
    }
    return true;
}

std::unique_ptr<CNetToolTask> CNetToolThread::PopTask(State& state) {
    CAutoLock lock(state.lock);
    if (state.stopping || state.queue.empty()) {
        state.workerActive = false;
        return nullptr;
    }
    std::unique_ptr<CNetToolTask> task = std::move(state.queue.front());
    state.queue.pop_front();
    state.current = task.get();
    return task;
}

bool CNetToolThread::Stop(DWORD timeoutMs) {
    {
        CAutoLock lock(m_state->lock);
        m_state->stopping = true;
        if (m_state->current) m_state->current->stop = true;
    }
    std::lock_guard startGuard(m_startMutex);
    return CSimpleThread::Stop(timeoutMs);
}

int CNetToolThread::Run() {
    // From here on only `state` is used, never `this`: at process exit the object may be
    // destroyed while a stopped task finishes its last probe.
    const std::shared_ptr<State> state = m_state;
    while (std::unique_ptr<CNetToolTask> task = PopTask(*state)) {
        task->Run();
        CAutoLock lock(state->lock);
        state->current = nullptr;
        // `task` is destroyed after the lock is released, at the end of this iteration.
    }
    std::function<void()> leaving;
    {
        CAutoLock lock(state->lock);
        leaving = state->options.workerLeaving;
    }
    if (leaving) leaving();
    return 0;
}
