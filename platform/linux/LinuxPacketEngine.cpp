#include "LinuxPacketEngine.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "platform/records/NatRecords.h"
#include "platform/text/GuidText.h"
#include "platform/text/Ipv4Text.h"
#include "platform/winapi/DebugOutput.h"

namespace plat {

namespace {

constexpr char kForwardPath[] = "/proc/sys/net/ipv4/ip_forward";

std::string MacNft(const MacAddress& m) {
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", m[0], m[1], m[2], m[3], m[4],
                  m[5]);
    return text;
}

std::string ClassNft(std::uint16_t minor) {
    char text[16];
    std::snprintf(text, sizeof text, "%x:%x", TcShaper::kMajor, minor);
    return text;
}

std::string Element(const char* set, const std::string& key) {
    return std::string(" ") + set + " { " + key + " }\n";
}

// Interface names go into the rules as quoted strings: only the characters a
// name made by the system's tools carries.
bool SafeName(const std::string& name) {
    if (name.empty() || name.size() >= IFNAMSIZ)
        return false;
    for (unsigned char c : name)
        if (!std::isalnum(c) && c != '_' && c != '-' && c != '.' && c != '@' && c != ':')
            return false;
    return true;
}

// The interface whose name the GUID is derived from.
bool InterfaceOf(const GUID& guid, std::string* name, int* index) {
    struct if_nameindex* list = if_nameindex();
    if (list == nullptr)
        return false;
    bool found = false;
    for (struct if_nameindex* p = list; p->if_index != 0 && p->if_name != nullptr; ++p) {
        if (GuidText::FromName(p->if_name) == guid) {
            *name = p->if_name;
            *index = static_cast<int>(p->if_index);
            found = true;
            break;
        }
    }
    if_freenameindex(list);
    return found;
}

int ReadForwarding() {
    std::ifstream in(kForwardPath);
    int value = -1;
    if (!(in >> value))
        return -1;
    return value;
}

bool WriteForwarding(int value) {
    std::ofstream out(kForwardPath);
    out << value << "\n";
    out.flush();
    return static_cast<bool>(out);
}

DWORD ErrorOf(const std::string& nftError) {
    if (nftError.find("Operation not permitted") != std::string::npos ||
        nftError.find("Permission denied") != std::string::npos)
        return kErrorAccessDenied;
    return kNatErrorGenFailure;
}

DWORD ErrnoToError(int e) {
    switch (e) {
        case 0:
            return 0;
        case EPERM:
        case EACCES:
            return kErrorAccessDenied;
        case EBUSY:
        case EEXIST:
            return kErrorBusy;
        case ENOMEM:
        case ENOBUFS:
            return kErrorNotEnoughMemory;
        case ENODEV:
            return kNatErrorNotFound;
        default:
            return kNatErrorGenFailure;
    }
}

void Replace(std::string* text, const std::string& from, const std::string& to) {
    for (std::size_t at = text->find(from); at != std::string::npos;
         at = text->find(from, at + to.size()))
        text->replace(at, from.size(), to);
}

}  // namespace

LinuxPacketEngine::LinuxPacketEngine(Clock* clock)
    : m_ipv6(clock != nullptr ? *clock : m_ownClock) {}

LinuxPacketEngine::~LinuxPacketEngine() {
    if (m_sharing)
        Unshare();
    if (m_lock >= 0)
        close(m_lock);
}

DWORD LinuxPacketEngine::Run(const std::string& commands) {
    std::string error;
    if (commands.empty() || m_nft.Run(commands, nullptr, &error))
        return 0;
    return ErrorOf(error);
}

void LinuxPacketEngine::RestoreForwarding(int before) {
    if (before == 0)
        WriteForwarding(0);
}

void LinuxPacketEngine::ResetState() {
    m_sharing = false;
    m_public.clear();
    m_private.clear();
    m_publicIndex = m_privateIndex = 0;
    m_clients.clear();
    m_addresses = AddressView{};
    m_owners.clear();
    m_downBase.clear();
    m_nextMinor = 2;
}

