#include "platform/net/HostResolver.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <mutex>

namespace platform {
namespace {

bool SystemResolve(const std::string& host, std::uint32_t* networkOrder) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* list = nullptr;
    if (host.empty() || getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || list == nullptr) return false;
    bool found = false;
    for (const addrinfo* entry = list; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addr != nullptr) {
            *networkOrder = reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr;
            found = true;
            break;
        }
    }
    freeaddrinfo(list);
    return found;
}

std::mutex& ResolverMutex() {
    static std::mutex mutex;
    return mutex;
}

HostResolverFn& CurrentResolver() {
    static HostResolverFn resolver;
    return resolver;
}

}  // namespace

bool ResolveHostIPv4(const std::string& host, std::uint32_t* networkOrder) {
    if (networkOrder == nullptr) return false;
    HostResolverFn resolver;
    {
        std::lock_guard lock(ResolverMutex());
        resolver = CurrentResolver();
    }
    return resolver ? resolver(host, networkOrder) : SystemResolve(host, networkOrder);
}

HostResolverFn SetHostResolver(HostResolverFn resolver) {
    std::lock_guard lock(ResolverMutex());
    HostResolverFn previous = std::move(CurrentResolver());
    CurrentResolver() = std::move(resolver);
    return previous;
}

}  // namespace platform
