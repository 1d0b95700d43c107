// Addresses of an interface on Linux: a static IPv4 address (with its mask and
// gateway) that replaces the ones it had, and per-interface DNS servers.
#pragma once

#include <string>
#include <vector>

#include "platform/records/WinTypes.h"

namespace plat {

class LinuxAddresses {
public:
    DWORD SetStatic(const GUID& adapter, const char* ip, const char* mask, const char* gateway);
    DWORD SetDnsServers(const GUID& adapter, const std::vector<std::string>& servers);
};

}  // namespace plat