DWORD LinuxPacketEngine::Start() {
    if (!m_nft.Usable())
        return kErrorFileNotFound;
    std::string output, error;
    if (!m_nft.Run("list tables", &output, &error))
        return ErrorOf(error);
    if (m_lock < 0) {
        const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return kNatErrorGenFailure;
        sockaddr_un name{};
        name.sun_family = AF_UNIX;
        static const char kName[] = "lumari-nat";
        std::memcpy(name.sun_path + 1, kName, sizeof kName - 1);
        const socklen_t size =
            static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + sizeof kName);
        if (bind(fd, reinterpret_cast<sockaddr*>(&name), size) != 0) {
            close(fd);
            return kErrorBusy;  // another process's driver works in this namespace
        }
        m_lock = fd;
    }
    // A crashed run left its table: put forwarding back as the table's comment
    // says it was, then remove the table.
    if (m_nft.Run(std::string("list table inet ") + kTable, &output, &error)) {
        if (output.find("comment \"ip_forward 0\"") != std::string::npos)
            RestoreForwarding(0);
        if (!m_nft.Run(std::string("delete table inet ") + kTable, nullptr, &error))
            return ErrorOf(error);
    }
    // The IPv6 table's comment says what that run changed on the host for IPv6.
    if (m_nft.Run(std::string("list table netdev ") + kTable6, &output, &error)) {
        const std::size_t at = output.find("comment \"");
        if (at != std::string::npos) {
            const std::size_t from = at + 9;
            const std::size_t to = output.find('"', from);
            if (to != std::string::npos)
                ClientIpv6::Recover(output.substr(from, to - from));
        }
        if (!m_nft.Run(std::string("delete table netdev ") + kTable6, nullptr, &error))
            return ErrorOf(error);
    }
    const int removed = m_tc.RemoveAll();
    if (removed < 0)
        return ErrnoToError(-removed);
    return 0;
}

DWORD LinuxPacketEngine::Share(const GUID& publicIf, const GUID& privateIf, std::string* reason) {
    if (m_sharing) {
        *reason = "already sharing";
        return kErrorBusy;
    }
    std::string pub, priv;
    int pubIndex = 0, privIndex = 0;
    if (!InterfaceOf(publicIf, &pub, &pubIndex) || !InterfaceOf(privateIf, &priv, &privIndex)) {
        *reason = "no such adapter";
        return kNatErrorNotFound;
    }
    if (!SafeName(pub) || !SafeName(priv) || pubIndex == privIndex) {
        *reason = "bad adapter name";
        return kErrorInvalidParameter;
    }
    const int forwarding = ReadForwarding();
    std::string ruleset =
        "add table inet @TABLE@\n"
        "delete table inet @TABLE@\n"
        "table inet @TABLE@ {\n"
        "  comment \"ip_forward @FORWARD@\"\n"
        "  set clients { type ether_addr . ipv4_addr; size 1024; flags dynamic,timeout; "
        "timeout @TIMEOUT@s; }\n"
        "  set clients6 { type ether_addr; size 1024; flags dynamic,timeout; "
        "timeout @TIMEOUT@s; }\n"
        "  set up { type ether_addr; size 1024; flags dynamic; counter; }\n"
        "  set down { type ipv4_addr; size 1024; flags dynamic; counter; }\n"
        "  set blocked { type ether_addr; }\n"
        "  set blocked_addr { type ipv4_addr; }\n"
        "  map up_class { type ether_addr : classid; }\n"
        "  map down_class { type ipv4_addr : classid; }\n"
        "  set ports { type inet_service; }\n"
        "  chain prerouting {\n"
        "    type filter hook prerouting priority filter; policy accept;\n"
        "    iifname \"@PRIV@\" update @clients { ether saddr . ip saddr }\n"
        "  }\n"
        "  chain forward {\n"
        "    type filter hook forward priority filter; policy accept;\n"
        "    iifname . oifname vmap { \"@PRIV@\" . \"@PUB@\" : jump upload, "
        "\"@PUB@\" . \"@PRIV@\" : jump download }\n"
        "    iifname \"@PRIV@\" ether saddr @blocked drop\n"
        "    oifname \"@PRIV@\" ip daddr @blocked_addr drop\n"
        "  }\n"
        "  chain upload {\n"
        "    ether saddr @blocked drop\n"
        "    update @up { ether saddr }\n"
        "    meta priority set ether saddr map @up_class\n"
        "  }\n"
        "  chain download {\n"
        "    ip daddr @blocked_addr drop\n"
        "    update @down { ip daddr }\n"
        "    meta priority set ip daddr map @down_class\n"
        "  }\n"
        "  chain postrouting {\n"
        "    type nat hook postrouting priority srcnat; policy accept;\n"
        "    oifname \"@PUB@\" fib saddr type != local masquerade\n"
        "  }\n"
        "  chain input {\n"
        "    type filter hook input priority filter; policy accept;\n"
        "  }\n"
        "  chain host {\n"
        "    ct state established,related accept\n"
        "    meta l4proto { icmp, ipv6-icmp } accept\n"
        "    udp dport { 53, 67 } accept\n"
        "    tcp dport 53 accept\n"
        "    meta l4proto { tcp, udp } th dport @ports accept\n"
        "    meta l4proto tcp reject with tcp reset\n"
        "    reject with icmpx admin-prohibited\n"
        "  }\n"
        "}\n";
    Replace(&ruleset, "@TABLE@", kTable);
    Replace(&ruleset, "@FORWARD@", forwarding == 0 ? "0" : "1");
    Replace(&ruleset, "@TIMEOUT@", std::to_string(kPeerTimeoutSeconds));
    Replace(&ruleset, "@PUB@", pub);
    Replace(&ruleset, "@PRIV@", priv);
    std::string error;
    if (!m_nft.Run(ruleset, nullptr, &error)) {
        *reason = "nftables refused";
        return ErrorOf(error);
    }
    if (forwarding == 0 && !WriteForwarding(1)) {
        m_nft.Run(std::string("delete table inet ") + kTable, nullptr, &error);
        *reason = "no forwarding";
        return kErrorAccessDenied;
    }
    ResetState();
    m_forwardBefore = forwarding;
    m_sharing = true;
    m_public = pub;
    m_private = priv;
    m_publicIndex = pubIndex;
    m_privateIndex = privIndex;
    StartIpv6();
    return 0;
}

