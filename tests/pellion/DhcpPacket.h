// Builds DHCP client messages byte by byte and reads the server's replies, for
// tests that feed the message handler or the server socket.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace dhcptest {

using Mac = std::array<std::uint8_t, 6>;

inline std::uint32_t Ip(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    const std::uint8_t bytes[4] = {a, b, c, d};
    std::uint32_t ip;
    std::memcpy(&ip, bytes, 4);
    return ip;
}

class Packet {
public:
    Packet(std::uint8_t type, const Mac& mac, std::uint32_t xid = 0x12345678) : m_bytes(240, 0) {
        m_bytes[0] = 1;  // BOOTREQUEST
        m_bytes[1] = 1;  // Ethernet
        m_bytes[2] = 6;
        for (int i = 0; i < 4; ++i)
            m_bytes[4 + i] = static_cast<std::uint8_t>(xid >> (24 - 8 * i));
        m_bytes[10] = 0x80;  // broadcast flag
        std::memcpy(&m_bytes[28], mac.data(), 6);
        const std::uint8_t cookie[4] = {99, 130, 83, 99};
        std::memcpy(&m_bytes[236], cookie, 4);
        Option(53, {type});
    }
    Packet& Option(std::uint8_t code, const std::vector<std::uint8_t>& value) {
        m_bytes.push_back(code);
        m_bytes.push_back(static_cast<std::uint8_t>(value.size()));
        m_bytes.insert(m_bytes.end(), value.begin(), value.end());
        return *this;
    }
    Packet& HostName(const std::string& name) {
        return Option(12, std::vector<std::uint8_t>(name.begin(), name.end()));
    }
    Packet& Requested(std::uint32_t ip) {
        std::uint8_t b[4];
        std::memcpy(b, &ip, 4);
        return Option(50, {b[0], b[1], b[2], b[3]});
    }
    Packet& Ciaddr(std::uint32_t ip) {
        std::memcpy(&m_bytes[12], &ip, 4);
        return *this;
    }
    Packet& Giaddr(std::uint32_t ip) {
        std::memcpy(&m_bytes[24], &ip, 4);
        return *this;
    }
    std::vector<std::uint8_t> Bytes() const {
        std::vector<std::uint8_t> b = m_bytes;
        b.push_back(255);
        return b;
    }

private:
    std::vector<std::uint8_t> m_bytes;
};

// A server reply taken apart.
struct Reply {
    std::uint8_t op = 0;
    std::uint8_t type = 0;
    std::uint32_t xid = 0;
    std::uint32_t yiaddr = 0;
    std::uint32_t siaddr = 0;
    std::uint32_t giaddr = 0;
    Mac chaddr{};
    // Options after the message type, in order of appearance.
    std::vector<std::pair<std::uint8_t, std::vector<std::uint8_t>>> options;
    bool endThenZero = false;  // the end option is the last but one byte, a zero the last

    std::optional<std::vector<std::uint8_t>> Find(std::uint8_t code) const {
        for (const auto& [c, v] : options)
            if (c == code)
                return v;
        return std::nullopt;
    }
};

inline std::optional<Reply> Parse(const std::vector<std::uint8_t>& b) {
    if (b.size() < 245 || b[240] != 53 || b[241] != 1)
        return std::nullopt;
    Reply r;
    r.op = b[0];
    r.type = b[242];
    r.xid = std::uint32_t(b[4]) << 24 | std::uint32_t(b[5]) << 16 | std::uint32_t(b[6]) << 8 | b[7];
    std::memcpy(&r.yiaddr, &b[16], 4);
    std::memcpy(&r.siaddr, &b[20], 4);
    std::memcpy(&r.giaddr, &b[24], 4);
    std::memcpy(r.chaddr.data(), &b[28], 6);
    std::size_t i = 243;
    while (i < b.size() && b[i] != 255) {
        if (i + 1 >= b.size() || i + 2 + b[i + 1] > b.size())
            return std::nullopt;
        r.options.emplace_back(b[i], std::vector<std::uint8_t>(&b[i + 2], &b[i + 2] + b[i + 1]));
        i += 2 + b[i + 1];
    }
    r.endThenZero = i + 2 == b.size() && b[i] == 255 && b[i + 1] == 0;
    return r;
}

}  // namespace dhcptest
