#include "LinuxAdapters.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <map>
#include <string>

#include "LinuxRoutes.h"
#include "platform/text/GuidText.h"
#include "platform/text/TextCodec.h"

namespace plat {

DWORD LinuxAdapters::List(std::vector<AdapterInfo>* out) {
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
    const std::map<unsigned, std::string> gateways = LinuxRoutes::DefaultGateways();
    for (const auto& n : order) {
        AdapterInfo& a = byName[n];
        if (auto g = gateways.find(a.ifIndex); g != gateways.end())
            a.gateway = g->second;
        out->push_back(a);
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