void LinuxPacketEngine::SetIpv6(bool on, const std::string& prefixFile) {
    m_ipv6On = on;
    m_prefixFile = prefixFile;
}

std::string LinuxPacketEngine::Ipv6Address() const {
    std::lock_guard<std::mutex> g(m_ipv6Lock);
    return m_ipv6Address;
}

void LinuxPacketEngine::StartIpv6() {
    if (!m_ipv6On || m_prefixFile.empty())
        return;
    std::string why;
    const int e = m_ipv6.Start(m_public, m_private, m_prefixFile, &why);
    if (!m_ipv6.Active()) {
        DebugOutput::Instance().Write("no IPv6 for the clients: " + why +
                                      (e != 0 ? " (" + std::string(std::strerror(e)) + ")" : ""));
        return;
    }
    const std::string address = m_ipv6.Address();
    std::string ruleset =
        "add table netdev @TABLE@\n"
        "delete table netdev @TABLE@\n"
        "table netdev @TABLE@ {\n"
        "  comment \"@RECORD@\"\n"
        "  set blocked { type ether_addr; }\n"
        "  set down { type ether_addr; size 1024; flags dynamic; counter; }\n"
        "  map down_class { type ether_addr : classid; }\n"
        "  chain egress {\n"
        "    type filter hook egress device \"@PRIV@\" priority filter; policy accept;\n"
        "    meta protocol != ip6 accept\n"
        "    ether daddr @blocked drop\n"
        "    ip6 saddr { @PREFIX@, fe80::/10 } accept\n"
        "    update @down { ether daddr }\n"
        "    meta priority set ether daddr map @down_class\n"
        "  }\n"
        "}\n";
    RouterAdvert::Ipv6 prefix{};
    inet_pton(AF_INET6, address.c_str(), prefix.data());
    Replace(&ruleset, "@TABLE@", kTable6);
    Replace(&ruleset, "@RECORD@", m_ipv6.Record());
    Replace(&ruleset, "@PRIV@", m_private);
    Replace(&ruleset, "@PREFIX@", ClientIpv6::FormatPrefix(prefix));
    std::string error;
    if (!m_nft.Run(ruleset, nullptr, &error)) {
        DebugOutput::Instance().Write("no IPv6 for the clients: nftables refused the IPv6 table: " +
                                      error);
        m_ipv6.Stop();
        return;
    }
    // A device that uses an address of the prefix is a client, also one that
    // never speaks IPv4 (it is a peer without an IPv4 address).
    const std::string seen = std::string("add rule inet ") + kTable + " prerouting iifname \"" +
                             m_private + "\" ip6 saddr " + ClientIpv6::FormatPrefix(prefix) +
                             " update @clients6 { ether saddr }\n";
    if (!m_nft.Run(seen, nullptr, &error))
        DebugOutput::Instance().Write("clients that speak only IPv6 are not seen: " + error);
    m_ipv6Table = true;
    std::lock_guard<std::mutex> g(m_ipv6Lock);
    m_ipv6Address = address;
}

