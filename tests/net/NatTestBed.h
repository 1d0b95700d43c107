// The network bed of the NAT driver: an upstream host ("the Internet",
// 203.0.113.10 behind 198.51.100.1), the hotspot host (wan0 198.51.100.2 up,
// br0 192.168.50.1/24 toward the clients, forwarding off until the driver
// switches it on) and two client hosts (192.168.50.2 and .3, MACs
// 02:00:00:00:00:01 and :02), each in a network namespace of its own,
// removed with the bed. The upstream host runs a TCP traffic server; the
// hotspot host two TCP listeners (ports 8089 and 8090) that accept and close.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "NetNamespace.h"

namespace nettest {

// Runs `body` on a thread of its own inside the namespace until `stop`.
class NamespaceThread {
public:
    NamespaceThread(const std::string& ns, std::function<void(std::stop_token)> body);
    ~NamespaceThread();
    NamespaceThread(const NamespaceThread&) = delete;
    NamespaceThread& operator=(const NamespaceThread&) = delete;

private:
    std::jthread m_thread;
};

class NatTestBed {
public:
    static constexpr std::uint16_t kTrafficPort = 5001;
    static constexpr std::uint16_t kHostPorts[2] = {8089, 8090};

    NatTestBed();
    ~NatTestBed();
    // False when the bed could not be built (with the reason).
    bool Ready(std::string* why) const;

    const NetNamespace& Upstream() const { return *m_up; }
    const NetNamespace& Hotspot() const { return *m_hs; }
    const NetNamespace& Client(int i) const { return *m_clients.at(static_cast<std::size_t>(i)); }
    static std::string ClientMac(int i);  // "02-00-00-00-00-01"
    static std::string ClientIp(int i);   // "192.168.50.2"

    struct Moved {
        std::uint64_t up = 0;
        std::uint64_t down = 0;
        bool ok = false;  // connected and moved everything
    };
    // Client `i` sends `up` bytes to the upstream host and then receives
    // `down` bytes from it over one TCP connection (3 s without progress
    // ends it).
    Moved Move(int i, std::uint64_t up, std::uint64_t down, int timeoutMs = 3000);
    // Whether client `i` can open a connection to the upstream host within
    // `timeoutMs` and move a few bytes.
    bool Reaches(int i, int timeoutMs = 500);
    // Whether client `i` can open a connection to the hotspot host's `port`.
    bool HostPortOpen(int i, std::uint16_t port, int timeoutMs = 500);

    // A download (or upload) that runs until the stream goes away; `Bytes`
    // counts what arrived (or left).
    class Stream {
    public:
        Stream(const NetNamespace& client, bool download);
        std::uint64_t Bytes() const { return m_bytes.load(); }
        bool Connected() const { return m_connected.load(); }

    private:
        std::atomic<std::uint64_t> m_bytes{0};
        std::atomic<bool> m_connected{false};
        std::unique_ptr<NamespaceThread> m_thread;
    };
    std::unique_ptr<Stream> StartStream(int i, bool download = true);
    // Bytes per second a stream of client `i` moves, measured over `seconds`
    // after a quarter of a second to settle.
    double StreamRate(int i, bool download, double seconds);

private:
    std::unique_ptr<NetNamespace> m_up;
    std::unique_ptr<NetNamespace> m_hs;
    std::vector<std::unique_ptr<NetNamespace>> m_clients;
    bool m_ready = false;
    std::string m_why;
    std::vector<std::unique_ptr<NamespaceThread>> m_servers;
};

}  // namespace nettest
