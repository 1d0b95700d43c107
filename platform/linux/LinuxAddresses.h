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

    // The IPv4 addresses of an interface as "a.b.c.d/prefix"; 0 or an errno value.
    static int List(const std::string& iface, std::vector<std::string>* addresses);
    // Removes the addresses of `iface` that `keep` does not hold. The number
    // removed (0 when the interface is gone), or -1.
    static int RemoveAllBut(const std::string& iface, const std::vector<std::string>& keep);
};

}  // namespace plat
