#include "commonlib/util/SystemInfo.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "platform/net/InetAddress.h"
#include "platform/strings/StringConv.h"
#include "platform/system/OsVersion.h"

std::wstring PickDeviceMac(const std::vector<platform::NetAdapter>& adapters) {
    for (const auto& adapter : adapters) {
        if (adapter.loopback || !adapter.mac) continue;
        const auto& mac = *adapter.mac;
        if (std::all_of(mac.begin(), mac.end(), [](std::uint8_t b) { return b == 0; })) continue;
        char text[13];
        std::snprintf(text, sizeof text, "%02x%02x%02x%02x%02x%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
        return platform::WideFromUtf8(text);
    }
    return {};
}

std::string PickLocalIPv4(const std::vector<platform::NetAdapter>& adapters) {
    for (const auto& adapter : adapters) {
        if (adapter.loopback) continue;
        for (const std::uint32_t address : adapter.ipv4) {
            if ((reinterpret_cast<const std::uint8_t*>(&address)[0]) == 127) continue;
            return platform::FormatIPv4Address(address);
        }
    }
    return {};
}

std::wstring GetDeviceMac() {
    static std::mutex mutex;
    static std::wstring cached;
    std::lock_guard lock(mutex);
    if (cached.empty()) cached = PickDeviceMac(platform::ListNetAdapters());
    return cached;
}

std::string GetLocalIPv4() {
    return PickLocalIPv4(platform::ListNetAdapters());
}

std::wstring GetOsVersionName() {
    if (const auto name = platform::OsPrettyName()) return platform::WideFromUtf8(*name);
    return L"未知操作系统";
}
