#include "SocketPoller.h"

#if defined(_WIN32)
// select() takes as many sockets as its set has room for.
#define FD_SETSIZE 1024
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <cerrno>
#endif

#include <cstdint>

#include "SocketError.h"
#include "TcpSocket.h"

namespace plat {

#if defined(_WIN32)

static_assert(FD_SETSIZE > SocketPoller::kCapacity, "the wake-up socket needs a place too");

// The wake-up is a datagram socket on the loopback address that Wake() sends
// one byte to; select() sees it readable.
struct SocketPoller::Handles {
    SOCKET wake = INVALID_SOCKET;
    sockaddr_in address{};
};

SocketPoller::SocketPoller() : m_h(std::make_unique<Handles>()) {}

SocketPoller::~SocketPoller() {
    if (m_h->wake != INVALID_SOCKET)
        closesocket(m_h->wake);
}

int SocketPoller::Open() {
    m_h->wake = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (m_h->wake == INVALID_SOCKET)
        return LastSocketError();
    SetHandleInformation(reinterpret_cast<HANDLE>(m_h->wake), HANDLE_FLAG_INHERIT, 0);
    u_long on = 1;
    ioctlsocket(m_h->wake, FIONBIO, &on);
    m_h->address.sin_family = AF_INET;
    m_h->address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof m_h->address;
    if (bind(m_h->wake, reinterpret_cast<sockaddr*>(&m_h->address), sizeof m_h->address) != 0 ||
        getsockname(m_h->wake, reinterpret_cast<sockaddr*>(&m_h->address), &len) != 0) {
        const int e = LastSocketError();
        closesocket(m_h->wake);
        m_h->wake = INVALID_SOCKET;
        return e;
    }
    return 0;
}

SocketPoller::Result SocketPoller::Wait(const std::vector<const TcpSocket*>& sockets,
                                        std::vector<bool>* readable, int timeoutMs) {
    readable->assign(sockets.size(), false);
    if (sockets.size() > kCapacity || m_h->wake == INVALID_SOCKET)
        return Result::Failed;
    fd_set set;
    FD_ZERO(&set);
    FD_SET(m_h->wake, &set);
    for (const TcpSocket* s : sockets)
        FD_SET(static_cast<SOCKET>(s->Native()), &set);
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    const int r = select(0, &set, nullptr, nullptr, timeoutMs < 0 ? nullptr : &tv);
    if (r == SOCKET_ERROR)
        return Result::Failed;
    if (r == 0)
        return Result::TimedOut;
    if (FD_ISSET(m_h->wake, &set)) {
        char drain[64];
        while (recv(m_h->wake, drain, sizeof drain, 0) > 0) {
        }
        return Result::Woken;
    }
    for (std::size_t i = 0; i < sockets.size(); ++i)
        (*readable)[i] = FD_ISSET(static_cast<SOCKET>(sockets[i]->Native()), &set) != 0;
    return Result::Ready;
}

void SocketPoller::Wake() {
    if (m_h->wake == INVALID_SOCKET)
        return;
    const char one = 1;
    sendto(m_h->wake, &one, 1, 0, reinterpret_cast<const sockaddr*>(&m_h->address),
           sizeof m_h->address);
}

#else

struct SocketPoller::Handles {
    int wake = -1;  // eventfd
    std::vector<pollfd> fds;
};

SocketPoller::SocketPoller() : m_h(std::make_unique<Handles>()) {}

SocketPoller::~SocketPoller() {
    if (m_h->wake >= 0)
        ::close(m_h->wake);
}

int SocketPoller::Open() {
    m_h->wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    return m_h->wake < 0 ? LastSocketError() : 0;
}

SocketPoller::Result SocketPoller::Wait(const std::vector<const TcpSocket*>& sockets,
                                        std::vector<bool>* readable, int timeoutMs) {
    readable->assign(sockets.size(), false);
    if (sockets.size() > kCapacity || m_h->wake < 0)
        return Result::Failed;
    std::vector<pollfd>& fds = m_h->fds;
    fds.clear();
    fds.push_back({m_h->wake, POLLIN, 0});
    for (const TcpSocket* s : sockets)
        fds.push_back({static_cast<int>(s->Native()), POLLIN, 0});
    int r;
    do {
        r = poll(fds.data(), fds.size(), timeoutMs < 0 ? -1 : timeoutMs);
    } while (r < 0 && errno == EINTR);
    if (r < 0)
        return Result::Failed;
    if (r == 0)
        return Result::TimedOut;
    if ((fds[0].revents & POLLIN) != 0) {
        std::uint64_t count = 0;
        const ssize_t n = ::read(m_h->wake, &count, sizeof count);
        (void)n;
        return Result::Woken;
    }
    for (std::size_t i = 0; i < sockets.size(); ++i)
        (*readable)[i] = (fds[i + 1].revents & (POLLIN | POLLERR | POLLHUP)) != 0;
    return Result::Ready;
}

void SocketPoller::Wake() {
    if (m_h->wake < 0)
        return;
    const std::uint64_t one = 1;
    const ssize_t n = ::write(m_h->wake, &one, sizeof one);
    (void)n;
}

#endif

}  // namespace plat
