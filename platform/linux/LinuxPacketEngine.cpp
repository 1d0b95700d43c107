#include "LinuxPacketEngine.h"

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
#include <sstream>

#include "platform/records/NatRecords.h"
#include "platform/text/GuidText.h"
#include "platform/text/Ipv4Text.h"

namespace plat {

namespace {

constexpr char kForwardPath[] = "/proc/sys/net/ipv4/ip_forward";
constexpr std::uint64_t kNoExpiry = ~0ull;

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

// "4m59s988ms", "1h", "2d3h": milliseconds; false for anything else.
bool ParseDuration(const std::string& text, std::uint64_t* ms) {
    std::uint64_t total = 0;
    std::size_t i = 0;
    if (text.empty())
        return false;
    while (i < text.size()) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
        std::uint64_t n = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
            n = n * 10 + static_cast<std::uint64_t>(text[i++] - '0');
        std::string unit;
        while (i < text.size() && std::isalpha(static_cast<unsigned char>(text[i])))
            unit.push_back(text[i++]);
        if (unit == "d")
            total += n * 86400000;
        else if (unit == "h")
            total += n * 3600000;
        else if (unit == "m")
            total += n * 60000;
        else if (unit == "s")
            total += n * 1000;
        else if (unit == "ms")
            total += n;
        else
            return false;
    }
    *ms = total;
    return true;
}

bool ParseMacNft(const std::string& text, MacAddress* mac) {
    unsigned b[6];
    char tail;
    if (std::sscanf(text.c_str(), "%2x:%2x:%2x:%2x:%2x:%2x%c", &b[0], &b[1], &b[2], &b[3], &b[4],
                    &b[5], &tail) != 6)
        return false;
    for (int i = 0; i < 6; ++i)
        (*mac)[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(b[i]);
    return true;
}

// The elements of set `name` in nft's listing: the text between the braces of
// "elements = { ... }" inside the set's own block, split at commas; empty
// when the set has none. False when the listing has no such set.
bool Elements(const std::string& text, const std::string& name, std::vector<std::string>* out) {
    out->clear();
    const std::string head = "set " + name + " {";
    std::size_t at = text.find(head);
    while (at != std::string::npos && at > 0 &&
           !std::isspace(static_cast<unsigned char>(text[at - 1])))
        at = text.find(head, at + 1);
    if (at == std::string::npos)
        return false;
    // The set's block ends where its braces balance again.
    const std::size_t body = at + head.size();
    std::size_t end = body;
    for (int depth = 1; end < text.size() && depth > 0; ++end) {
        if (text[end] == '{')
            ++depth;
        else if (text[end] == '}')
            --depth;
    }
    const std::string block = text.substr(body, end - body);
    const std::size_t elements = block.find("elements = {");
    if (elements == std::string::npos)
        return true;
    const std::size_t open = elements + 12;
    const std::size_t close = block.find('}', open);
    if (close == std::string::npos)
        return false;
    std::string item;
    for (std::size_t i = open; i < close; ++i) {
        if (block[i] == ',') {
            out->push_back(item);
            item.clear();
        } else {
            item.push_back(block[i]);
        }
    }
    out->push_back(item);
    return true;
}

void Replace(std::string* text, const std::string& from, const std::string& to) {
    for (std::size_t at = text->find(from); at != std::string::npos;
         at = text->find(from, at + to.size()))
        text->replace(at, from.size(), to);
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    std::string w;
    while (in >> w)
        words.push_back(w);
    return words;
}

// "counter packets N bytes M" among the words: M.
bool CounterBytes(const std::vector<std::string>& words, std::uint64_t* bytes) {
    for (std::size_t i = 0; i + 1 < words.size(); ++i) {
        if (words[i] == "bytes") {
            char* end = nullptr;
            *bytes = std::strtoull(words[i + 1].c_str(), &end, 10);
            return end != nullptr && *end == '\0';
        }
    }
    return false;
}

}  // namespace

bool LinuxPacketEngine::ParseSnapshot(const std::string& text, Snapshot* out) {
    Snapshot s;
    std::vector<std::string> items;
    if (!Elements(text, "clients", &items))
        return false;
    for (const auto& item : items) {
        const auto w = Words(item);
        // mac . ip [timeout T] [expires E]
        if (w.size() < 3 || w[1] != ".")
            continue;
        Snapshot::Pair p;
        if (!ParseMacNft(w[0], &p.mac) || !Ipv4Text::Parse(w[2], &p.ip))
            continue;
        p.expiresMs = kNoExpiry;
        for (std::size_t i = 3; i + 1 < w.size(); ++i)
            if (w[i] == "expires" && !ParseDuration(w[i + 1], &p.expiresMs))
                p.expiresMs = 0;
        s.clients.push_back(p);
    }
    if (Elements(text, "up", &items)) {
        for (const auto& item : items) {
            const auto w = Words(item);
            MacAddress mac{};
            std::uint64_t bytes = 0;
            if (!w.empty() && ParseMacNft(w[0], &mac) && CounterBytes(w, &bytes))
                s.up[mac] = bytes;
        }
    }
    if (Elements(text, "down", &items)) {
        for (const auto& item : items) {
            const auto w = Words(item);
            std::uint32_t ip = 0;
            std::uint64_t bytes = 0;
            if (!w.empty() && Ipv4Text::Parse(w[0], &ip) && CounterBytes(w, &bytes))
                s.down[ip] = bytes;
        }
    }
    *out = std::move(s);
    return true;
}

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
        "  set clients { type ether_addr . ipv4_addr; size 65535; flags dynamic,timeout; "
        "timeout @TIMEOUT@s; }\n"
        "  set up { type ether_addr; size 65535; flags dynamic; counter; }\n"
        "  set down { type ipv4_addr; size 65535; flags dynamic; counter; }\n"
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
        "    iifname \"@PRIV@\" ether saddr @blocked drop\n"
        "    oifname \"@PRIV@\" ip daddr @blocked_addr drop\n"
        "    iifname \"@PRIV@\" oifname \"@PUB@\" update @up { ether saddr }\n"
        "    iifname \"@PRIV@\" oifname \"@PUB@\" meta priority set ether saddr map @up_class\n"
        "    iifname \"@PUB@\" oifname \"@PRIV@\" update @down { ip daddr }\n"
        "    iifname \"@PUB@\" oifname \"@PRIV@\" meta priority set ip daddr map @down_class\n"
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
    return 0;
}

