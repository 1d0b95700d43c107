// The DNS servers of one interface on Linux: the per-link servers of
// systemd-resolved where it runs for this network namespace (its global
// servers for the link of the default route when the link has none),
// otherwise the name servers of /etc/resolv.conf for the link of the default
// route. Loopback servers (a local stub) are left out: the hotspot's clients
// cannot reach them.
#pragma once

#include <string>
#include <vector>

#include "platform/records/WinTypes.h"

namespace plat {

class LinuxDnsServers {
public:
    DWORD Servers(DWORD ifIndex, std::vector<std::string>* out);
    // The servers of the interface `index`, told whether it carries the
    // default route.
    static std::vector<std::string> Collect(unsigned index, bool defaultLink);
    // The IPv4 name servers of a resolv.conf text, loopback ones left out.
    static std::vector<std::string> FromResolvConf(const std::string& text);
};

}  // namespace plat
