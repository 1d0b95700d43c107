#include "DhcpMessageHandler.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>

#include "platform/text/Ipv4Text.h"

namespace pellion {

using plat::Ipv4Text;
using plat::MacAddress;

namespace {

// BOOTP layout.
constexpr std::size_t kOp = 0;
constexpr std::size_t kCiaddr = 12;
constexpr std::size_t kGiaddr = 24;
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
constexpr std::uint8_t kOptServerId = 54;
constexpr std::uint8_t kOptEnd = 255;

constexpr std::uint16_t kServerPort = 67;
constexpr std::uint32_t kLeaseSeconds = DhcpMessageHandler::kLeaseTime.count();
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
    std::optional<std::uint32_t> serverId;
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
        } else if (code == kOptServerId && len == 4) {
            out->serverId = Ipv4Text::FromBytes(value);
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

// The last octet to offer `mac`, 0 when no address is free. The client's own
// earlier octet comes first while nobody holds it, then octets no entry
// remembers, then octets only unbound entries remember. When every octet is
// held, the oldest offer still waiting for its REQUEST gives its octet up, so
// that a flood of DISCOVERs cannot keep the pool from real clients; only
// acknowledged leases are never taken. The server's own octet is never handed out.
std::uint8_t ChooseOctet(LeaseTable& table, const MacAddress& mac, std::uint8_t serverOctet) {
    OctetSet avoid;
    avoid.Set(serverOctet);
    const OctetSet& bound = table.Bound();
    const Lease* own = table.Find(mac);
    if (own != nullptr && own->octet >= 2 && own->octet <= 254 && own->octet != serverOctet &&
        !bound.Test(own->octet)) {
        if (!own->declined)
            return own->octet;
        avoid.Set(own->octet);
    }
    if (std::uint8_t octet = table.Held().FirstFree(2, 254, avoid))
        return octet;
    if (std::uint8_t octet = bound.FirstFree(2, 254, avoid))
        return octet;
    if (const Lease* oldest = table.OldestOffer()) {
        const std::uint8_t octet = oldest->octet;
        table.Drop(oldest->mac);
        return octet;
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

// The "DHCP:" lines, built without printf: they are written for every
// message, and under load their formatting was the handler's largest cost.
// `head` and `middle` surround the MAC text ("%02X-...") and the address is
// written dotted, as the format strings of these lines have them.
std::string Line(const char* head, const MacAddress& mac, const char* middle, std::uint32_t ip) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string line(head);
    line.reserve(64);
    for (std::size_t i = 0; i < mac.size(); ++i) {
        if (i != 0)
            line += '-';
        line += kHex[mac[i] >> 4];
        line += kHex[mac[i] & 15];
    }
    line += middle;
    std::uint8_t b[4];
    Ipv4Text::ToBytes(ip, b);
    for (int i = 0; i < 4; ++i) {
        if (i != 0)
            line += '.';
        line += std::to_string(b[i]);
    }
    line += '\n';
    return line;
}

}  // namespace

DhcpOutcome DhcpMessageHandler::Handle(const std::uint8_t* data, std::size_t size,
                                       const DhcpSettings& settings, LeaseTable& table,
                                       SteadyTime now) {
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
    if (request.type != kDiscover && request.type != kRequest && request.type != kRelease &&
        request.type != kDecline)
        return outcome;
    // A message that names another server is that server's business: a
    // REQUEST that chose another server's offer, a RELEASE or DECLINE of its lease.
    if (request.serverId && *request.serverId != serverIp)
        return outcome;
    // A relay agent forwards for the network of its own address: the server
    // has a pool only for its own network.
    const std::uint32_t relay = Ipv4Text::FromBytes(data + kGiaddr);
    if (relay != 0 && !SamePrefix(relay, serverIp))
        return outcome;

    MacAddress mac;
    std::memcpy(mac.data(), data + kChaddr, mac.size());
    now = table.Advance(now);

    if (request.type == kRelease || request.type == kDecline) {
        // Only the client's own bound address goes back: a RELEASE names it in
        // ciaddr, a DECLINE in option 50.
        const std::uint32_t address = request.type == kRelease ? Ipv4Text::FromBytes(data + kCiaddr)
                                                               : request.requestedIp.value_or(0);
        const Lease* own = table.Find(mac);
        if (own == nullptr || !own->bound || own->ip != address || address == 0)
            return outcome;
        if (request.type == kRelease) {
            table.Unbind(mac);
            outcome.verdict = DhcpVerdict::Release;
        } else {
            table.Decline(mac);
            outcome.verdict = DhcpVerdict::Decline;
        }
        return outcome;
    }

    const std::uint8_t serverOctet = LastOctet(serverIp);
    std::uint32_t chosen = 0;

    if (request.type == kDiscover) {
        outcome.verdict = DhcpVerdict::Offer;
        if (table.Refused(mac)) {
            if (table.Find(mac) != nullptr)
                table.Drop(mac);
        } else {
            const std::uint8_t octet = ChooseOctet(table, mac, serverOctet);
            if (octet != 0)
                chosen = WithLastOctet(serverIp, octet);
            table.Offer(mac, chosen, octet, request.hostname, now + kOfferHold);
        }
        outcome.debug.push_back(Line("DHCP:offer ip ", mac, ", ip:", chosen));
    } else {
        // A renewing client names its address in ciaddr instead of option 50.
        const std::uint32_t requested =
            request.requestedIp ? *request.requestedIp : Ipv4Text::FromBytes(data + kCiaddr);
        const std::uint8_t octet = LastOctet(requested);
        bool refuse =
            !SamePrefix(requested, serverIp) || octet == 0 || octet == 255 || octet == serverOctet;
        if (table.Refused(mac))
            refuse = true;
        // Another client's acknowledged lease is never taken; an offer that
        // only waits for its REQUEST gives way to a client that requests.
        const Lease* holder = refuse ? nullptr : table.Holder(octet);
        if (holder != nullptr && holder->mac != mac && holder->acknowledged)
            refuse = true;
        table.Ensure(mac, request.hostname);
        if (refuse) {
            outcome.verdict = DhcpVerdict::Nak;
            table.Drop(mac);
            outcome.debug.push_back(Line("DHCP:nak ", mac, ", req ip:", requested));
        } else {
            if (holder != nullptr && holder->mac != mac)
                table.Drop(holder->mac);
            outcome.verdict = DhcpVerdict::Ack;
            chosen = requested;
            table.Acknowledge(mac, requested, octet, now + kLeaseTime);
            outcome.debug.push_back(Line("DHCP:ack ", mac, ", ack ip:", requested));
            _DHCP_CLIENT client{};
            client.ip = requested;
            std::memcpy(client.mac, mac.data(), sizeof client.mac);
            std::memcpy(client.hostname, table.Find(mac)->hostname.data(), sizeof client.hostname);
            outcome.acked = client;
        }
    }

    if (relay != 0) {
        outcome.destination = relay;
        outcome.port = kServerPort;
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
