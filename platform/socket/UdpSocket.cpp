#include "UdpSocket.h"

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#endif

#include <cstring>

namespace plat {

namespace {
// The port of a socket address of either family.
std::uint16_t PortOf(const sockaddr_storage& a) {
    if (a.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6&>(a).sin6_port);
    return ntohs(reinterpret_cast<const sockaddr_in&>(a).sin_port);
}

sockaddr_in6 Address6(const UdpSocket::Ipv6& ip, std::uint16_t port, std::uint32_t scope) {
    sockaddr_in6 a{};
    a.sin6_family = AF_INET6;
    a.sin6_port = htons(port);
    std::memcpy(&a.sin6_addr, ip.data(), 16);
    a.sin6_scope_id = scope;
    return a;
}
}  // namespace

#if defined(_WIN32)

struct UdpSocket::Handles {
    bool started = false;
    SOCKET sock = INVALID_SOCKET;
    WSAEVENT readEvent = WSA_INVALID_EVENT;
    WSAEVENT wakeEvent = WSA_INVALID_EVENT;
};

namespace {
int LastError() {
    return LastSocketError();
}
}  // namespace

UdpSocket::UdpSocket() : m_h(std::make_unique<Handles>()) {}

UdpSocket::~UdpSocket() {
    Close();
    if (m_h->started)
        WSACleanup();
}

int UdpSocket::Startup() {
    if (m_h->started)
        return 0;
    WSADATA data;
    const int e = WSAStartup(MAKEWORD(2, 2), &data);
    if (e != 0)
        return e;
    m_h->started = true;
    return 0;
}

int UdpSocket::Open() {
    Close();
    m_h->sock = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (m_h->sock == INVALID_SOCKET)
        return LastError();
    m_h->readEvent = WSACreateEvent();
    m_h->wakeEvent = WSACreateEvent();
    if (m_h->readEvent == WSA_INVALID_EVENT || m_h->wakeEvent == WSA_INVALID_EVENT ||
        WSAEventSelect(m_h->sock, m_h->readEvent, FD_READ) != 0) {
        const int e = LastError();
        Close();
        return e;
    }
    return 0;
}

bool UdpSocket::IsOpen() const {
    return m_h->sock != INVALID_SOCKET;
}

void UdpSocket::Close() {
    if (m_h->sock != INVALID_SOCKET)
        closesocket(m_h->sock);
    if (m_h->readEvent != WSA_INVALID_EVENT)
        WSACloseEvent(m_h->readEvent);
    if (m_h->wakeEvent != WSA_INVALID_EVENT)
        WSACloseEvent(m_h->wakeEvent);
    m_h->sock = INVALID_SOCKET;
    m_h->readEvent = WSA_INVALID_EVENT;
    m_h->wakeEvent = WSA_INVALID_EVENT;
}

int UdpSocket::EnableBroadcast() {
    BOOL on = TRUE;
    if (setsockopt(m_h->sock, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on),
                   sizeof on) != 0)
        return LastError();
    return 0;
}

int UdpSocket::SetReceiveBuffer(int bytes) {
    if (setsockopt(m_h->sock, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes),
                   sizeof bytes) != 0)
        return LastError();
    return 0;
}

int UdpSocket::BindService(std::uint32_t ip, std::uint16_t port, const std::string&) {
    return Bind(ip, port);
}

int UdpSocket::BindToInterface(const std::string&) {
    return 0;
}

