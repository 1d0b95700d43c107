// Interface counters on Linux, read from /sys/class/net/<name>/statistics.
#pragma once

#include <cstdint>

#include "platform/records/WinTypes.h"

namespace plat {

class LinuxCounters {
public:
    DWORD Read(DWORD ifIndex, std::uint64_t* inOctets, std::uint64_t* outOctets);
};

}  // namespace plat
