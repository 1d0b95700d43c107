// The process-wide DHCP server: its settings, its lease table, the library's
// lock and the server thread that receives on UDP port 67, hands every message
// to DhcpMessageHandler and broadcasts the reply to port 68.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "LeaseTable.h"
#include "Pellion.h"
#include "platform/socket/UdpSocket.h"

namespace pellion {

class DhcpServer {
public:
    static DhcpServer& Instance();

    // 1 started (bound, or waiting for the address to appear), 0 failed.
    int Start(const char* serverIp, PELLION_ACK_CALLBACK onAck);
    // Stops the thread, closes the socket, empties the lease table. Always 1.
    int Stop();
    // 1 when the stored list is not empty.
    int SetDns(const char* dnsList);
    // Forgets the DNS list as well; the state of a freshly loaded library.
    void Reset();

    // Where a reply goes: an address in network byte order and a port.
    struct Destination {
        std::uint32_t ip = 0;
        std::uint16_t port = 0;
    };

    // Decides on one received datagram under the lock, writes the debugger
    // output and calls the callback; returns the reply (empty: none) and,
    // when `to` is given, where to send it.
    std::vector<std::uint8_t> Process(const std::uint8_t* data, std::size_t size,
                                      Destination* to = nullptr);

    // Runs `f` on the lease table under the library's lock, after the offers
    // and leases whose time is up have ended.
    template <class F>
    auto WithTable(F&& f) {
        std::lock_guard<std::recursive_mutex> g(m_lock);
        m_table.Advance(Now());
        return f(m_table);
    }

private:
    DhcpServer() = default;
    // The platform's steady time.
    static std::chrono::steady_clock::time_point Now();
    void Run(std::stop_token stop, std::string serverIp);
    // Ties the socket to the interface that carries `ip`; 0 or a Winsock code
    // (10049 while no adapter carries it).
    int BindSocket(const std::string& ip);
    void Send(const std::vector<std::uint8_t>& reply, const Destination& to,
              const std::stop_token& stop);
    void StopLocked();
    // Whether the caller is the server thread (inside the acknowledgement callback).
    bool OnServerThread() const;

    std::mutex m_control;         // serialises Start and Stop
    std::recursive_mutex m_lock;  // the library's lock: settings and table
    std::string m_serverIp;
    std::string m_dnsList;
    PELLION_ACK_CALLBACK m_callback = nullptr;
    LeaseTable m_table;
    std::string m_computerName;  // as last read, at m_computerNameRead
    std::chrono::steady_clock::time_point m_computerNameRead{};

    std::unique_ptr<plat::UdpSocket> m_socket;
    bool m_bound = false;  // written before the thread starts or by the thread alone
    std::jthread m_thread;
    // The running server thread's id, for the callback's calls into Start and
    // Stop, which must not wait for Start and Stop of other threads.
    std::atomic<std::thread::id> m_serverThread{};
};

}  // namespace pellion
