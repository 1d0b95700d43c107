// A TCP socket for IPv4, over Winsock or BSD sockets: a listening socket and
// the connections it accepts. Every socket is non-blocking and not inherited
// by child processes. Errors are Winsock codes on every system
// (SocketError.h). The destructor closes the socket.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/socket/SocketError.h"

namespace plat {

class TcpSocket {
public:
    TcpSocket();
    ~TcpSocket();
    TcpSocket(TcpSocket&& other) noexcept;
    TcpSocket& operator=(TcpSocket&& other) noexcept;
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    // Starts the socket library (WSAStartup 2.2 on Windows; nothing elsewhere).
    // 0 or the error it reported; the destructor cleans up after a successful
    // start.
    int Startup();
    // Creates the socket. 0 or a Winsock code.
    int Open();
    bool IsOpen() const;
    void Close();
    // Binds a local address (network byte order; 0 is the wildcard). On Linux
    // the address may be taken again while old connections linger; a port that
    // another socket listens on is refused with kWsaEAddrInUse on every system.
    int Bind(std::uint32_t ip, std::uint16_t port);
    int Listen(int backlog);
    // Takes one waiting connection into `peer` with the peer's address
    // (network byte order); kWsaEWouldBlock when none waits.
    int Accept(TcpSocket* peer, std::uint32_t* peerIp);
    // Receives what has arrived, up to `capacity` bytes. 0 with *received 0
    // means the peer closed its side; kWsaEWouldBlock that nothing waits.
    int Receive(void* buffer, std::size_t capacity, std::size_t* received);
    // Sends what the system takes at once; *sent may be less than `size`.
    int Send(const void* data, std::size_t size, std::size_t* sent);
    std::uint16_t LocalPort() const;

    // The system's handle, for SocketPoller.
    std::intptr_t Native() const;

private:
    struct Handles;
    std::unique_ptr<Handles> m_h;
};

}  // namespace plat
