// Host name to IPv4 lookup, the stand-in for gethostbyname. Any thread.
//
// The lookup goes through a process-wide, replaceable function: by default the
// system resolver (getaddrinfo, IPv4 only), which may send DNS traffic, so tests
// install their own with CScopedHostResolver and never resolve real names.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace platform {

// Fills the first IPv4 address of `host` (network order); false when the name is unknown.
using HostResolverFn = std::function<bool(const std::string& host, std::uint32_t* networkOrder)>;

[[nodiscard]] bool ResolveHostIPv4(const std::string& host, std::uint32_t* networkOrder);
// Installs `resolver` (an empty function restores the system one) and returns the previous one.
HostResolverFn SetHostResolver(HostResolverFn resolver);

class CScopedHostResolver {
public:
    explicit CScopedHostResolver(HostResolverFn resolver) : m_previous(SetHostResolver(std::move(resolver))) {}
    ~CScopedHostResolver() { SetHostResolver(std::move(m_previous)); }
    CScopedHostResolver(const CScopedHostResolver&) = delete;
    CScopedHostResolver& operator=(const CScopedHostResolver&) = delete;

private:
    HostResolverFn m_previous;
};

}  // namespace platform