void LinuxPacketEngine::StopIpv6() {
    {
        std::lock_guard<std::mutex> g(m_ipv6Lock);
        m_ipv6Address.clear();
    }
    m_ipv6.Stop();
    std::string output, error;
    if (m_nft.Run(std::string("list table netdev ") + kTable6, &output, &error))
        m_nft.Run(std::string("delete table netdev ") + kTable6, nullptr, &error);
    m_ipv6Table = false;
}

DWORD LinuxPacketEngine::Unshare() {
    StopIpv6();
    std::string output, error;
    DWORD result = 0;
    if (m_nft.Run(std::string("list table inet ") + kTable, &output, &error) &&
        !m_nft.Run(std::string("delete table inet ") + kTable, nullptr, &error))
        result = ErrorOf(error);
    for (int index : {m_publicIndex, m_privateIndex})
        if (index != 0)
            if (const int e = m_tc.RemoveRoot(index); e != 0 && result == 0)
                result = ErrnoToError(e);
    if (result != 0)
        return result;
    if (m_sharing)
        RestoreForwarding(m_forwardBefore);
    m_forwardBefore = -1;
    ResetState();
    return 0;
}

bool LinuxPacketEngine::Snap(Snapshot* out) {
    Snapshot s;
    std::vector<NftSetReader::Element> elements;
    if (m_reader.Read(kTable, "clients", &elements) != 0)
        return false;
    for (const auto& e : elements) {
        // ether_addr . ipv4_addr: the MAC padded to 8 bytes, then the address.
        if (e.key.size() < 10)
            continue;
        Snapshot::Pair p;
        std::memcpy(p.mac.data(), e.key.data(), 6);
        std::memcpy(&p.ip, e.key.data() + (e.key.size() >= 12 ? 8 : 6), 4);
        p.expiresMs = e.expiresMs;
        s.clients.push_back(p);
    }
    if (m_reader.Read(kTable, "clients6", &elements) != 0)
        return false;
    for (const auto& e : elements) {
        if (e.key.size() < 6)
            continue;
        Snapshot::Pair p;  // no IPv4 address
        p.fromIpv6 = true;
        std::memcpy(p.mac.data(), e.key.data(), 6);
        p.expiresMs = e.expiresMs;
        s.clients.push_back(p);
    }
    if (m_reader.Read(kTable, "up", &elements) != 0)
        return false;
    for (const auto& e : elements) {
        MacAddress mac{};
        if (e.key.size() < 6)
            continue;
        std::memcpy(mac.data(), e.key.data(), 6);
        s.up[mac] = e.bytes;
    }
    if (m_reader.Read(kTable, "down", &elements) != 0)
        return false;
    for (const auto& e : elements) {
        std::uint32_t ip = 0;
        if (e.key.size() < 4)
            continue;
        std::memcpy(&ip, e.key.data(), 4);
        s.down[ip] = e.bytes;
    }
    *out = std::move(s);
    return true;
}

