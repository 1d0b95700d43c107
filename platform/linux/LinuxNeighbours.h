// The neighbour (ARP) table on Linux, and the name a neighbour's address has.
#pragma once

#include <string>
#include <vector>

#include "platform/facility/IpHelper.h"

namespace plat {

class LinuxNeighbours {
public:
    DWORD List(std::vector<NeighbourRow>* out);
    bool ReverseLookup(std::uint32_t ip, std::string* name);
};

}  // namespace plat
