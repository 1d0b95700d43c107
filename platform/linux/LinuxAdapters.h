// The adapter table on Linux, from route netlink: every interface with its
// type (Ethernet, Wi-Fi, PPP, tunnel, loopback), hardware address, operational
// state, byte counters, IPv4 addresses, default gateway and DNS servers. Each
// interface is named by the GUID derived from its kernel name
// (GuidText::FromName).
#pragma once

#include <vector>

#include "platform/facility/IpHelper.h"

namespace plat {

class LinuxAdapters {
public:
    DWORD List(std::vector<AdapterInfo>* out);
    // The same without asking for DNS servers.
    static DWORD List(std::vector<AdapterInfo>* out, bool withDns);
    // Up as Windows' operational status: the link is up and carries
    // (IFF_RUNNING, operational state up or unknown); loopback when up.
    static bool IsUp(unsigned flags, unsigned char operstate);
    // The kernel index of the interface whose name gives `guid`; 0 when none.
    static unsigned IndexOf(const GUID& guid);
    // The IANA interface type of a link of kernel type `linkType` (ARPHRD_*).
    static DWORD TypeOf(unsigned short linkType, unsigned flags, bool wireless);
};

}  // namespace plat
