#include "LinuxNetwork.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/neighbour.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "Netlink.h"
#include "platform/text/GuidText.h"
#include "platform/text/TextCodec.h"

namespace plat {

namespace {

constexpr DWORD kErrorGenFailure = 31;
constexpr DWORD kErrorNetworkUnreachable = 1231;

DWORD WindowsCode(int e) {
    switch (e) {
        case 0:
            return 0;
        case EPERM:
        case EACCES:
            return kErrorAccessDenied;
        case ENODEV:
        case ENOENT:
            return kErrorFileNotFound;
        case EINVAL:
            return kErrorInvalidParameter;
        case ENOMEM:
        case ENOBUFS:
            return kErrorNotEnoughMemory;
        default:
            return kErrorGenFailure;
    }
}

// The kernel index of the interface whose name gives `guid`; 0 when none.
unsigned InterfaceIndex(const GUID& guid) {
    struct if_nameindex* list = if_nameindex();
    if (list == nullptr)
        return 0;
    unsigned index = 0;
    for (struct if_nameindex* p = list; p->if_index != 0; ++p) {
        if (p->if_name != nullptr && GuidText::FromName(p->if_name) == guid) {
            index = p->if_index;
            break;
        }
    }
    if_freenameindex(list);
    return index;
}

bool ParseAddress(const char* text, in_addr* out) {
    return text != nullptr && inet_pton(AF_INET, text, out) == 1;
}

// Prefix length of a contiguous mask; -1 when the mask has holes.
int PrefixLength(in_addr mask) {
    const std::uint32_t m = ntohl(mask.s_addr);
    int bits = 0;
    while (bits < 32 && (m & (0x80000000u >> bits)) != 0)
        ++bits;
    const std::uint32_t expected = bits == 0 ? 0 : ~0u << (32 - bits);
    return m == expected ? bits : -1;
}

struct AddressRow {
    in_addr local{};
    unsigned char prefix = 0;
};

int InterfaceAddresses(Netlink& nl, unsigned index, std::vector<AddressRow>* out) {
    ifaddrmsg family{};
    family.ifa_family = AF_INET;
    NetlinkMessage dump(RTM_GETADDR, NLM_F_DUMP, &family, sizeof family);
    return nl.Dump(dump, [&](const nlmsghdr& h) {
        if (h.nlmsg_type != RTM_NEWADDR)
            return;
        const auto* a = static_cast<const ifaddrmsg*>(NLMSG_DATA(&h));
        if (a->ifa_index != index)
            return;
        AddressRow row;
        row.prefix = a->ifa_prefixlen;
        bool found = false;
        Netlink::Attributes(h, sizeof *a, [&](std::uint16_t type, const void* data, std::size_t n) {
            if ((type == IFA_LOCAL || (type == IFA_ADDRESS && !found)) && n == 4) {
                std::memcpy(&row.local, data, 4);
                found = true;
            }
        });
        if (found)
            out->push_back(row);
    });
}

int ChangeAddress(Netlink& nl, std::uint16_t type, unsigned index, in_addr local,
                  unsigned char prefix) {
    ifaddrmsg family{};
    family.ifa_family = AF_INET;
    family.ifa_prefixlen = prefix;
    family.ifa_index = index;
    family.ifa_scope = RT_SCOPE_UNIVERSE;
    const std::uint16_t flags = type == RTM_NEWADDR ? NLM_F_CREATE | NLM_F_REPLACE : 0;
    NetlinkMessage m(type, flags, &family, sizeof family);
    m.AddAttribute(IFA_LOCAL, &local, 4);
    m.AddAttribute(IFA_ADDRESS, &local, 4);
    if (type == RTM_NEWADDR && prefix < 31) {
        const std::uint32_t hostBits = prefix == 0 ? ~0u : (1u << (32 - prefix)) - 1;
        in_addr broadcast{};
        broadcast.s_addr = htonl(ntohl(local.s_addr) | hostBits);
        m.AddAttribute(IFA_BROADCAST, &broadcast, 4);
    }
    return nl.Request(m);
}

int AddDefaultRoute(Netlink& nl, unsigned index, in_addr gateway) {
    rtmsg family{};
    family.rtm_family = AF_INET;
    family.rtm_table = RT_TABLE_MAIN;
    family.rtm_protocol = RTPROT_STATIC;
    family.rtm_scope = RT_SCOPE_UNIVERSE;
    family.rtm_type = RTN_UNICAST;
    NetlinkMessage m(RTM_NEWROUTE, NLM_F_CREATE | NLM_F_EXCL, &family, sizeof family);
    m.AddAttribute(RTA_GATEWAY, &gateway, 4);
    const std::uint32_t oif = index;
    m.AddAttribute(RTA_OIF, &oif, 4);
    const int e = nl.Request(m);
    return e == EEXIST ? 0 : e;
}

// Default gateways of the main routing table by interface index.
std::map<unsigned, std::string> DefaultGateways() {
    std::map<unsigned, std::string> gateways;
    Netlink nl;
    rtmsg family{};
    family.rtm_family = AF_INET;
    NetlinkMessage dump(RTM_GETROUTE, NLM_F_DUMP, &family, sizeof family);
    nl.Dump(dump, [&](const nlmsghdr& h) {
        if (h.nlmsg_type != RTM_NEWROUTE)
            return;
        const auto* r = static_cast<const rtmsg*>(NLMSG_DATA(&h));
        if (r->rtm_dst_len != 0 || r->rtm_table != RT_TABLE_MAIN)
            return;
        unsigned oif = 0;
        std::string via;
        Netlink::Attributes(h, sizeof *r, [&](std::uint16_t type, const void* data, std::size_t n) {
            if (type == RTA_OIF && n == 4)
                std::memcpy(&oif, data, 4);
            if (type == RTA_GATEWAY && n == 4) {
                char text[INET_ADDRSTRLEN] = {};
                inet_ntop(AF_INET, data, text, sizeof text);
                via = text;
            }
        });
        if (oif != 0 && !via.empty())
            gateways.emplace(oif, via);
    });
    return gateways;
}

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

// A socket descriptor closed on scope exit.
class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

}  // namespace

DWORD LinuxNetwork::Adapters(std::vector<AdapterInfo>* out) {
    if (out == nullptr)
        return kErrorInvalidParameter;
    out->clear();
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return kErrorNotEnoughMemory;
    std::map<std::string, AdapterInfo> byName;
    std::vector<std::string> order;
    for (ifaddrs* p = list; p != nullptr; p = p->ifa_next) {
        if (p->ifa_name == nullptr)
            continue;
        const std::string name = p->ifa_name;
        auto [it, added] = byName.try_emplace(name);
        AdapterInfo& a = it->second;
        if (added) {
            order.push_back(name);
            a.name = name;
            a.guid = GuidText::FromName(name);
            a.friendlyName = TextCodec::Utf8ToWide(name);
            a.description = a.friendlyName;
            a.ifIndex = if_nametoindex(name.c_str());
            a.ifType = (p->ifa_flags & IFF_LOOPBACK) != 0 ? kIfTypeLoopback : kIfTypeEthernet;
            a.up = (p->ifa_flags & IFF_UP) != 0;
        }
        if (p->ifa_addr != nullptr && p->ifa_addr->sa_family == AF_INET) {
            char ip[INET_ADDRSTRLEN] = {}, mask[INET_ADDRSTRLEN] = {};
            inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(p->ifa_addr)->sin_addr, ip,
                      sizeof ip);
            if (p->ifa_netmask != nullptr)
                inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(p->ifa_netmask)->sin_addr, mask,
                          sizeof mask);
            a.ipv4.push_back({ip, mask});
        }
    }
    freeifaddrs(list);
    const std::map<unsigned, std::string> gateways = DefaultGateways();
    for (const auto& n : order) {
        AdapterInfo& a = byName[n];
        if (auto g = gateways.find(a.ifIndex); g != gateways.end())
            a.gateway = g->second;
        out->push_back(a);
    }
    return 0;
}

