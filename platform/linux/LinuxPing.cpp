#include "LinuxPing.h"

#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "UniqueFd.h"

namespace plat {

namespace {

std::uint16_t Checksum(const std::uint8_t* data, std::size_t size) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        sum += std::uint32_t(data[i] << 8 | data[i + 1]);
    if ((size & 1) != 0)
        sum += std::uint32_t(data[size - 1] << 8);
    while ((sum >> 16) != 0)
        sum = (sum & 0xffff) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

}  // namespace

bool LinuxPing::Echo(std::uint32_t ip, DWORD timeoutMs) {
    // An unprivileged ICMP socket where the system allows one, else a raw one.
    bool raw = false;
    UniqueFd fd(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP));
    int sock = fd.get();
    UniqueFd rawFd(sock < 0 ? socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP) : -1);
    if (sock < 0) {
        sock = rawFd.get();
        raw = true;
    }
    if (sock < 0)
        return false;

    static const char kPayload[12] = "Data Buffer";
    const std::uint16_t id = static_cast<std::uint16_t>(getpid());
    static std::atomic<std::uint16_t> s_sequence{0};
    const std::uint16_t sequence = ++s_sequence;
    std::uint8_t packet[8 + sizeof kPayload] = {};
    packet[0] = ICMP_ECHO;
    packet[4] = static_cast<std::uint8_t>(id >> 8);
    packet[5] = static_cast<std::uint8_t>(id);
    packet[6] = static_cast<std::uint8_t>(sequence >> 8);
    packet[7] = static_cast<std::uint8_t>(sequence);
    std::memcpy(packet + 8, kPayload, sizeof kPayload);
    const std::uint16_t sum = Checksum(packet, sizeof packet);
    packet[2] = static_cast<std::uint8_t>(sum >> 8);
    packet[3] = static_cast<std::uint8_t>(sum);

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = ip;
    if (sendto(sock, packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&to), sizeof to) < 0)
        return false;

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() < 0)
            return false;
        pollfd p{sock, POLLIN, 0};
        const int r = poll(&p, 1, static_cast<int>(left.count()));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        std::uint8_t reply[48 + 60] = {};
        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        const ssize_t n =
            recvfrom(sock, reply, sizeof reply, 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (n <= 0 || from.sin_addr.s_addr != ip)
            continue;
        std::size_t offset = 0;
        if (raw)
            offset = static_cast<std::size_t>(reply[0] & 0x0f) * 4;  // skip the IP header
        if (static_cast<std::size_t>(n) < offset + 8)
            continue;
        const std::uint8_t* icmp = reply + offset;
        const std::uint16_t gotSequence = static_cast<std::uint16_t>(icmp[6] << 8 | icmp[7]);
        const std::uint16_t gotId = static_cast<std::uint16_t>(icmp[4] << 8 | icmp[5]);
        // The kernel sets and checks the identifier of an unprivileged ICMP socket.
        if (icmp[0] == ICMP_ECHOREPLY && gotSequence == sequence && (!raw || gotId == id))
            return true;
    }
}

}  // namespace plat