std::map<std::uint32_t, MacAddress> LinuxPacketEngine::Holders(const Snapshot& s) {
    std::map<std::uint32_t, Snapshot::Pair> freshest;
    for (const auto& p : s.clients) {
        if (p.ip == 0)
            continue;
        auto h = freshest.find(p.ip);
        if (h == freshest.end() || p.expiresMs > h->second.expiresMs)
            freshest[p.ip] = p;
    }
    std::map<std::uint32_t, MacAddress> holders;
    for (const auto& [ip, pair] : freshest)
        holders.emplace_hint(holders.end(), ip, pair.mac);
    return holders;
}

std::string LinuxPacketEngine::AddressCommands(const std::map<std::uint32_t, MacAddress>& holders,
                                               const std::map<MacAddress, Client>& clients,
                                               AddressView* next) const {
    AddressView want;
    for (const auto& [ip, mac] : holders) {
        auto c = clients.find(mac);
        if (c == clients.end())
            continue;
        if (!c->second.allowed)
            want.blocked.insert(ip);
        if (c->second.downKBps != 0 && c->second.minor != 0)
            want.classes.emplace(ip, c->second.minor);
    }
    const std::string add = std::string("add element inet ") + kTable;
    const std::string del = std::string("delete element inet ") + kTable;
    std::string cmd;
    for (std::uint32_t ip : m_addresses.blocked)
        if (want.blocked.count(ip) == 0)
            cmd += del + Element("blocked_addr", Ipv4Text::Format(ip));
    for (std::uint32_t ip : want.blocked)
        if (m_addresses.blocked.count(ip) == 0)
            cmd += add + Element("blocked_addr", Ipv4Text::Format(ip));
    for (const auto& [ip, minor] : m_addresses.classes) {
        auto w = want.classes.find(ip);
        if (w == want.classes.end() || w->second != minor)
            cmd += del + Element("down_class", Ipv4Text::Format(ip));
    }
    for (const auto& [ip, minor] : want.classes) {
        auto h = m_addresses.classes.find(ip);
        if (h == m_addresses.classes.end() || h->second != minor)
            cmd += add + Element("down_class", Ipv4Text::Format(ip) + " : " + ClassNft(minor));
    }
    *next = std::move(want);
    return cmd;
}

DWORD LinuxPacketEngine::ApplyLimits(const MacAddress& mac, Client& c, std::uint32_t upKBps,
                                     std::uint32_t downKBps) {
    (void)mac;
    if ((upKBps != 0 || downKBps != 0) && c.minor == 0) {
        if (m_nextMinor == 0xFFFF)
            return kErrorNotEnoughMemory;
        c.minor = m_nextMinor++;
    }
    if (upKBps != 0) {
        if (const int e = m_tc.EnsureRoot(m_publicIndex))
            return ErrnoToError(e);
        if (const int e = m_tc.SetClass(m_publicIndex, c.minor, std::uint64_t{upKBps} * 1024))
            return ErrnoToError(e);
    }
    if (downKBps != 0) {
        if (const int e = m_tc.EnsureRoot(m_privateIndex))
            return ErrnoToError(e);
        if (const int e = m_tc.SetClass(m_privateIndex, c.minor, std::uint64_t{downKBps} * 1024))
            return ErrnoToError(e);
    }
    return 0;
}

