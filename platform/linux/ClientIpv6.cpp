#include "ClientIpv6.h"

#include <arpa/inet.h>
#include <linux/if_addr.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "Netlink.h"

namespace plat {

namespace {

constexpr unsigned kRtfUp = 0x0001;
constexpr unsigned kRtfReject = 0x0200;

std::string ConfPath(const std::string& iface, const char* key) {
    return ClientIpv6::ProcRoot() + "/sys/net/ipv6/conf/" + iface + "/" + key;
}

int ReadNumber(const std::string& path) {
    std::ifstream in(path);
    int value = -1;
    if (!(in >> value))
        return -1;
    return value;
}

bool WriteNumber(const std::string& path, int value) {
    std::ofstream out(path);
    out << value << "\n";
    out.flush();
    return static_cast<bool>(out);
}

std::string Text(const RouterAdvert::Ipv6& a) {
    char text[INET6_ADDRSTRLEN];
    inet_ntop(AF_INET6, a.data(), text, sizeof text);
    return text;
}

// Adds (RTM_NEWADDR) or removes (RTM_DELADDR) `address`/64 on `iface`. An
// added address is usable at once: the prefix is the hotspot's own, so
// duplicate detection is skipped. 0 or an errno value.
int ChangeAddress(std::uint16_t type, const std::string& iface, const RouterAdvert::Ipv6& address) {
    const unsigned index = if_nametoindex(iface.c_str());
    if (index == 0)
        return ENODEV;
    Netlink nl;
    if (const int e = nl.Open())
        return e;
    ifaddrmsg family{};
    family.ifa_family = AF_INET6;
    family.ifa_prefixlen = 64;
    family.ifa_flags = IFA_F_NODAD;
    family.ifa_scope = RT_SCOPE_UNIVERSE;
    family.ifa_index = index;
    NetlinkMessage m(type, type == RTM_NEWADDR ? NLM_F_CREATE | NLM_F_REPLACE : 0, &family,
                     sizeof family);
    m.AddAttribute(IFA_LOCAL, address.data(), 16);
    m.AddAttribute(IFA_ADDRESS, address.data(), 16);
    return nl.Request(m);
}

bool HardwareAddress(const std::string& iface, RouterAdvert::Mac* mac) {
    const int fd = socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    ifreq request{};
    std::snprintf(request.ifr_name, sizeof request.ifr_name, "%s", iface.c_str());
    const bool ok = ioctl(fd, SIOCGIFHWADDR, &request) == 0;
    close(fd);
    if (ok)
        std::memcpy(mac->data(), request.ifr_hwaddr.sa_data, 6);
    return ok;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

std::string& ClientIpv6::ProcRoot() {
    static std::string root = "/proc";
    return root;
}

ClientIpv6::ClientIpv6(Clock& clock) : m_advertiser(clock) {}

ClientIpv6::~ClientIpv6() {
    Stop();
}

std::string ClientIpv6::FormatPrefix(const RouterAdvert::Ipv6& prefix) {
    RouterAdvert::Ipv6 p = prefix;
    std::memset(p.data() + 8, 0, 8);
    return Text(p) + "/64";
}

bool ClientIpv6::ParsePrefix(const std::string& text, RouterAdvert::Ipv6* prefix) {
    const std::size_t slash = text.find('/');
    if (slash == std::string::npos || text.substr(slash + 1) != "64")
        return false;
    RouterAdvert::Ipv6 p{};
    if (inet_pton(AF_INET6, text.substr(0, slash).c_str(), p.data()) != 1)
        return false;
    if (p[0] != 0xfd)
        return false;
    for (std::size_t i = 8; i < 16; ++i)
        if (p[i] != 0)
            return false;
    *prefix = p;
    return true;
}

bool ClientIpv6::KeptPrefix(const std::string& file, RouterAdvert::Ipv6* prefix) {
    {
        std::ifstream in(file);
        std::string line;
        if (std::getline(in, line)) {
            while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
                line.pop_back();
            if (ParsePrefix(line, prefix))
                return true;
        }
    }
    // fd00::/8 with a 40-bit global ID drawn at random (RFC 4193 3.2), subnet 0.
    RouterAdvert::Ipv6 p{};
    p[0] = 0xfd;
    if (getrandom(p.data() + 1, 5, 0) != 5)
        return false;
    const std::string temporary = file + ".new";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << FormatPrefix(p) << "\n";
        out.flush();
        if (!out)
            return false;
    }
    std::error_code ec;
    std::filesystem::rename(temporary, file, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        return false;
    }
    *prefix = p;
    return true;
}

bool ClientIpv6::HasDefaultRoute(const std::string& table, const std::string& iface) {
    std::istringstream lines(table);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string dest, destLength, source, sourceLength, nextHop, metric, refs, use, flags, dev;
        if (!(fields >> dest >> destLength >> source >> sourceLength >> nextHop >> metric >> refs >>
              use >> flags >> dev))
            continue;
        if (dest != std::string(32, '0') || destLength != "00" || dev != iface)
            continue;
        unsigned bits = 0;
        if (std::sscanf(flags.c_str(), "%x", &bits) != 1)
            continue;
        if ((bits & kRtfUp) != 0 && (bits & kRtfReject) == 0)
            return true;
    }
    return false;
}

int ClientIpv6::Start(const std::string& pub, const std::string& priv,
                      const std::string& prefixFile, std::string* why) {
    if (m_active)
        return EBUSY;
    if (!HasDefaultRoute(ReadAll(ProcRoot() + "/thread-self/net/ipv6_route"), pub)) {
        *why = "no IPv6 default route on " + pub;
        return 0;
    }
    if (ReadNumber(ConfPath(priv, "disable_ipv6")) != 0) {
        *why = "IPv6 is off on " + priv;
        return 0;
    }
    RouterAdvert::Ipv6 prefix{};
    if (!KeptPrefix(prefixFile, &prefix)) {
        *why = "the IPv6 prefix cannot be kept in " + prefixFile;
        return EIO;
    }
    RouterAdvert::Advertisement ad;
    if (!HardwareAddress(priv, &ad.source)) {
        *why = "no link-layer address on " + priv;
        return ENODEV;
    }
    m_address = prefix;
    m_address[15] = 1;
    if (const int e = ChangeAddress(RTM_NEWADDR, priv, m_address)) {
        *why = "the IPv6 address could not be set on " + priv;
        return e;
    }
    m_pub = pub;
    m_priv = priv;
    m_acceptRaBefore = ReadNumber(ConfPath(pub, "accept_ra"));
    m_forwardBefore = ReadNumber(ConfPath("all", "forwarding"));
    m_active = true;
    // Forwarding makes the kernel ignore advertisements where accept_ra is 1:
    // the public interface would lose the router it learnt.
    if ((m_acceptRaBefore == 1 && !WriteNumber(ConfPath(pub, "accept_ra"), 2)) ||
        (m_forwardBefore == 0 && !WriteNumber(ConfPath("all", "forwarding"), 1))) {
        *why = "IPv6 forwarding could not be switched on";
        Stop();
        return EACCES;
    }
    ad.prefix = prefix;
    ad.dns = m_address;
    if (const int e = m_advertiser.Start(priv, ad)) {
        *why = "router advertisements cannot be sent on " + priv;
        Stop();
        return e;
    }
    return 0;
}

void ClientIpv6::Stop() {
    if (!m_active)
        return;
    m_active = false;
    m_advertiser.Stop();
    ChangeAddress(RTM_DELADDR, m_priv, m_address);
    if (m_acceptRaBefore == 1 && ReadNumber(ConfPath(m_pub, "accept_ra")) == 2)
        WriteNumber(ConfPath(m_pub, "accept_ra"), 1);
    if (m_forwardBefore == 0)
        WriteNumber(ConfPath("all", "forwarding"), 0);
    m_forwardBefore = m_acceptRaBefore = -1;
}

std::string ClientIpv6::Address() const {
    return m_active ? Text(m_address) : std::string();
}

std::string ClientIpv6::Record() const {
    if (!m_active)
        return {};
    return "ipv6 " + m_priv + " " + Text(m_address) + " forwarding " +
           std::to_string(m_forwardBefore) + " accept_ra " + m_pub + " " +
           std::to_string(m_acceptRaBefore);
}

void ClientIpv6::Recover(const std::string& record) {
    std::istringstream fields(record);
    std::string tag, priv, address, forwardingWord, acceptWord, pub;
    int forwarding = -1, acceptRa = -1;
    if (!(fields >> tag >> priv >> address >> forwardingWord >> forwarding >> acceptWord >> pub >>
          acceptRa) ||
        tag != "ipv6" || forwardingWord != "forwarding" || acceptWord != "accept_ra")
        return;
    // The names go into file paths: only what an interface name may hold.
    for (const std::string* name : {&priv, &pub})
        if (name->empty() || name->size() >= IFNAMSIZ || name->find('/') != std::string::npos ||
            *name == "." || *name == "..")
            return;
    RouterAdvert::Ipv6 a{};
    if (inet_pton(AF_INET6, address.c_str(), a.data()) == 1 && a[0] == 0xfd)
        ChangeAddress(RTM_DELADDR, priv, a);
    if (acceptRa == 1 && ReadNumber(ConfPath(pub, "accept_ra")) == 2)
        WriteNumber(ConfPath(pub, "accept_ra"), 1);
    if (forwarding == 0)
        WriteNumber(ConfPath("all", "forwarding"), 0);
}

}  // namespace plat
