// A scripted DNS resolver on a loopback UDP port, for the DNS client's tests.
//
// It runs its own thread; the handler runs there for every query and answers with
// Reply (from the resolver's own address) or ReplyFrom (from a different source,
// to play a spoofer). The destructor stops the thread.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

class CFakeDnsServer {
public:
    using Handler = std::function<void(const Bytes& query, CFakeDnsServer& server)>;

    // `port` 0 takes a free one.
    explicit CFakeDnsServer(const char* address = "127.0.0.1", std::uint16_t port = 0);
    ~CFakeDnsServer();
    CFakeDnsServer(const CFakeDnsServer&) = delete;
    CFakeDnsServer& operator=(const CFakeDnsServer&) = delete;

    void OnQuery(Handler handler);
    std::uint16_t Port() const { return ntohs(m_address.sin_port); }
    std::uint32_t Address() const { return m_address.sin_addr.s_addr; }
    int QueryCount() const { return m_queries.load(); }
    Bytes LastQuery() const;

    // Only from the handler: answers the client that sent the query being handled.
    void Reply(const Bytes& datagram);
    void ReplyFrom(const char* address, const Bytes& datagram);

private:
    void Serve();

    int m_fd = -1;
    sockaddr_in m_address{};
    sockaddr_in m_client{};
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_queries{0};
    mutable std::mutex m_mutex;
    Handler m_handler;
    Bytes m_lastQuery;
    std::thread m_thread;
};

// An answer to `query`: its id and question, then `records`, with the given flags and ANCOUNT.
Bytes DnsAnswerTo(const Bytes& query, std::uint16_t flags, std::uint16_t answerCount, const Bytes& records);
// Resource records whose owner is a pointer to the question name (offset 12).
Bytes ARecord(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d);
Bytes CnameRecord(const std::string& target);
// QNAME bytes for a dotted name.
Bytes EncodedName(const std::string& name);

}  // namespace testsupport
