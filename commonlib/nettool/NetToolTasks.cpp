#include "commonlib/nettool/NetToolTasks.h"

#include <vector>

#include "platform/net/InetAddress.h"
#include "platform/strings/StringConv.h"

namespace {

bool Stopped(const std::atomic<bool>* stop) {
    return stop != nullptr && stop->load();
}

std::vector<std::string> SplitResolvers(const std::string& list) {
    std::vector<std::string> pieces;
    if (list.empty()) {
        for (const char* entry : kBuiltInResolvers)
            pieces.emplace_back(entry);
        return pieces;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = list.find(';', start);
        pieces.push_back(list.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return pieces;
}

std::string JoinAddresses(const std::vector<std::string>& addresses) {
    std::string joined;
    for (const auto& address : addresses) {
        if (!joined.empty()) joined += ';';
        joined += address;
    }
    return joined;
}

}  // namespace

NetToolResult RunNsLookup(const std::string& host, const std::string& resolverList, const std::atomic<bool>* stop,
                          const DnsQueryClient::Options& options) {
    DnsQueryClient client(options);
    client.Open();
    bool answered = false;
    std::vector<std::string> addresses;
    for (const std::string& entry : SplitResolvers(resolverList)) {
        if (Stopped(stop)) break;
        std::uint32_t resolver = 0;
        if (!platform::ParseIPv4Address(entry, &resolver)) continue;
        if (client.Resolve(host.c_str(), resolver, &addresses, nullptr, nullptr)) {
            answered = true;
            break;
        }
    }
    client.Close();
    if (Stopped(stop)) return {};
    if (!answered) return {true, -1, ""};
    return {true, 0, JoinAddresses(addresses)};
}

NetToolResult RunPing(const std::string& host, const std::atomic<bool>* stop, PingProbe::Options options) {
    options.stop = stop;
    PingProbe probe(std::move(options));
    probe.Init();
    probe.Ping(host.c_str());
    if (probe.Stopped() || Stopped(stop)) return {};
    NetToolResult result{true, 0, platform::Utf8FromWide(probe.Text())};
    probe.Cleanup();
    return result;
}

NetToolResult RunTraceRoute(const std::string& host, const std::atomic<bool>* stop, TraceRouteOptions options) {
    options.stop = stop;
    std::wstring text;
    std::vector<TraceHopRecord> hops;
    TraceRoute(platform::WideFromUtf8(host), &text, &hops, options);
    if (Stopped(stop)) return {};
    return {true, 0, platform::Utf8FromWide(text)};
}
