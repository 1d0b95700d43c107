// Routes on Linux: the interface the kernel picks toward a destination, the
// default gateways of the main table, and adding a default route.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <map>
#include <string>

#include "platform/records/WinTypes.h"

namespace plat {

class Netlink;

class LinuxRoutes {
public:
    DWORD BestInterface(std::uint32_t destination, DWORD* ifIndex);
    // Default gateways of the main routing table by interface index.
    static std::map<unsigned, std::string> DefaultGateways();
    // Interfaces that carry a default route of the main table, with its
    // gateway (empty for a route straight out of the interface).
    static std::map<unsigned, std::string> DefaultRoutes();
    // 0 (also when the route exists already) or an errno value.
    static int AddDefaultRoute(Netlink& nl, unsigned index, in_addr gateway);
};

}  // namespace plat
