// Waits until one of many TCP sockets can be read, or until another thread
// wakes the waiter: poll() with an event file descriptor on Linux; select()
// with a loopback datagram socket as the wake-up on Windows.
#pragma once

#include <memory>
#include <vector>

namespace plat {

class TcpSocket;

class SocketPoller {
public:
    // Room for this many sockets in one wait on every system.
    static constexpr std::size_t kCapacity = 1000;

    SocketPoller();
    ~SocketPoller();
    SocketPoller(const SocketPoller&) = delete;
    SocketPoller& operator=(const SocketPoller&) = delete;

    // Creates the wake-up signal. 0 or a Winsock code.
    int Open();

    enum class Result { Ready, Woken, TimedOut, Failed };
    // Waits for `sockets` (at most kCapacity) to become readable (data, a
    // connection to accept, a close or an error) or for Wake(); timeoutMs < 0
    // waits without time-out. On Ready, (*readable)[i] tells about
    // sockets[i].
    Result Wait(const std::vector<const TcpSocket*>& sockets, std::vector<bool>* readable,
                int timeoutMs);
    // Makes the current or the next Wait return Woken; safe from any thread.
    void Wake();

private:
    struct Handles;
    std::unique_ptr<Handles> m_h;
};

}  // namespace plat