DWORD LinuxPacketEngine::Unshare() {
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
    // One listing command per run: nft lists only one set of a batch.
    std::string all, output, error;
    for (const char* set : {"clients", "up", "down"}) {
        if (!m_nft.Run(std::string("list set inet ") + kTable + " " + set, &output, &error))
            return false;
        all += output;
    }
    return ParseSnapshot(all, out);
}

std::string LinuxPacketEngine::SyncCommands(const MacAddress& mac, Client& c) {
    const std::string add = std::string("add element inet ") + kTable;
    const std::string del = std::string("delete element inet ") + kTable;
    std::string cmd;
    for (std::uint32_t ip : c.addresses) {
        const std::string text = Ipv4Text::Format(ip);
        const bool block = !c.allowed;
        if (block && c.blockedIps.insert(ip).second)
            cmd += add + Element("blocked_addr", text);
        const bool classed = c.downKBps != 0 && c.minor != 0;
        if (classed && c.classedIps.insert(ip).second)
            cmd += add + Element("down_class", text + " : " + ClassNft(c.minor));
    }
    if (c.allowed) {
        for (std::uint32_t ip : c.blockedIps)
            cmd += del + Element("blocked_addr", Ipv4Text::Format(ip));
        c.blockedIps.clear();
    }
    if (c.downKBps == 0) {
        for (std::uint32_t ip : c.classedIps)
            cmd += del + Element("down_class", Ipv4Text::Format(ip));
        c.classedIps.clear();
    }
    const bool upClass = c.upKBps != 0 && c.minor != 0;
    if (upClass && !c.upClassed)
        cmd += add + Element("up_class", MacNft(mac) + " : " + ClassNft(c.minor));
    if (!upClass && c.upClassed)
        cmd += del + Element("up_class", MacNft(mac));
    c.upClassed = upClass;
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
    Client& c = m_clients[mac];
    // The addresses it was seen with, for the download side of its policy.
    Snapshot s;
    if (Snap(&s))
        for (const auto& p : s.clients)
            if (p.mac == mac && p.ip != 0)
                c.addresses.insert(p.ip);
    // Classes first, so that no packet is sent to a class that is not there yet.
    if (const DWORD e = ApplyLimits(mac, c, upKBps, downKBps))
        return e;
    const bool hadUp = c.upKBps != 0;
    const bool hadDown = c.downKBps != 0;
    std::string cmd;
    const std::string set = std::string("element inet ") + kTable;
    if (!allowed && c.allowed)
        cmd += "add " + set + Element("blocked", MacNft(mac));
    if (allowed && !c.allowed)
        cmd += "delete " + set + Element("blocked", MacNft(mac));
    Client next = c;
    next.allowed = allowed;
    next.upKBps = upKBps;
    next.downKBps = downKBps;
    cmd += SyncCommands(mac, next);
    if (const DWORD e = Run(cmd))
        return e;
    c = next;
    // Classes no longer used go once no rule sends packets to them.
    if (hadUp && upKBps == 0)
        m_tc.DeleteClass(m_publicIndex, c.minor);
    if (hadDown && downKBps == 0)
        m_tc.DeleteClass(m_privateIndex, c.minor);
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
    std::map<std::uint32_t, Snapshot::Pair> holder;
    for (const auto& p : s.clients) {
        Seen& seen = peers[p.mac];
        if (p.ip == 0)
            continue;
        if (seen.ip == 0 || p.expiresMs > seen.expires)
            seen = Seen{p.ip, p.expiresMs};
        auto h = holder.find(p.ip);
        if (h == holder.end() || p.expiresMs > h->second.expiresMs)
            holder[p.ip] = p;
    }

    // New addresses of blocked or limited clients join their sets.
    std::string cmd;
    for (const auto& p : s.clients) {
        if (p.ip == 0)
            continue;
        Client& c = m_clients[p.mac];
        if (c.addresses.insert(p.ip).second)
            cmd += SyncCommands(p.mac, c);
    }
    Run(cmd);

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

    for (const auto& [mac, seen] : peers) {
        NatPeerTraffic t;
        t.mac = mac;
        t.ip = seen.ip;
        if (auto u = s.up.find(mac); u != s.up.end())
            t.upBytes = u->second;
        t.downBytes = m_downBase[mac];
        for (const auto& [ip, owner] : m_owners) {
            if (owner.mac != mac)
                continue;
            auto d = s.down.find(ip);
            if (d != s.down.end() && d->second >= owner.offset)
                t.downBytes += d->second - owner.offset;
        }
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
    for (const auto& p : s.clients)
        if (p.mac == mac)
            cmd += del + Element("clients", MacNft(mac) + " . " + Ipv4Text::Format(p.ip));
    if (s.up.count(mac) != 0)
        cmd += del + Element("up", MacNft(mac));
    for (auto it = m_owners.begin(); it != m_owners.end();) {
        if (it->second.mac == mac) {
            if (s.down.count(it->first) != 0)
                cmd += del + Element("down", Ipv4Text::Format(it->first));
            it = m_owners.erase(it);
        } else {
            ++it;
        }
    }
    m_downBase.erase(mac);
    return Run(cmd);
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
