// The name-resolution thread of a command: one lookup of one host, asked directly of the
// public resolvers over UDP (DnsQueryClient), off the UI thread.
//
// The owner (a CHttpCommand, on the UI thread) builds and starts it; the thread posts one
// result through the poster and ends: code 0 and the A records as dotted texts joined by
// ";", or code -1 and "" when no resolver answered. A stopped lookup posts nothing.
// The result function runs on the UI thread and must check that its receiver still wants
// it (the thread may have been stopped after posting).
//
// Stop waits at most its time-out; a thread that is still inside a query then is
// abandoned to AbandonDnsThread, which frees it once it has ended, never before.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "commonlib/http/HttpMgr.h"
#include "commonlib/thread/SimpleThread.h"

class CDNSThread : public CSimpleThread {
public:
    using ResultFn = std::function<void(int code, const std::string& host, const std::string& text)>;

    CDNSThread(std::string host, UiPoster poster, ResultFn onResult);
    ~CDNSThread() override;

    bool Stop(DWORD timeoutMs) override;

protected:
    int Run() override;

private:
    std::string m_host;
    UiPoster m_poster;
    ResultFn m_onResult;
    std::atomic<bool> m_stop{false};
};

// The resolvers that commands ask (dotted IPv4 texts joined by ";"; empty: the built-in
// public list) and their UDP port. Any thread; read when a lookup starts.
void SetHttpDnsResolvers(std::string resolvers, std::uint16_t port = 53);
std::string GetHttpDnsResolvers();

// Stops `thread` within `timeoutMs`, else keeps it until it has ended and frees it then.
void StopOrAbandonDnsThread(std::unique_ptr<CDNSThread> thread, DWORD timeoutMs);