DWORD LinuxPacketEngine::SetPolicy(const MacAddress& mac, bool allowed, std::uint32_t upKBps,
                                   std::uint32_t downKBps) {
    if (!m_sharing)
        return kErrorInvalidParameter;
    Snapshot s;
    if (!Snap(&s))
        return kNatErrorGenFailure;
    std::map<MacAddress, Client> clients = m_clients;
    Client& c = clients[mac];
    // Classes first, so that no packet is sent to a class that is not there yet.
    if (const DWORD e = ApplyLimits(mac, c, upKBps, downKBps))
        return e;
    m_clients[mac].minor = c.minor;  // the class exists now, whatever follows
    const bool hadUp = c.upKBps != 0;
    const bool hadDown = c.downKBps != 0;
    std::string cmd;
    const std::string set = std::string("element inet ") + kTable;
    const std::string set6 = std::string("element netdev ") + kTable6;
    if (!allowed && c.allowed) {
        cmd += "add " + set + Element("blocked", MacNft(mac));
        if (m_ipv6Table)
            cmd += "add " + set6 + Element("blocked", MacNft(mac));
    }
    if (allowed && !c.allowed) {
        cmd += "delete " + set + Element("blocked", MacNft(mac));
        if (m_ipv6Table)
            cmd += "delete " + set6 + Element("blocked", MacNft(mac));
    }
    c.allowed = allowed;
    c.upKBps = upKBps;
    c.downKBps = downKBps;
    const bool upClass = c.upKBps != 0 && c.minor != 0;
    if (upClass && !c.upClassed)
        cmd += "add " + set + Element("up_class", MacNft(mac) + " : " + ClassNft(c.minor));
    if (!upClass && c.upClassed)
        cmd += "delete " + set + Element("up_class", MacNft(mac));
    c.upClassed = upClass;
    const bool down6Class = m_ipv6Table && c.downKBps != 0 && c.minor != 0;
    if (down6Class && !c.down6Classed)
        cmd += "add " + set6 + Element("down_class", MacNft(mac) + " : " + ClassNft(c.minor));
    if (!down6Class && c.down6Classed)
        cmd += "delete " + set6 + Element("down_class", MacNft(mac));
    c.down6Classed = down6Class;
    AddressView addresses;
    cmd += AddressCommands(Holders(s), clients, &addresses);
    if (const DWORD e = Run(cmd))
        return e;
    const std::uint16_t minor = c.minor;
    m_clients = std::move(clients);
    m_addresses = std::move(addresses);
    // Classes no longer used go once no rule sends packets to them.
    if (hadUp && upKBps == 0)
        m_tc.DeleteClass(m_publicIndex, minor);
    if (hadDown && downKBps == 0)
        m_tc.DeleteClass(m_privateIndex, minor);
    return 0;
}

DWORD LinuxPacketEngine::Peers(std::vector<NatPeerTraffic>* out) {
    out->clear();
    if (!m_sharing)
        return 0;
    Snapshot s;
    if (!Snap(&s))
        return kNatErrorGenFailure;

    // Each MAC's current address is that of its freshest pair; each address
    // belongs to the MAC of its freshest pair.
    struct Seen {
        std::uint32_t ip = 0;
        std::uint64_t expires = 0;
    };
    std::map<MacAddress, Seen> peers;
    for (const auto& p : s.clients) {
        Seen& seen = peers[p.mac];
        if (p.ip == 0)
            continue;
        if (seen.ip == 0 || p.expiresMs > seen.expires)
            seen = Seen{p.ip, p.expiresMs};
    }
    std::map<std::uint32_t, Snapshot::Pair> holder;
    for (const auto& p : s.clients) {
        if (p.ip == 0)
            continue;
        auto h = holder.find(p.ip);
        if (h == holder.end() || p.expiresMs > h->second.expiresMs)
            holder[p.ip] = p;
    }

    // Blocks and download classes follow their addresses' holders: a new
    // address of a blocked or limited client joins its sets, an address that
    // another MAC took or that timed out leaves them. A refused change is
    // tried again at the next listing; the view keeps what the kernel holds.
    {
        std::map<std::uint32_t, MacAddress> holders;
        for (const auto& [ip, pair] : holder)
            holders.emplace_hint(holders.end(), ip, pair.mac);
        AddressView addresses;
        const std::string cmd = AddressCommands(holders, m_clients, &addresses);
        if (!cmd.empty() && Run(cmd) == 0)
            m_addresses = std::move(addresses);
    }

    // Download counts move with their address from one MAC to the next. What
    // arrived since the previous listing goes to the new holder, whose fresher
    // pair says it used the address last.
    for (const auto& [ip, bytes] : s.down) {
        auto h = holder.find(ip);
        auto o = m_owners.find(ip);
        if (o == m_owners.end()) {
            if (h != holder.end())
                m_owners[ip] = Owner{h->second.mac, 0, bytes};
            continue;
        }
        if (h != holder.end() && o->second.mac != h->second.mac) {
            const std::uint64_t cut = std::min(o->second.lastBytes, bytes);
            if (cut >= o->second.offset)
                m_downBase[o->second.mac] += cut - o->second.offset;
            o->second.mac = h->second.mac;
            o->second.offset = cut;
        }
        // Nobody holds it now: its count stays with the last holder.
        o->second.lastBytes = bytes;
    }

    // Each MAC's download: what its earlier addresses counted for it, and
    // what its addresses counted since it took them.
    std::map<MacAddress, std::uint64_t> down = m_downBase;
    for (const auto& [ip, owner] : m_owners) {
        auto d = s.down.find(ip);
        if (d != s.down.end() && d->second >= owner.offset)
            down[owner.mac] += d->second - owner.offset;
    }
    // IPv6 download is counted by MAC on the private interface's egress.
    if (m_ipv6Table) {
        std::vector<NftSetReader::Element> elements;
        if (m_reader.Read(kTable6, "down", &elements, NftSetReader::kNetdev) == 0)
            for (const auto& e : elements) {
                MacAddress mac{};
                if (e.key.size() < 6)
                    continue;
                std::memcpy(mac.data(), e.key.data(), 6);
                down[mac] += e.bytes;
            }
    }
    out->reserve(peers.size());
    for (const auto& [mac, seen] : peers) {
        NatPeerTraffic t;
        t.mac = mac;
        t.ip = seen.ip;
        if (auto u = s.up.find(mac); u != s.up.end())
            t.upBytes = u->second;
        if (auto d = down.find(mac); d != down.end())
            t.downBytes = d->second;
        out->push_back(t);
    }
    return 0;
}

