// Adapters of the simulated PC for the connection and sharing tests.
#pragma once

#include <string>
#include <vector>

#include "platform/sim/SimPc.h"
#include "platform/text/GuidText.h"
#include "platform/text/TextCodec.h"

namespace conntest {

inline plat::GUID GuidOf(const std::string& name) {
    return plat::GuidText::FromName(name);
}

// An adapter named `name` (connection name and device "<name> adapter"), up,
// Ethernet, with the given addresses (/24) and a MAC ending in `n`.
inline plat::AdapterInfo Adapter(const std::string& name, std::vector<std::string> ips = {},
                                 plat::DWORD ifType = plat::kIfTypeEthernet) {
    plat::AdapterInfo a;
    a.guid = GuidOf(name);
    a.name = plat::GuidText::ToString(a.guid);
    a.friendlyName = plat::TextCodec::Utf8ToWide(name);
    a.description = plat::TextCodec::Utf8ToWide(name + " adapter");
    a.ifType = ifType;
    a.mac = {0x00, 0x1C, 0x42, 0x0A, 0x0B, static_cast<plat::BYTE>(name.size())};
    for (auto& ip : ips)
        a.ipv4.push_back({ip, "255.255.255.0"});
    return a;
}

inline std::vector<std::string> Addresses(plat::SimPc& pc, const std::string& name) {
    plat::AdapterInfo a;
    std::vector<std::string> out;
    if (pc.network.FindAdapter(GuidOf(name), &a))
        for (const auto& ip : a.ipv4)
            out.push_back(ip.ip);
    return out;
}

}  // namespace conntest
