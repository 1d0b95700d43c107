#include "PhoneClient.h"

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <QCryptographicHash>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <utility>

namespace {

#if defined(_WIN32)
using Received = int;
constexpr int kNoSignal = 0;
int Poll(pollfd* p, int timeoutMs) {
    return WSAPoll(p, 1, timeoutMs);
}
bool Interrupted(Received) {
    return false;
}
bool ResetByPeer(Received n) {
    return n < 0 && WSAGetLastError() == WSAECONNRESET;
}
int OpenStream() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started)
        return -1;
    const SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    // Winsock's socket numbers are small handles; the client keeps them as int.
    return s == INVALID_SOCKET ? -1 : static_cast<int>(s);
}
void CloseStream(int fd) {
    closesocket(static_cast<SOCKET>(fd));
}
#else
using Received = ssize_t;
constexpr int kNoSignal = MSG_NOSIGNAL;
int Poll(pollfd* p, int timeoutMs) {
    return poll(p, 1, timeoutMs);
}
bool Interrupted(Received n) {
    return n < 0 && errno == EINTR;
}
bool ResetByPeer(Received n) {
    return n < 0 && errno == ECONNRESET;
}
int OpenStream() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0) {
        // The port is chosen at connect time, knowing the whole connection: a
        // port chosen at bind time may meet a connection of the same addresses
        // that the link closed a moment ago, and wait a second to get through.
        const int on = 1;
        setsockopt(fd, IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &on, sizeof on);
    }
    return fd;
}
void CloseStream(int fd) {
    ::close(fd);
}
#endif

}  // namespace

PhoneClient::~PhoneClient() {
    Close();
}

PhoneClient::PhoneClient(PhoneClient&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

PhoneClient& PhoneClient::operator=(PhoneClient&& other) noexcept {
    std::swap(m_fd, other.m_fd);
    return *this;
}

bool PhoneClient::Connect(std::uint16_t port, const char* fromIp, const char* toIp) {
    Close();
    m_fd = OpenStream();
    if (m_fd < 0)
        return false;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, fromIp, &local.sin_addr);
    sockaddr_in link{};
    link.sin_family = AF_INET;
    link.sin_port = htons(port);
    inet_pton(AF_INET, toIp, &link.sin_addr);
    if (bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        connect(m_fd, reinterpret_cast<sockaddr*>(&link), sizeof link) != 0) {
        Close();
        return false;
    }
    return true;
}

void PhoneClient::Close() {
    if (m_fd >= 0)
        CloseStream(m_fd);
    m_fd = -1;
}

bool PhoneClient::Send(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const Received n =
            send(m_fd, bytes.data() + done, static_cast<int>(bytes.size() - done), kNoSignal);
        if (Interrupted(n))
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<std::string> PhoneClient::Read(std::size_t size, int timeoutMs) {
    std::string out;
    while (out.size() < size) {
        pollfd p{static_cast<decltype(pollfd::fd)>(m_fd), POLLIN, 0};
        if (Poll(&p, timeoutMs) <= 0)
            return std::nullopt;
        char buffer[512];
        const Received n =
            recv(m_fd, buffer, static_cast<int>(std::min(sizeof buffer, size - out.size())), 0);
        if (Interrupted(n))
            continue;
        if (n <= 0)
            return std::nullopt;
        out.append(buffer, static_cast<std::size_t>(n));
    }
    return out;
}

bool PhoneClient::ReadReply(std::uint32_t* type, std::uint32_t* status, int timeoutMs) {
    const auto reply = Read(8, timeoutMs);
    if (!reply)
        return false;
    *type = Le32(*reply, 0);
    *status = Le32(*reply, 4);
    return true;
}

bool PhoneClient::ClosedByLink(int timeoutMs) {
    pollfd p{static_cast<decltype(pollfd::fd)>(m_fd), POLLIN, 0};
    if (Poll(&p, timeoutMs) <= 0)
        return false;
    char c;
    const Received n = recv(m_fd, &c, 1, 0);
    return n == 0 || ResetByPeer(n);
}

std::string PhoneClient::Le32(std::uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

std::uint32_t PhoneClient::Le32(const std::string& bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
    return v;
}

std::string PhoneClient::Md5Hex(const std::string& text) {
    return QCryptographicHash::hash(QByteArray::fromStdString(text), QCryptographicHash::Md5)
        .toHex()
        .toStdString();
}

std::string PhoneClient::Hello(std::int8_t kind, std::uint32_t value, const std::string& text1,
                               const std::string& text2, bool upperCheck,
                               const std::optional<std::string>& check) {
    std::string sum = check ? *check : Md5Hex(text1 + text2);
    if (upperCheck)
        for (char& c : sum)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::string body(101, '\0');
    body[0] = static_cast<char>(kind);
    body.replace(1, 4, Le32(value));
    body.replace(5, std::min<std::size_t>(32, text1.size()), text1.substr(0, 32));
    body.replace(37, std::min<std::size_t>(32, text2.size()), text2.substr(0, 32));
    body.replace(69, std::min<std::size_t>(32, sum.size()), sum.substr(0, 32));
    return Le32(0) + body;
}

std::string PhoneClient::Command(const std::string& json, std::optional<std::uint32_t> length) {
    const std::string body = json + std::string(1, '\0');
    return Le32(32) + Le32(length ? *length : static_cast<std::uint32_t>(body.size())) + Le32(0) +
           body;
}
