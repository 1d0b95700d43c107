// Properties records of the connection folder for the backends that build
// them from their adapter table (the simulated PC, Linux): allocation as the
// system's folder hands them out, and the matching free that their
// netshell.dll stand-in exports as NcFreeNetconProperties.
#pragma once

#include <string>

#include "platform/facility/IpHelper.h"
#include "platform/records/NetconTypes.h"

namespace plat {

class NetconRecords {
public:
    // The record of an adapter's connection: named after the adapter,
    // connected while it is up, dial-up for PPP links, tunnel for tunnels, LAN
    // otherwise, unless `mediaType`/`status` are given.
    static NETCON_PROPERTIES* FromAdapter(const AdapterInfo& adapter, const DWORD* mediaType,
                                          const DWORD* status);
    static void Free(NETCON_PROPERTIES* properties);
    static DWORD DefaultMediaType(DWORD ifType);
};

}  // namespace plat