DWORD LinuxNetwork::BestInterface(std::uint32_t destination, DWORD* ifIndex) {
    // Connecting a UDP socket makes the kernel choose the route (nothing is
    // sent); the source address it picked names the interface of that route.
    Fd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (fd.get() < 0)
        return WindowsCode(errno);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(9);
    to.sin_addr.s_addr = destination;
    if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&to), sizeof to) != 0)
        return kErrorNetworkUnreachable;
    sockaddr_in local{};
    socklen_t len = sizeof local;
    if (::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&local), &len) != 0)
        return WindowsCode(errno);
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return kErrorNotEnoughMemory;
    unsigned index = 0;
    for (ifaddrs* p = list; p != nullptr && index == 0; p = p->ifa_next) {
        if (p->ifa_name == nullptr || p->ifa_addr == nullptr || p->ifa_addr->sa_family != AF_INET)
            continue;
        sockaddr_in address{};
        std::memcpy(&address, p->ifa_addr, sizeof address);
        if (address.sin_addr.s_addr == local.sin_addr.s_addr)
            index = if_nametoindex(p->ifa_name);
    }
    freeifaddrs(list);
    if (index == 0)
        return kErrorNetworkUnreachable;
    if (ifIndex != nullptr)
        *ifIndex = index;
    return 0;
}

DWORD LinuxNetwork::InterfaceCounters(DWORD ifIndex, std::uint64_t* inOctets,
                                      std::uint64_t* outOctets) {
    char name[IF_NAMESIZE] = {};
    if (if_indextoname(ifIndex, name) == nullptr)
        return kErrorFileNotFound;
    auto read = [&name](const char* counter, std::uint64_t* value) {
        const std::string path = std::string("/sys/class/net/") + name + "/statistics/" + counter;
        std::FILE* f = std::fopen(path.c_str(), "r");
        if (f == nullptr)
            return false;
        unsigned long long v = 0;
        const bool ok = std::fscanf(f, "%llu", &v) == 1;
        std::fclose(f);
        if (ok && value != nullptr)
            *value = v;
        return ok;
    };
    if (!read("rx_bytes", inOctets) || !read("tx_bytes", outOctets))
        return kErrorGenFailure;
    return 0;
}

