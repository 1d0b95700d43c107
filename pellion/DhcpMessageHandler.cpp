#include "DhcpMessageHandler.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cctype>
#include <cstring>

#include "platform/text/Ipv4Text.h"

namespace pellion {

using plat::Ipv4Text;
using plat::MacAddress;
using plat::MacText;

namespace {

// BOOTP layout.
constexpr std::size_t kOp = 0;
constexpr std::size_t kCiaddr = 12;
constexpr std::size_t kYiaddr = 16;
constexpr std::size_t kSiaddr = 20;
constexpr std::size_t kChaddr = 28;
constexpr std::size_t kCookie = 236;
constexpr std::size_t kTypeOption = 240;  // option 53 is expected first
constexpr std::size_t kType = 242;
constexpr std::size_t kOptions = 243;
constexpr std::uint8_t kMagicCookie[4] = {99, 130, 83, 99};

constexpr std::uint8_t kBootRequest = 1;
constexpr std::uint8_t kBootReply = 2;

constexpr std::uint8_t kOptPad = 0;
constexpr std::uint8_t kOptHostName = 12;
constexpr std::uint8_t kOptRequestedIp = 50;
constexpr std::uint8_t kOptMessageType = 53;
constexpr std::uint8_t kOptEnd = 255;

constexpr std::uint32_t kLeaseSeconds = 172800;
constexpr std::uint32_t kRenewalSeconds = 86400;
constexpr std::uint32_t kRebindingSeconds = 86400;
constexpr char kDomainName[] = "mshome.net";
// An option value is at most 255 bytes: 63 four-byte addresses.
constexpr std::size_t kMaxDnsServers = 63;

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

struct ParsedRequest {
    std::uint8_t type = 0;
    std::string hostname;
    std::optional<std::uint32_t> requestedIp;
    bool refusedLocal = false;
};

// Walks the options after the message type. False when an option runs past
// the end of the datagram.
bool ParseOptions(const std::uint8_t* msg, std::size_t size, const std::string& computerName,
                  ParsedRequest* out) {
    std::size_t i = kOptions;
    while (i < size) {
        const std::uint8_t code = msg[i];
        if (code == kOptEnd || code == kOptPad)
            break;
        if (i + 1 >= size)
            return false;
        const std::size_t len = msg[i + 1];
        if (i + 2 + len > size)
            return false;
        const std::uint8_t* value = msg + i + 2;
        if (code == kOptHostName) {
            std::string name(reinterpret_cast<const char*>(value), len);
            name = name.substr(0, name.find('\0'));
            if (!computerName.empty() && SameTextIgnoringCase(name, computerName)) {
                out->refusedLocal = true;
                return true;
            }
            out->hostname = name.substr(0, 39);
        } else if (code == kOptRequestedIp && len == 4) {
            out->requestedIp = Ipv4Text::FromBytes(value);
        }
        i += 2 + len;
    }
    return true;
}

std::uint8_t LastOctet(std::uint32_t ip) {
    std::uint8_t b[4];
    Ipv4Text::ToBytes(ip, b);
    return b[3];
}

std::uint32_t WithLastOctet(std::uint32_t ip, std::uint8_t octet) {
    std::uint8_t b[4];
    Ipv4Text::ToBytes(ip, b);
    b[3] = octet;
    return Ipv4Text::FromBytes(b);
}

bool SamePrefix(std::uint32_t a, std::uint32_t b) {
    std::uint8_t x[4], y[4];
    Ipv4Text::ToBytes(a, x);
    Ipv4Text::ToBytes(b, y);
    return x[0] == y[0] && x[1] == y[1] && x[2] == y[2];
}

// The last octet to offer `mac`, 0 when no address is free. The server's own
// octet is never handed out.
std::uint8_t ChooseOctet(const LeaseTable& table, const MacAddress& mac, std::uint8_t serverOctet) {
    std::bitset<256> held, bound;
    for (const auto& [key, lease] : table) {
        if (lease.octet == 0)
            continue;
        held.set(lease.octet);
        if (lease.bound)
            bound.set(lease.octet);
    }
    if (bound.count() > 253)
        return 0;
    const Lease* own = table.Find(mac);
    if (own != nullptr && own->octet != 0 && !bound.test(own->octet) && own->octet != serverOctet &&
        own->octet >= 2 && own->octet <= 254)
        return own->octet;
    const std::bitset<256>& taken = held.count() > 253 ? bound : held;
    for (unsigned octet = 2; octet <= 254; ++octet) {
        if (!taken.test(octet) && octet != serverOctet)
            return static_cast<std::uint8_t>(octet);
    }
    return 0;
}

// Writes the options of the reply from byte 243 on; returns the reply length,
// which runs to the zero byte after the end option.
std::size_t WriteReplyOptions(std::uint8_t* buf, std::uint32_t serverIp,
                              const std::vector<std::uint32_t>& dns) {
    std::size_t p = kOptions;
    auto put = [&](std::uint8_t code, const void* value, std::size_t len) {
        buf[p++] = code;
        buf[p++] = static_cast<std::uint8_t>(len);
        std::memcpy(buf + p, value, len);
        p += len;
    };
    auto putSeconds = [&](std::uint8_t code, std::uint32_t seconds) {
        const std::uint8_t be[4] = {
            static_cast<std::uint8_t>(seconds >> 24), static_cast<std::uint8_t>(seconds >> 16),
            static_cast<std::uint8_t>(seconds >> 8), static_cast<std::uint8_t>(seconds)};
        put(code, be, 4);
    };
    const std::uint8_t mask[4] = {255, 255, 255, 0};
    put(54, &serverIp, 4);
    put(1, mask, 4);
    put(3, &serverIp, 4);
    if (!dns.empty()) {
        // A DNS option without addresses is invalid; it is left out instead.
        const std::size_t n = std::min(dns.size(), kMaxDnsServers);
        buf[p++] = 6;
        buf[p++] = static_cast<std::uint8_t>(4 * n);
        for (std::size_t i = 0; i < n; ++i) {
            std::memcpy(buf + p, &dns[i], 4);
            p += 4;
        }
    }
    put(7, &serverIp, 4);
    put(15, kDomainName, sizeof kDomainName - 1);
    put(44, &serverIp, 4);
    putSeconds(51, kLeaseSeconds);
    putSeconds(58, kRenewalSeconds);
    putSeconds(59, kRebindingSeconds);
    buf[p++] = kOptEnd;
    buf[p++] = 0;
    return p;
}

std::string Line(const char* format, const std::string& mac, const std::string& ip) {
    char text[128];
    std::snprintf(text, sizeof text, format, mac.c_str(), ip.c_str());
    return text;
}

}  // namespace

DhcpOutcome DhcpMessageHandler::Handle(const std::uint8_t* data, std::size_t size,
                                       const DhcpSettings& settings, LeaseTable& table) {
    DhcpOutcome outcome;
    if (data == nullptr)
        return outcome;
    size = std::min(size, kBufferSize);
    // Header, magic cookie and the message type option are the least a
    // message must carry.
    if (size <= kType)
        return outcome;
    if (data[kOp] != kBootRequest)
        return outcome;
    if (std::memcmp(data + kCookie, kMagicCookie, sizeof kMagicCookie) != 0)
        return outcome;
    if (data[kTypeOption] != kOptMessageType || data[kTypeOption + 1] != 1)
        return outcome;
    std::uint32_t serverIp = 0;
    if (!Ipv4Text::Parse(settings.serverIp, &serverIp))
        return outcome;

    ParsedRequest request;
    request.type = data[kType];
    if (!ParseOptions(data, size, settings.computerName, &request))
        return outcome;
    if (request.refusedLocal) {
        outcome.debug.push_back("Refuse local");
        return outcome;
    }
    if (request.type != kDiscover && request.type != kRequest)
        return outcome;

    MacAddress mac;
    std::memcpy(mac.data(), data + kChaddr, mac.size());
    const std::string macText = MacText::Format(mac);
    const std::uint8_t serverOctet = LastOctet(serverIp);
    std::uint32_t chosen = 0;

    if (request.type == kDiscover) {
        outcome.verdict = DhcpVerdict::Offer;
        Lease* existing = table.Find(mac);
        if (existing != nullptr && existing->black) {
            existing->Release();
        } else {
            const std::uint8_t octet = ChooseOctet(table, mac, serverOctet);
            if (octet != 0)
                chosen = WithLastOctet(serverIp, octet);
            Lease lease;
            lease.ip = chosen;
            lease.mac = mac;
            lease.SetHostname(request.hostname);
            lease.bound = chosen != 0;
            lease.octet = octet;
            table.Store(lease);
        }
        outcome.debug.push_back(
            Line("DHCP:offer ip %s, ip:%s\n", macText, Ipv4Text::Format(chosen)));
    } else {
        // A renewing client names its address in ciaddr instead of option 50.
        const std::uint32_t requested =
            request.requestedIp ? *request.requestedIp : Ipv4Text::FromBytes(data + kCiaddr);
        const std::uint8_t octet = LastOctet(requested);
        bool refuse =
            !SamePrefix(requested, serverIp) || octet == 0 || octet == 255 || octet == serverOctet;
        if (const Lease* own = table.Find(mac); own != nullptr && own->black)
            refuse = true;
        for (const auto& [key, lease] : table) {
            if (key != mac && lease.bound && lease.ip == requested)
                refuse = true;
        }
        Lease* entry = table.Find(mac);
        if (entry == nullptr) {
            entry = &table.Entry(mac);
            entry->SetHostname(request.hostname);
        }
        if (refuse) {
            outcome.verdict = DhcpVerdict::Nak;
            entry->Release();
            outcome.debug.push_back(
                Line("DHCP:nak %s, req ip:%s\n", macText, Ipv4Text::Format(requested)));
        } else {
            outcome.verdict = DhcpVerdict::Ack;
            chosen = requested;
            entry->bound = true;
            entry->ip = requested;
            entry->octet = octet;
            outcome.debug.push_back(
                Line("DHCP:ack %s, ack ip:%s\n", macText, Ipv4Text::Format(requested)));
            _DHCP_CLIENT client{};
            client.ip = requested;
            std::memcpy(client.mac, mac.data(), sizeof client.mac);
            std::memcpy(client.hostname, entry->hostname.data(), sizeof client.hostname);
            outcome.acked = client;
        }
    }

    std::array<std::uint8_t, kBufferSize> buf{};
    std::memcpy(buf.data(), data, size);
    buf[kOp] = kBootReply;
    buf[kType] = outcome.verdict == DhcpVerdict::Offer ? kOffer
                 : outcome.verdict == DhcpVerdict::Ack ? kAck
                                                       : kNak;
    Ipv4Text::ToBytes(chosen, buf.data() + kYiaddr);
    Ipv4Text::ToBytes(serverIp, buf.data() + kSiaddr);
    std::vector<std::uint32_t> dns = Ipv4Text::ParseList(settings.dnsList);
    const std::size_t length = WriteReplyOptions(buf.data(), serverIp, dns);
    outcome.reply.assign(buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(length));
    return outcome;
}

}  // namespace pellion