DWORD LinuxPacketEngine::Forget(const MacAddress& mac) {
    if (!m_sharing)
        return 0;
    Snapshot s;
    if (!Snap(&s))
        return kNatErrorGenFailure;
    const std::string del = std::string("delete element inet ") + kTable;
    std::string cmd;
    for (const auto& p : s.clients) {
        if (p.mac != mac)
            continue;
        if (p.fromIpv6)
            cmd += del + Element("clients6", MacNft(mac));
        else
            cmd += del + Element("clients", MacNft(mac) + " . " + Ipv4Text::Format(p.ip));
    }
    if (s.up.count(mac) != 0)
        cmd += del + Element("up", MacNft(mac));
    if (m_ipv6Table) {
        std::vector<NftSetReader::Element> elements;
        if (m_reader.Read(kTable6, "down", &elements, NftSetReader::kNetdev) == 0)
            for (const auto& e : elements)
                if (e.key.size() >= 6 && std::memcmp(e.key.data(), mac.data(), 6) == 0)
                    cmd += std::string("delete element netdev ") + kTable6 +
                           Element("down", MacNft(mac));
    }
    std::map<std::uint32_t, Owner> owners = m_owners;
    for (auto it = owners.begin(); it != owners.end();) {
        if (it->second.mac == mac) {
            if (s.down.count(it->first) != 0)
                cmd += del + Element("down", Ipv4Text::Format(it->first));
            it = owners.erase(it);
        } else {
            ++it;
        }
    }
    // Its addresses go to whoever else holds them, or to nobody; its own
    // policy (by MAC) stays for when it comes back.
    Snapshot after = s;
    std::erase_if(after.clients, [&](const Snapshot::Pair& p) { return p.mac == mac; });
    AddressView addresses;
    cmd += AddressCommands(Holders(after), m_clients, &addresses);
    if (const DWORD e = Run(cmd))
        return e;
    m_owners = std::move(owners);
    m_downBase.erase(mac);
    m_addresses = std::move(addresses);
    return 0;
}

DWORD LinuxPacketEngine::SetHostPorts(bool restricted, const std::vector<std::uint16_t>& ports) {
    if (!m_sharing)
        return kErrorInvalidParameter;
    const std::string t = std::string(" inet ") + kTable + " ";
    std::string cmd = "flush set" + t + "ports\nflush chain" + t + "input\n";
    if (restricted) {
        if (!ports.empty()) {
            cmd += "add element" + t + "ports { ";
            for (std::size_t i = 0; i < ports.size(); ++i)
                cmd += (i > 0 ? ", " : "") + std::to_string(ports[i]);
            cmd += " }\n";
        }
        cmd += "add rule" + t + "input iifname \"" + m_private + "\" jump host\n";
    }
    return Run(cmd);
}

}  // namespace plat
