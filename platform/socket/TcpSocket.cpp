#include "TcpSocket.h"

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#endif

#include <utility>

namespace plat {

#if defined(_WIN32)

struct TcpSocket::Handles {
    bool started = false;
    SOCKET sock = INVALID_SOCKET;
};

namespace {
// Non-blocking and not inherited by the programs this one starts.
int Prepare(SOCKET s) {
    u_long on = 1;
    if (ioctlsocket(s, FIONBIO, &on) != 0)
        return LastSocketError();
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    return 0;
}
}  // namespace

int TcpSocket::Startup() {
    if (m_h->started)
        return 0;
    WSADATA data;
    const int e = WSAStartup(MAKEWORD(2, 2), &data);
    if (e != 0)
        return e;
    m_h->started = true;
    return 0;
}

int TcpSocket::Open() {
    Close();
    m_h->sock = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (m_h->sock == INVALID_SOCKET)
        return LastSocketError();
    if (const int e = Prepare(m_h->sock)) {
        Close();
        return e;
    }
    return 0;
}

bool TcpSocket::IsOpen() const {
    return m_h->sock != INVALID_SOCKET;
}

void TcpSocket::Close() {
    if (m_h->sock != INVALID_SOCKET)
        closesocket(m_h->sock);
    m_h->sock = INVALID_SOCKET;
}

int TcpSocket::Bind(std::uint32_t ip, std::uint16_t port) {
    // No SO_REUSEADDR: on Windows it would let this socket take a port that
    // another program listens on.
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = ip;
    if (bind(m_h->sock, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
        return LastSocketError();
    return 0;
}

int TcpSocket::Listen(int backlog) {
    if (listen(m_h->sock, backlog) != 0)
        return LastSocketError();
    return 0;
}

int TcpSocket::Accept(TcpSocket* peer, std::uint32_t* peerIp) {
    sockaddr_in from{};
    int len = sizeof from;
    const SOCKET s = accept(m_h->sock, reinterpret_cast<sockaddr*>(&from), &len);
    if (s == INVALID_SOCKET)
        return LastSocketError();
    if (const int e = Prepare(s)) {
        closesocket(s);
        return e;
    }
    peer->Close();
    peer->m_h->sock = s;
    if (peerIp != nullptr)
        *peerIp = from.sin_addr.s_addr;
    return 0;
}

int TcpSocket::Receive(void* buffer, std::size_t capacity, std::size_t* received) {
    *received = 0;
    const int n = recv(m_h->sock, static_cast<char*>(buffer), static_cast<int>(capacity), 0);
    if (n == SOCKET_ERROR)
        return LastSocketError();
    *received = static_cast<std::size_t>(n);
    return 0;
}

int TcpSocket::Send(const void* data, std::size_t size, std::size_t* sent) {
    *sent = 0;
    const int n = send(m_h->sock, static_cast<const char*>(data), static_cast<int>(size), 0);
    if (n == SOCKET_ERROR)
        return LastSocketError();
    *sent = static_cast<std::size_t>(n);
    return 0;
}

std::uint16_t TcpSocket::LocalPort() const {
    sockaddr_in a{};
    int len = sizeof a;
    if (getsockname(m_h->sock, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return 0;
    return ntohs(a.sin_port);
}

std::intptr_t TcpSocket::Native() const {
    return static_cast<std::intptr_t>(m_h->sock);
}

TcpSocket::~TcpSocket() {
    if (!m_h)
        return;
    Close();
    if (m_h->started)
        WSACleanup();
}

#else

struct TcpSocket::Handles {
    bool started = false;
    int sock = -1;
};

int TcpSocket::Startup() {
    return 0;
}

int TcpSocket::Open() {
    Close();
    m_h->sock = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (m_h->sock < 0)
        return LastSocketError();
    return 0;
}

bool TcpSocket::IsOpen() const {
    return m_h->sock >= 0;
}

void TcpSocket::Close() {
    if (m_h->sock >= 0)
        ::close(m_h->sock);
    m_h->sock = -1;
}

int TcpSocket::Bind(std::uint32_t ip, std::uint16_t port) {
    // Connections of an earlier run lingering in TIME_WAIT do not hold the
    // port; a socket that listens on it still does.
    const int on = 1;
    setsockopt(m_h->sock, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = ip;
    if (bind(m_h->sock, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
        return LastSocketError();
    return 0;
}

int TcpSocket::Listen(int backlog) {
    if (listen(m_h->sock, backlog) != 0)
        return LastSocketError();
    return 0;
}

int TcpSocket::Accept(TcpSocket* peer, std::uint32_t* peerIp) {
    sockaddr_in from{};
    socklen_t len = sizeof from;
    int s;
    do {
        s = accept4(m_h->sock, reinterpret_cast<sockaddr*>(&from), &len,
                    SOCK_NONBLOCK | SOCK_CLOEXEC);
    } while (s < 0 && errno == EINTR);
    if (s < 0)
        return LastSocketError();
    peer->Close();
    peer->m_h->sock = s;
    if (peerIp != nullptr)
        *peerIp = from.sin_addr.s_addr;
    return 0;
}

int TcpSocket::Receive(void* buffer, std::size_t capacity, std::size_t* received) {
    *received = 0;
    ssize_t n;
    do {
        n = recv(m_h->sock, buffer, capacity, 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return LastSocketError();
    *received = static_cast<std::size_t>(n);
    return 0;
}

int TcpSocket::Send(const void* data, std::size_t size, std::size_t* sent) {
    *sent = 0;
    ssize_t n;
    do {
        n = send(m_h->sock, data, size, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return LastSocketError();
    *sent = static_cast<std::size_t>(n);
    return 0;
}

std::uint16_t TcpSocket::LocalPort() const {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    if (getsockname(m_h->sock, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return 0;
    return ntohs(a.sin_port);
}

std::intptr_t TcpSocket::Native() const {
    return m_h->sock;
}

TcpSocket::~TcpSocket() {
    if (m_h)
        Close();
}

#endif

TcpSocket::TcpSocket() : m_h(std::make_unique<Handles>()) {}

TcpSocket::TcpSocket(TcpSocket&& other) noexcept : m_h(std::make_unique<Handles>()) {
    std::swap(m_h, other.m_h);
}

TcpSocket& TcpSocket::operator=(TcpSocket&& other) noexcept {
    std::swap(m_h, other.m_h);
    return *this;
}

}  // namespace plat
