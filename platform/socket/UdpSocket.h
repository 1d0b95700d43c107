// A UDP socket for IPv4 (or, opened with Open6, for IPv6 only) with a wake-up signal, over Winsock
// or BSD sockets. Errors are reported as Winsock codes on every system (10049 address not
// available, 10035 would block, ...) so the code above reads the same
// everywhere. The socket and the wake-up handles are closed by the destructor.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/records/WinTypes.h"
#include "platform/socket/SocketError.h"

namespace plat {

class UdpSocket {
public:
    enum class WaitResult { Readable, Woken, TimedOut, Failed };

    UdpSocket();
    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // Starts the socket library (WSAStartup 2.2 on Windows; nothing elsewhere).
    // 0 or a Winsock code; the destructor cleans up after a successful start.
    int Startup();
    // Creates the socket and its wake-up signal. 0 or a Winsock code.
    int Open();
    bool IsOpen() const;
    void Close();
    // SO_BROADCAST.
    int EnableBroadcast();
    // SO_RCVBUF: room for datagrams that arrive while the owner is busy. The
    // system may grant less (Linux caps it at net.core.rmem_max).
    int SetReceiveBuffer(int bytes);
    // Binds a service port so that it receives the broadcasts of the network of
    // `ip` (network byte order) on the interface `ifname`: on Windows the socket
    // is bound to the address itself; on Linux, where a socket bound to a
    // unicast address sees no broadcasts, to the wildcard address, tied to the
    // interface.
    int BindService(std::uint32_t ip, std::uint16_t port, const std::string& ifname);
    // Binds a local address (network byte order; 0 is the wildcard).
    int Bind(std::uint32_t ip, std::uint16_t port);
    // Ties the socket to one interface (Linux SO_BINDTODEVICE; no-op elsewhere).
    int BindToInterface(const std::string& ifname);

    // Waits for a datagram or a Wake(); timeoutMs < 0 waits without time-out.
    WaitResult Wait(int timeoutMs);
    // Makes the current or the next Wait return Woken; safe from any thread.
    void Wake();
    // Receives one datagram (truncated to `capacity`). 0 or a Winsock code.
    int Receive(void* buffer, std::size_t capacity, std::size_t* received,
                std::uint32_t* fromIp = nullptr, std::uint16_t* fromPort = nullptr);
    int SendTo(const void* data, std::size_t size, std::uint32_t ip, std::uint16_t port);
    // IPv6: the socket takes IPv6 alone (no mapped IPv4), binds one address
    // (16 bytes; `scope` the interface index of a link-local one), receives
    // with the sender's address and scope, and sends to one.
    using Ipv6 = std::array<std::uint8_t, 16>;
    int Open6();
    int Bind6(const Ipv6& ip, std::uint16_t port, std::uint32_t scope = 0);
    int Receive6(void* buffer, std::size_t capacity, std::size_t* received, Ipv6* fromIp,
                 std::uint16_t* fromPort, std::uint32_t* fromScope);
    int SendTo6(const void* data, std::size_t size, const Ipv6& ip, std::uint16_t port,
                std::uint32_t scope);
    // The local port (after Bind with port 0).
    std::uint16_t LocalPort() const;
    // The socket's descriptor, for a caller that waits on it in a poll loop of
    // its own; -1 on Windows, where waits go through the socket's events.
    int PollHandle() const;

private:
    struct Handles;
    std::unique_ptr<Handles> m_h;
};

}  // namespace plat
