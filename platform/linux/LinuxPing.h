// One ICMP echo on Linux: through an unprivileged ICMP socket where the system
// allows one, else a raw one.
#pragma once

#include <cstdint>

#include "platform/records/WinTypes.h"

namespace plat {

class LinuxPing {
public:
    // Whether `ip` answered within `timeoutMs`.
    bool Echo(std::uint32_t ip, DWORD timeoutMs);
};

}  // namespace plat
