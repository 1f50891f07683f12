// The diagnostics thread: runs queued DNS lookups, traceroutes and pings one after
// another off the UI thread, and hands each result to its callback on the UI thread.
//
// The Add operations are called on the UI thread (or any one thread at a time); they
// start the worker when it is idle. The worker ends when it finds the queue empty; it
// decides that under the queue lock and marks itself idle there, so a task added at any
// moment is either taken by the running worker or starts a new one. Callbacks run on
// the UI thread through the UI-thread task queue, never on the worker; a task that was
// stopped posts nothing.
//
// Stop (also run by the destructor, with 100 ms) stops the task that runs between two
// probes and leaves the rest queued for the next start. Everything the worker touches
// lives in a block it holds a reference to, so a worker that outlives its stop time-out
// at process exit never reaches freed memory.
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "commonlib/core/Singleton.h"
#include "commonlib/nettool/NetToolTasks.h"
#include "commonlib/thread/Lock.h"
#include "commonlib/thread/SimpleThread.h"

// Probe settings the tasks are built with; tests shrink the time-outs and move the
// resolver port.
struct NetToolOptions {
    DnsQueryClient::Options dns;
    PingProbe::Options ping;
    TraceRouteOptions trace;
    // Called on the worker after it has found the queue empty, just before its thread
    // ends: tests hold the worker there to add a task at that moment.
    std::function<void()> workerLeaving;
};

class CNetToolTask {
public:
    virtual ~CNetToolTask() = default;
    // Runs the diagnosis and posts its result; the worker ignores the result.
    virtual bool Run() = 0;

    std::string host;  // host name or dotted IPv4 text (UTF-8)
    std::atomic<bool> stop{false};
    NetToolCallback callback = nullptr;
    void* user = nullptr;
    NetToolOptions options;
};

class CNSLookUpTask : public CNetToolTask {
public:
    bool Run() override;
    std::string resolverList;  // dotted IPv4 texts separated by ";"; empty: the built-in list
};

class CTraceRootTask : public CNetToolTask {
public:
    bool Run() override;
};

class CPingTask : public CNetToolTask {
public:
    bool Run() override;
};

// Posts `callback` (code, user, host, text) to the UI thread as a MainThreadTask4.
// False when there is no callback or the UI-thread queue is shut down.
bool PostNetToolResult(NetToolCallback callback, int code, void* user, const std::string& host,
                       const std::string& text);

class CNetToolThread : public CSimpleThread, public CSingleton<CNetToolThread> {
public:
    CNetToolThread();
    ~CNetToolThread() override;

    // AddNSLookUpTask asks the default resolvers (SetDefaultResolvers).
    // The Add operations refuse (false, nothing queued) a host shorter than 3 characters,
    // and, for lookups, a null `user`. Otherwise the task is queued and the result tells
    // whether a worker runs to take it: false only when no thread could be started (the
    // task stays queued and runs after the next successful start).
    bool AddNSLookUpTask(const std::string& host, void* user, NetToolCallback callback);
    bool AddNSLookUpTaskWithServers(const std::string& host, const std::string& resolverList, void* user,
                                    NetToolCallback callback);
    bool AddTraceRouteTask(const std::string& host, void* user, NetToolCallback callback);
    bool AddPingTask(const std::string& host, void* user, NetToolCallback callback);

    // Stops the running task between probes, then stops the worker (see CSimpleThread::Stop).
    bool Stop(DWORD timeoutMs) override;

    // Applies to tasks added afterwards.
    void SetOptions(const NetToolOptions& options);
    // The resolvers (dotted IPv4 texts joined by ";") of lookups that name none, for tasks
    // added afterwards; empty: the built-in list.
    void SetDefaultResolvers(std::string resolvers);

protected:
    int Run() override;

private:
    struct State;

    NetToolOptions CurrentOptions();
    bool PushTask(std::unique_ptr<CNetToolTask> task);
    static std::unique_ptr<CNetToolTask> PopTask(State& state);

    std::shared_ptr<State> m_state;
    std::mutex m_startMutex;  // one Start/Stop at a time, whoever adds
};
