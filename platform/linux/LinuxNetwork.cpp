#include "LinuxNetwork.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <map>

#include "../GuidText.h"
#include "../TextCodec.h"

namespace plat {

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
    for (const auto& n : order)
        out->push_back(byName[n]);
    return 0;
}

DWORD LinuxNetwork::BestInterface(std::uint32_t, DWORD*) {
    return kErrorNotSupported;
}

DWORD LinuxNetwork::InterfaceCounters(DWORD, std::uint64_t*, std::uint64_t*) {
    return kErrorNotSupported;
}

DWORD LinuxNetwork::SetStaticAddress(const GUID&, const char*, const char*, const char*) {
    return kErrorNotSupported;
}

DWORD LinuxNetwork::SetDnsServers(const GUID&, const std::vector<std::string>&) {
    return kErrorNotSupported;
}

DWORD LinuxNetwork::Neighbours(std::vector<NeighbourRow>* out) {
    if (out != nullptr)
        out->clear();
    return kErrorNotSupported;
}

bool LinuxNetwork::Ping(std::uint32_t, DWORD) {
    return false;
}

bool LinuxNetwork::ReverseLookup(std::uint32_t, std::string*) {
    return false;
}

}  // namespace plat
