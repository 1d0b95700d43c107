#include "LinuxRoutes.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "LinuxErrors.h"
#include "Netlink.h"
#include "UniqueFd.h"

namespace plat {

DWORD LinuxRoutes::BestInterface(std::uint32_t destination, DWORD* ifIndex) {
    // Connecting a UDP socket makes the kernel choose the route (nothing is
    // sent); the source address it picked names the interface of that route.
    UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
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

std::map<unsigned, std::string> LinuxRoutes::DefaultGateways() {
    std::map<unsigned, std::string> gateways;
    for (auto& [index, via] : DefaultRoutes())
        if (!via.empty())
            gateways.emplace(index, via);
    return gateways;
}

std::map<unsigned, std::string> LinuxRoutes::DefaultRoutes() {
    std::map<unsigned, std::string> routes;
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
        if (oif != 0)
            routes.emplace(oif, via);
    });
    return routes;
}

int LinuxRoutes::AddDefaultRoute(Netlink& nl, unsigned index, in_addr gateway) {
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

}  // namespace plat
