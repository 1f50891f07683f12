#include "commonlib/nettool/IcmpSocket.h"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "commonlib/nettool/PingProbe.h"
#include "commonlib/nettool/TraceRoute.h"
#include "support/ForkChild.h"

namespace {

const char kGroupRange[] = "/proc/sys/net/ipv4/ping_group_range";

std::string ReadGroupRange() {
    std::ifstream in(kGroupRange);
    std::string low, high;
    in >> low >> high;
    return low + " " + high;
}

bool WriteGroupRange(const std::string& range) {
    std::ofstream out(kGroupRange);
    out << range << "\n";
    out.close();
    return out.good() && ReadGroupRange() == range;
}

// Leaves this process without the right to open raw sockets, as an ordinary user is.
bool DropRawSocketRight() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (syscall(SYS_capget, &header, data) != 0) return false;
    const unsigned bit = 1u << (CAP_NET_RAW % 32);
    data[CAP_NET_RAW / 32].effective &= ~bit;
    data[CAP_NET_RAW / 32].permitted &= ~bit;
    return syscall(SYS_capset, &header, data) == 0;
}

enum Outcome { kDone = 0, kStillPrivileged = 10, kPingDiffers = 11, kTraceDiffers = 12 };

// In a child (without the raw-socket right when `dropRaw`): ping and trace 127.0.0.1 with
// the default sockets, and compare the reports with `ping` and `trace`. Round trips read as "#".
int ProbeLoopback(bool dropRaw, const std::wstring& ping, const std::wstring& trace) {
    return testsupport::InChild([&] {
        int error = 0;
        if (dropRaw && (!DropRawSocketRight() || OpenRawIcmpSocket(&error) != nullptr)) return int{kStillPrivileged};
        const auto zeroTimes = [](const std::wstring& text) {
            return std::regex_replace(text, std::wregex(L"(时间|TripTime:)[0-9]+"), L"$1#");
        };
        PingProbe::Options options;
        options.sleep = [](std::uint32_t) {};
        PingProbe probe(options);
        probe.Init();
        probe.Ping("127.0.0.1");
        if (zeroTimes(probe.Text()) != ping) return int{kPingDiffers};
        std::wstring text;
        std::vector<TraceHopRecord> hops;
        if (TraceRoute(L"127.0.0.1", &text, &hops) != 0 || zeroTimes(text) != trace) return int{kTraceDiffers};
        return int{kDone};
    });
}

}  // namespace

TEST(IcmpSocketTest, LoopbackProbesOverRawOrDatagramSockets) {
    const std::wstring header = L"正在ping 127.0.0.1 具有32字节的数据。";
    const std::wstring reply = L"来自 127.0.0.1 的回复：时间# TTL。";
    const std::wstring traceHeader = L"通过最多 30 个跃点跟踪到 127.0.0.1 的路由。";
    const std::wstring answered = header + reply + reply + reply + reply;
    const std::wstring traced = traceHeader + L"TTL:1,TripTime:#,ip:127.0.0.1。跟踪完成。";
    int error = 0;
    if (OpenRawIcmpSocket(&error) != nullptr) {
        EXPECT_EQ(ProbeLoopback(false, answered, traced), kDone) << "over a raw socket";
    }
    // The group range belongs to the network namespace: change it only inside the test's own.
    if (std::getenv("XJ_NETJAIL_INSIDE") == nullptr) GTEST_SKIP() << "needs the private namespace of netjail";
    const std::string saved = ReadGroupRange();
    const std::string ourGroup = std::to_string(getegid()) + " " + std::to_string(getegid());
    if (!WriteGroupRange(ourGroup)) GTEST_SKIP() << "cannot set " << kGroupRange;
    // Without raw sockets, where our group may use datagram ICMP sockets: every probe is answered.
    EXPECT_EQ(ProbeLoopback(true, answered, traced), kDone);
    // Nobody may: every probe times out, as before, and the trace cannot start (no socket).
    ASSERT_TRUE(WriteGroupRange("1 0"));
    const std::wstring timeout = L"超时。";
    EXPECT_EQ(ProbeLoopback(true, header + timeout + timeout + timeout + timeout, traceHeader), kTraceDiffers);
    EXPECT_TRUE(WriteGroupRange(saved));
}
