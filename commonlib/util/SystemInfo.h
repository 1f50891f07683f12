// Facts about this machine for the reports: the adapter's hardware address, the local
// IPv4 address and the operating system's name.
//
// Any thread may call. Nothing here sends anything over the network.
#pragma once

#include <string>
#include <vector>

#include "platform/net/NetAdapters.h"

// The hardware address of the first non-loopback adapter that has a non-zero one, as 12
// lower-case hex digits; empty when there is none. Cached once found.
std::wstring GetDeviceMac();
// The first IPv4 address of a non-loopback adapter, dotted; empty when there is none.
std::string GetLocalIPv4();
// The operating system's name ("Debian GNU/Linux 12 (bookworm)"); "未知操作系统" when unknown.
std::wstring GetOsVersionName();

// The choices above, over a given adapter list.
std::wstring PickDeviceMac(const std::vector<platform::NetAdapter>& adapters);
std::string PickLocalIPv4(const std::vector<platform::NetAdapter>& adapters);