int UdpSocket::Bind(std::uint32_t ip, std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = ip;
    if (bind(m_h->sock, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0)
        return LastError();
    return 0;
}

UdpSocket::WaitResult UdpSocket::Wait(int timeoutMs) {
    WSAEVENT events[2] = {m_h->readEvent, m_h->wakeEvent};
    const DWORD r = WSAWaitForMultipleEvents(
        2, events, FALSE, timeoutMs < 0 ? WSA_INFINITE : DWORD(timeoutMs), FALSE);
    if (r == WSA_WAIT_EVENT_0) {
        WSAResetEvent(m_h->readEvent);
        return WaitResult::Readable;
    }
    if (r == WSA_WAIT_EVENT_0 + 1) {
        WSAResetEvent(m_h->wakeEvent);
        return WaitResult::Woken;
    }
    if (r == WSA_WAIT_TIMEOUT)
        return WaitResult::TimedOut;
    return WaitResult::Failed;
}

void UdpSocket::Wake() {
    if (m_h->wakeEvent != WSA_INVALID_EVENT)
        WSASetEvent(m_h->wakeEvent);
}

int UdpSocket::Receive(void* buffer, std::size_t capacity, std::size_t* received,
                       std::uint32_t* fromIp, std::uint16_t* fromPort) {
    sockaddr_in from{};
    int fromLen = sizeof from;
    const int n = recvfrom(m_h->sock, static_cast<char*>(buffer), static_cast<int>(capacity), 0,
                           reinterpret_cast<sockaddr*>(&from), &fromLen);
    if (n == SOCKET_ERROR) {
        const int e = LastError();
        if (e != WSAEMSGSIZE)
            return e;
        if (received != nullptr)
            *received = capacity;
    } else if (received != nullptr) {
        *received = static_cast<std::size_t>(n);
    }
    if (fromIp != nullptr)
        *fromIp = from.sin_addr.s_addr;
    if (fromPort != nullptr)
        *fromPort = ntohs(from.sin_port);
    return 0;
}

int UdpSocket::SendTo(const void* data, std::size_t size, std::uint32_t ip, std::uint16_t port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = ip;
    if (sendto(m_h->sock, static_cast<const char*>(data), static_cast<int>(size), 0,
               reinterpret_cast<const sockaddr*>(&to), sizeof to) == SOCKET_ERROR)
        return LastError();
    return 0;
}

int UdpSocket::PollHandle() const {
    return -1;
}

std::uint16_t UdpSocket::LocalPort() const {
    // Room for either family: Windows refuses a buffer too small for the
    // socket's address (an IPv6 one) where Linux cuts it.
    sockaddr_storage a{};
    int len = sizeof a;
    if (getsockname(m_h->sock, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return 0;
    return PortOf(a);
}

int UdpSocket::Open6() {
    Close();
    m_h->sock = socket(AF_INET6, SOCK_DGRAM, IPPROTO_UDP);
    if (m_h->sock == INVALID_SOCKET)
        return LastError();
    const int only = 1;
    m_h->readEvent = WSACreateEvent();
    m_h->wakeEvent = WSACreateEvent();
    if (setsockopt(m_h->sock, IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&only),
                   sizeof only) != 0 ||
        m_h->readEvent == WSA_INVALID_EVENT || m_h->wakeEvent == WSA_INVALID_EVENT ||
        WSAEventSelect(m_h->sock, m_h->readEvent, FD_READ) != 0) {
        const int e = LastError();
        Close();
        return e;
    }
    return 0;
}

int UdpSocket::Bind6(const Ipv6& ip, std::uint16_t port, std::uint32_t scope) {
    const sockaddr_in6 a = Address6(ip, port, scope);
    if (bind(m_h->sock, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0)
        return LastError();
    return 0;
}

int UdpSocket::Receive6(void* buffer, std::size_t capacity, std::size_t* received, Ipv6* fromIp,
                        std::uint16_t* fromPort, std::uint32_t* fromScope) {
    sockaddr_in6 from{};
    int fromLen = sizeof from;
    const auto n = recvfrom(m_h->sock, static_cast<char*>(buffer), static_cast<int>(capacity), 0,
                            reinterpret_cast<sockaddr*>(&from), &fromLen);
    if (n < 0)
        return LastError();
    if (received != nullptr)
        *received = static_cast<std::size_t>(n);
    if (fromIp != nullptr)
        std::memcpy(fromIp->data(), &from.sin6_addr, 16);
    if (fromPort != nullptr)
        *fromPort = ntohs(from.sin6_port);
    if (fromScope != nullptr)
        *fromScope = from.sin6_scope_id;
    return 0;
}

int UdpSocket::SendTo6(const void* data, std::size_t size, const Ipv6& ip, std::uint16_t port,
                       std::uint32_t scope) {
    const sockaddr_in6 to = Address6(ip, port, scope);
    if (sendto(m_h->sock, static_cast<const char*>(data), static_cast<int>(size), 0,
               reinterpret_cast<const sockaddr*>(&to), sizeof to) < 0)
        return LastError();
    return 0;
}

#else

struct UdpSocket::Handles {
    int sock = -1;
    int wake = -1;  // eventfd
};

namespace {
int LastError() {
    return LastSocketError();
}
}  // namespace

UdpSocket::UdpSocket() : m_h(std::make_unique<Handles>()) {}

UdpSocket::~UdpSocket() {
    Close();
}

int UdpSocket::Startup() {
    return 0;
}

int UdpSocket::Open() {
    Close();
    m_h->sock = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (m_h->sock < 0)
        return LastError();
    m_h->wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_h->wake < 0) {
        const int e = LastError();
        Close();
        return e;
    }
    return 0;
}

bool UdpSocket::IsOpen() const {
    return m_h->sock >= 0;
}

void UdpSocket::Close() {
    if (m_h->sock >= 0)
        ::close(m_h->sock);
    if (m_h->wake >= 0)
        ::close(m_h->wake);
    m_h->sock = -1;
    m_h->wake = -1;
}

int UdpSocket::EnableBroadcast() {
    const int on = 1;
    if (setsockopt(m_h->sock, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)
        return LastError();
    return 0;
}

int UdpSocket::SetReceiveBuffer(int bytes) {
    if (setsockopt(m_h->sock, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) != 0)
        return LastError();
    return 0;
}

int UdpSocket::BindToInterface(const std::string& ifname) {
    if (setsockopt(m_h->sock, SOL_SOCKET, SO_BINDTODEVICE, ifname.c_str(),
                   static_cast<socklen_t>(ifname.size() + 1)) != 0) {
        // No such interface (yet): to the caller that is an address not
        // available, as when the address is not on an adapter yet.
        return errno == ENODEV ? kWsaEAddrNotAvail : LastError();
    }
    return 0;
}

int UdpSocket::BindService(std::uint32_t, std::uint16_t port, const std::string& ifname) {
    if (ifname.empty())
        return kWsaEAddrNotAvail;
    if (const int e = BindToInterface(ifname))
        return e;
    return Bind(INADDR_ANY, port);
}

int UdpSocket::Bind(std::uint32_t ip, std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = ip;
    if (bind(m_h->sock, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0)
        return LastError();
    return 0;
}

UdpSocket::WaitResult UdpSocket::Wait(int timeoutMs) {
    pollfd fds[2] = {{m_h->sock, POLLIN, 0}, {m_h->wake, POLLIN, 0}};
    int r;
    do {
        r = poll(fds, 2, timeoutMs < 0 ? -1 : timeoutMs);
    } while (r < 0 && errno == EINTR);
    if (r < 0)
        return WaitResult::Failed;
    if (r == 0)
        return WaitResult::TimedOut;
    if ((fds[1].revents & POLLIN) != 0) {
        std::uint64_t count = 0;
        const ssize_t n = ::read(m_h->wake, &count, sizeof count);
        (void)n;
        return WaitResult::Woken;
    }
    if ((fds[0].revents & (POLLIN | POLLERR)) != 0)
        return WaitResult::Readable;
    return WaitResult::Failed;
}

void UdpSocket::Wake() {
    if (m_h->wake < 0)
        return;
    const std::uint64_t one = 1;
    const ssize_t n = ::write(m_h->wake, &one, sizeof one);
    (void)n;
}

int UdpSocket::Receive(void* buffer, std::size_t capacity, std::size_t* received,
                       std::uint32_t* fromIp, std::uint16_t* fromPort) {
    sockaddr_in from{};
    socklen_t fromLen = sizeof from;
    ssize_t n;
    do {
        n = recvfrom(m_h->sock, buffer, capacity, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from),
                     &fromLen);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return LastError();
    if (received != nullptr)
        *received = static_cast<std::size_t>(n);
    if (fromIp != nullptr)
        *fromIp = from.sin_addr.s_addr;
    if (fromPort != nullptr)
        *fromPort = ntohs(from.sin_port);
    return 0;
}

int UdpSocket::SendTo(const void* data, std::size_t size, std::uint32_t ip, std::uint16_t port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = ip;
    ssize_t n;
    do {
        n = sendto(m_h->sock, data, size, MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&to),
                   sizeof to);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return LastError();
    return 0;
}

int UdpSocket::PollHandle() const {
    return m_h->sock;
}

std::uint16_t UdpSocket::LocalPort() const {
    sockaddr_storage a{};
    socklen_t len = sizeof a;
    if (getsockname(m_h->sock, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return 0;
    return PortOf(a);
}

int UdpSocket::Open6() {
    Close();
    m_h->sock = socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (m_h->sock < 0)
        return LastError();
    const int only = 1;
    m_h->wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_h->wake < 0 ||
        setsockopt(m_h->sock, IPPROTO_IPV6, IPV6_V6ONLY, &only, sizeof only) != 0) {
        const int e = LastError();
        Close();
        return e;
    }
    return 0;
}

int UdpSocket::Bind6(const Ipv6& ip, std::uint16_t port, std::uint32_t scope) {
    const sockaddr_in6 a = Address6(ip, port, scope);
    if (bind(m_h->sock, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0)
        return LastError();
    return 0;
}

int UdpSocket::Receive6(void* buffer, std::size_t capacity, std::size_t* received, Ipv6* fromIp,
                        std::uint16_t* fromPort, std::uint32_t* fromScope) {
    sockaddr_in6 from{};
    socklen_t fromLen = sizeof from;
    const auto n = recvfrom(m_h->sock, buffer, capacity, MSG_DONTWAIT,
                            reinterpret_cast<sockaddr*>(&from), &fromLen);
    if (n < 0)
        return LastError();
    if (received != nullptr)
        *received = static_cast<std::size_t>(n);
    if (fromIp != nullptr)
        std::memcpy(fromIp->data(), &from.sin6_addr, 16);
    if (fromPort != nullptr)
        *fromPort = ntohs(from.sin6_port);
    if (fromScope != nullptr)
        *fromScope = from.sin6_scope_id;
    return 0;
}

int UdpSocket::SendTo6(const void* data, std::size_t size, const Ipv6& ip, std::uint16_t port,
                       std::uint32_t scope) {
    const sockaddr_in6 to = Address6(ip, port, scope);
    if (sendto(m_h->sock, data, size, MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&to),
               sizeof to) < 0)
        return LastError();
    return 0;
}

#endif

}  // namespace plat
