#include "commonlib/http/DNSThread.h"

#include <mutex>
#include <vector>

#include "commonlib/nettool/NetToolTasks.h"
#include "platform/sync/KernelObject.h"

namespace {

struct ResolverSettings {
    std::mutex mutex;
    std::string resolvers;  // empty: the built-in list
    std::uint16_t port = 53;
};

ResolverSettings& Settings() {
    static ResolverSettings settings;
    return settings;
}

// Threads that outlived their owner's wait; the owning (UI) thread frees them once ended.
std::vector<std::unique_ptr<CDNSThread>>& Abandoned() {
    static std::vector<std::unique_ptr<CDNSThread>> threads;
    return threads;
}

}  // namespace

void SetHttpDnsResolvers(std::string resolvers, std::uint16_t port) {
    auto& settings = Settings();
    std::lock_guard lock(settings.mutex);
    settings.resolvers = std::move(resolvers);
    settings.port = port;
}

std::string GetHttpDnsResolvers() {
    auto& settings = Settings();
    std::lock_guard lock(settings.mutex);
    return settings.resolvers;
}

void StopOrAbandonDnsThread(std::unique_ptr<CDNSThread> thread, DWORD timeoutMs) {
    auto& abandoned = Abandoned();
    std::erase_if(abandoned, [](const std::unique_ptr<CDNSThread>& old) { return old->Stop(0); });
    if (thread && !thread->Stop(timeoutMs)) abandoned.push_back(std::move(thread));
}

CDNSThread::CDNSThread(std::string host, UiPoster poster, ResultFn onResult)
    : m_host(std::move(host)), m_poster(std::move(poster)), m_onResult(std::move(onResult)) {}

CDNSThread::~CDNSThread() {
    CDNSThread::Stop(INFINITE);
}

bool CDNSThread::Stop(DWORD timeoutMs) {
    m_stop.store(true);
    return CSimpleThread::Stop(timeoutMs);
}

int CDNSThread::Run() {
    std::string resolvers;
    DnsQueryClient::Options options;
    {
        auto& settings = Settings();
        std::lock_guard lock(settings.mutex);
        resolvers = settings.resolvers;
        options.port = settings.port;
    }
    NetToolResult result = RunNsLookup(m_host, resolvers, &m_stop, options);
    if (!result.post || m_stop.load()) return 0;
    m_poster([onResult = m_onResult, host = m_host, code = result.code, text = std::move(result.text)] {
        onResult(code, host, text);
    });
    return 0;
}
