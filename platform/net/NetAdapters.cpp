#include "platform/net/NetAdapters.h"

#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstring>

namespace platform {

std::vector<NetAdapter> ListNetAdapters() {
    std::vector<NetAdapter> adapters;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return adapters;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_name) continue;
        auto it = std::find_if(adapters.begin(), adapters.end(),
                               [&](const NetAdapter& a) { return a.name == entry->ifa_name; });
        if (it == adapters.end()) {
            NetAdapter adapter;
            adapter.name = entry->ifa_name;
            adapter.loopback = (entry->ifa_flags & IFF_LOOPBACK) != 0;
            adapters.push_back(std::move(adapter));
            it = adapters.end() - 1;
        }
        const sockaddr* address = entry->ifa_addr;
        if (!address) continue;
        if (address->sa_family == AF_PACKET) {
            const auto* link = reinterpret_cast<const sockaddr_ll*>(address);
            if (link->sll_halen == 6) {
                std::array<std::uint8_t, 6> mac{};
                std::memcpy(mac.data(), link->sll_addr, mac.size());
                it->mac = mac;
            }
        } else if (address->sa_family == AF_INET) {
            it->ipv4.push_back(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr);
        }
    }
    freeifaddrs(list);
    return adapters;
}

}  // namespace platform
