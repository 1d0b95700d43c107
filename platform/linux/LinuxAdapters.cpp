#include "LinuxAdapters.h"

#include <arpa/inet.h>
#include <linux/if_link.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <netinet/in.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>

#include "LinuxDnsServers.h"
#include "LinuxErrors.h"
#include "LinuxRoutes.h"
#include "Netlink.h"
#include "platform/text/GuidText.h"
#include "platform/text/TextCodec.h"

namespace plat {

namespace {

// The longest physical address an adapter entry carries (MAX_ADAPTER_ADDRESS_LENGTH).
constexpr std::size_t kMaxPhysicalAddress = 8;
// IF_OPER_UNKNOWN and IF_OPER_UP of <linux/if.h>, which clashes with <net/if.h>.
constexpr unsigned char kOperUnknown = 0;
constexpr unsigned char kOperUp = 6;

std::string Dotted(const void* address) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, address, text, sizeof text);
    return text;
}

std::string MaskOf(unsigned prefix) {
    const std::uint32_t bits = prefix == 0 ? 0 : prefix >= 32 ? ~0u : ~0u << (32 - prefix);
    const std::uint32_t mask = htonl(bits);
    return Dotted(&mask);
}

bool IsWireless(const std::string& name) {
    struct stat st {};
    const std::string base = "/sys/class/net/" + name;
    return stat((base + "/wireless").c_str(), &st) == 0 ||
           stat((base + "/phy80211").c_str(), &st) == 0;
}

}  // namespace

DWORD LinuxAdapters::TypeOf(unsigned short linkType, unsigned flags, bool wireless) {
    if ((flags & IFF_LOOPBACK) != 0 || linkType == ARPHRD_LOOPBACK)
        return kIfTypeLoopback;
    switch (linkType) {
        case ARPHRD_PPP:
            return kIfTypePpp;
        case ARPHRD_NONE:  // tun, WireGuard
        case ARPHRD_TUNNEL:
        case ARPHRD_TUNNEL6:
        case ARPHRD_SIT:
        case ARPHRD_IPGRE:
        case 823:  // ARPHRD_IP6GRE
            return kIfTypeTunnel;
        case ARPHRD_IEEE80211:
        case ARPHRD_IEEE80211_PRISM:
        case ARPHRD_IEEE80211_RADIOTAP:
            return kIfTypeWifi;
        default:
            return wireless ? kIfTypeWifi : kIfTypeEthernet;
    }
}

DWORD LinuxAdapters::List(std::vector<AdapterInfo>* out) {
    return List(out, true);
}

bool LinuxAdapters::IsUp(unsigned flags, unsigned char operstate) {
    if ((flags & IFF_LOOPBACK) != 0)
        return (flags & IFF_UP) != 0;
    return (flags & IFF_UP) != 0 && (flags & IFF_RUNNING) != 0 &&
           (operstate == kOperUp || operstate == kOperUnknown);
}

DWORD LinuxAdapters::List(std::vector<AdapterInfo>* out, bool withDns) {
    if (out == nullptr)
        return kErrorInvalidParameter;
    out->clear();
    Netlink nl;

    // The links, in the kernel's order.
    std::vector<AdapterInfo> links;
    ifinfomsg linkFamily{};
    linkFamily.ifi_family = AF_UNSPEC;
    NetlinkMessage linkDump(RTM_GETLINK, NLM_F_DUMP, &linkFamily, sizeof linkFamily);
    int e = nl.Dump(linkDump, [&](const nlmsghdr& h) {
        if (h.nlmsg_type != RTM_NEWLINK)
            return;
        const auto* info = static_cast<const ifinfomsg*>(NLMSG_DATA(&h));
        AdapterInfo a;
        a.ifIndex = static_cast<DWORD>(info->ifi_index);
        unsigned char operstate = kOperUnknown;
        Netlink::Attributes(
            h, sizeof *info, [&](std::uint16_t type, const void* data, std::size_t size) {
                const auto* bytes = static_cast<const BYTE*>(data);
                if (type == IFLA_IFNAME)
                    a.name.assign(static_cast<const char*>(data),
                                  strnlen(static_cast<const char*>(data), size));
                else if (type == IFLA_ADDRESS)
                    a.mac.assign(bytes, bytes + std::min(size, kMaxPhysicalAddress));
                else if (type == IFLA_OPERSTATE && size >= 1)
                    operstate = bytes[0];
                else if (type == IFLA_STATS64 && size >= sizeof(rtnl_link_stats64)) {
                    rtnl_link_stats64 stats{};
                    std::memcpy(&stats, data, sizeof stats);
                    a.inOctets = stats.rx_bytes;
                    a.outOctets = stats.tx_bytes;
                }
            });
        if (a.name.empty())
            return;
        a.guid = GuidText::FromName(a.name);
        a.friendlyName = TextCodec::Utf8ToWide(a.name);
        a.description = a.friendlyName;
        a.ifType = TypeOf(info->ifi_type, info->ifi_flags,
                          info->ifi_type == ARPHRD_ETHER && IsWireless(a.name));
        a.up = IsUp(info->ifi_flags, operstate);
        links.push_back(std::move(a));
    });
    if (e != 0)
        return WindowsCode(e);

    // Their IPv4 addresses.
    std::map<DWORD, std::vector<Ipv4Address>> addresses;
    ifaddrmsg addressFamily{};
    addressFamily.ifa_family = AF_INET;
    NetlinkMessage addressDump(RTM_GETADDR, NLM_F_DUMP, &addressFamily, sizeof addressFamily);
    e = nl.Dump(addressDump, [&](const nlmsghdr& h) {
        if (h.nlmsg_type != RTM_NEWADDR)
            return;
        const auto* a = static_cast<const ifaddrmsg*>(NLMSG_DATA(&h));
        if (a->ifa_family != AF_INET)
            return;
        std::string local, address;
        Netlink::Attributes(h, sizeof *a,
                            [&](std::uint16_t type, const void* data, std::size_t size) {
                                if (size != 4)
                                    return;
                                if (type == IFA_LOCAL)
                                    local = Dotted(data);
                                else if (type == IFA_ADDRESS)
                                    address = Dotted(data);
                            });
        const std::string ip = !local.empty() ? local : address;
        if (!ip.empty())
            addresses[a->ifa_index].push_back({ip, MaskOf(a->ifa_prefixlen)});
    });
    if (e != 0)
        return WindowsCode(e);

    const std::map<unsigned, std::string> routes = LinuxRoutes::DefaultRoutes();
    for (auto& a : links) {
        if (auto it = addresses.find(a.ifIndex); it != addresses.end())
            a.ipv4 = std::move(it->second);
        const auto route = routes.find(a.ifIndex);
        if (route != routes.end())
            a.gateway = route->second;
        if (withDns && a.ifType != kIfTypeLoopback)
            a.dns = LinuxDnsServers::Collect(a.ifIndex, route != routes.end());
        out->push_back(std::move(a));
    }
    return 0;
}

unsigned LinuxAdapters::IndexOf(const GUID& guid) {
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

}  // namespace plat