DWORD LinuxNetwork::SetStaticAddress(const GUID& adapter, const char* ip, const char* mask,
                                     const char* gateway) {
    in_addr local{}, netmask{}, via{};
    int prefix = 24;
    if (ip != nullptr) {
        if (!ParseAddress(ip, &local))
            return kErrorInvalidParameter;
        if (mask != nullptr && *mask != '\0') {
            if (!ParseAddress(mask, &netmask) || (prefix = PrefixLength(netmask)) < 0)
                return kErrorInvalidParameter;
        }
        if (gateway != nullptr && *gateway != '\0' && !ParseAddress(gateway, &via))
            return kErrorInvalidParameter;
    }
    const unsigned index = InterfaceIndex(adapter);
    if (index == 0)
        return kErrorFileNotFound;

    // The new address replaces every IPv4 address of the interface, as a static
    // configuration does on Windows; without one the interface is left bare.
    Netlink nl;
    std::vector<AddressRow> current;
    if (const int e = InterfaceAddresses(nl, index, &current))
        return WindowsCode(e);
    for (const auto& row : current) {
        if (ip != nullptr && row.local.s_addr == local.s_addr && row.prefix == prefix)
            continue;
        if (const int e = ChangeAddress(nl, RTM_DELADDR, index, row.local, row.prefix);
            e != 0 && e != EADDRNOTAVAIL)
            return WindowsCode(e);
    }
    if (ip == nullptr)
        return 0;
    if (const int e =
            ChangeAddress(nl, RTM_NEWADDR, index, local, static_cast<unsigned char>(prefix)))
        return WindowsCode(e);
    if (via.s_addr != 0) {
        if (const int e = AddDefaultRoute(nl, index, via))
            return WindowsCode(e);
    }
    return 0;
}

DWORD LinuxNetwork::SetDnsServers(const GUID&, const std::vector<std::string>&) {
    // Linux keeps no DNS servers per interface outside a resolver daemon.
    return kErrorNotSupported;
}

DWORD LinuxNetwork::Neighbours(std::vector<NeighbourRow>* out) {
    if (out == nullptr)
        return kErrorInvalidParameter;
    out->clear();
    Netlink nl;
    ndmsg family{};
    family.ndm_family = AF_INET;
    NetlinkMessage dump(RTM_GETNEIGH, NLM_F_DUMP, &family, sizeof family);
    const int e = nl.Dump(dump, [&](const nlmsghdr& h) {
        if (h.nlmsg_type != RTM_NEWNEIGH)
            return;
        const auto* n = static_cast<const ndmsg*>(NLMSG_DATA(&h));
        if (n->ndm_family != AF_INET)
            return;
        if ((n->ndm_state & (NUD_INCOMPLETE | NUD_FAILED | NUD_NOARP)) != 0)
            return;
        NeighbourRow row;
        row.ifIndex = static_cast<DWORD>(n->ndm_ifindex);
        bool hasIp = false;
        Netlink::Attributes(h, sizeof *n,
                            [&](std::uint16_t type, const void* data, std::size_t size) {
                                if (type == NDA_DST && size == 4) {
                                    std::memcpy(&row.ip, data, 4);
                                    hasIp = true;
                                } else if (type == NDA_LLADDR) {
                                    const auto* bytes = static_cast<const BYTE*>(data);
                                    row.mac.assign(bytes, bytes + size);
                                }
                            });
        if (hasIp && !row.mac.empty())
            out->push_back(row);
    });
    if (e != 0)
        return WindowsCode(e);
    std::stable_sort(out->begin(), out->end(), [](const NeighbourRow& a, const NeighbourRow& b) {
        return ntohl(a.ip) < ntohl(b.ip);
    });
    return 0;
}

bool LinuxNetwork::Ping(std::uint32_t ip, DWORD timeoutMs) {
    // An unprivileged ICMP socket where the system allows one, else a raw one.
    bool raw = false;
    Fd fd(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP));
    int sock = fd.get();
    Fd rawFd(sock < 0 ? socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP) : -1);
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

bool LinuxNetwork::ReverseLookup(std::uint32_t ip, std::string* name) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(27015);
    address.sin_addr.s_addr = ip;
    char host[NI_MAXHOST] = {};
    if (getnameinfo(reinterpret_cast<sockaddr*>(&address), sizeof address, host, sizeof host,
                    nullptr, 0, NI_NAMEREQD) != 0)
        return false;
    if (name != nullptr)
        *name = host;
    return true;
}

}  // namespace plat
