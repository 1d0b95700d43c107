#include "PhoneClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <utility>

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
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return false;
    // The port is chosen at connect time, knowing the whole connection: a
    // port chosen at bind time may meet a connection of the same addresses
    // that the link closed a moment ago, and wait a second to get through.
    const int on = 1;
    setsockopt(m_fd, IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &on, sizeof on);
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
        ::close(m_fd);
    m_fd = -1;
}

bool PhoneClient::Send(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = send(m_fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
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
        pollfd p{m_fd, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0)
            return std::nullopt;
        char buffer[512];
        const ssize_t n = recv(m_fd, buffer, std::min(sizeof buffer, size - out.size()), 0);
        if (n < 0 && errno == EINTR)
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
    pollfd p{m_fd, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0)
        return false;
    char c;
    const ssize_t n = recv(m_fd, &c, 1, 0);
    return n == 0 || (n < 0 && errno == ECONNRESET);
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
