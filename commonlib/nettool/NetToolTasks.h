// The bodies of the diagnostics thread's tasks: a DNS lookup against a resolver
// list, a ping and a traceroute, each giving the result its task posts.
//
// They run on the diagnostics worker thread and block (a lookup up to 1.5 s per
// resolver, a ping 2 to 10 s, a traceroute up to 30 hops of 3 s). The stop flag is
// read between resolvers, probes and hops; a stopped run posts nothing. Posting to
// the UI thread is the thread's business: these only say what to post.
#pragma once

#include <atomic>
#include <string>

#include "commonlib/nettool/DnsQueryClient.h"
#include "commonlib/nettool/PingProbe.h"
#include "commonlib/nettool/TraceRoute.h"

// Receives a diagnostic result on the UI thread. `user` is the caller's pointer,
// handed back unchanged; `text` is UTF-8 for traceroute and ping.
using NetToolCallback = void (*)(int code, void* user, const std::string& host, const std::string& text);

// Asked in this order when a lookup names no resolvers of its own.
inline constexpr const char* kBuiltInResolvers[] = {"114.114.114.114", "223.5.5.5", "8.8.8.8", "208.67.222.222"};

struct NetToolResult {
    bool post = false;  // false: stopped, post nothing
    int code = 0;
    std::string text;
};

// Asks the resolvers of `resolverList` (dotted IPv4 texts separated by ";"; empty: the
// built-in list) in turn until one answers: code 0 and its A records joined by ";"
// ("" for a CNAME-only answer), or code -1 and "" when none does. Entries that are
// not IPv4 addresses are skipped, never sent to.
NetToolResult RunNsLookup(const std::string& host, const std::string& resolverList, const std::atomic<bool>* stop,
                          const DnsQueryClient::Options& options = {});

// Code 0 and the ping report as UTF-8, whatever the outcome.
NetToolResult RunPing(const std::string& host, const std::atomic<bool>* stop, PingProbe::Options options = {});

// Code 0 and the traceroute report as UTF-8, whatever the outcome.
NetToolResult RunTraceRoute(const std::string& host, const std::atomic<bool>* stop, TraceRouteOptions options = {});
