// 64-bit totals from 32-bit interface counters (GetIfEntry, where the system
// has no GetIfEntry2): a counter that reads less than before has wrapped at
// 4 GiB, and the total goes on from there. Read at least once per wrap (once
// a second is far within: 4 GiB a second is beyond any hotspot).
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <utility>

#include "platform/records/WinTypes.h"

namespace plat {

class CounterWrap {
public:
    // The totals of the interface's received and sent octets.
    void Extend(DWORD ifIndex, std::uint32_t in, std::uint32_t out, std::uint64_t* inTotal,
                std::uint64_t* outTotal);
    // Forgets an interface (gone, or its counters started again).
    void Forget(DWORD ifIndex);

private:
    struct Counter {
        std::uint32_t last = 0;
        std::uint64_t high = 0;  // wraps seen, times 2^32
        std::uint64_t Next(std::uint32_t raw);
    };
    std::mutex m_lock;
    std::map<DWORD, std::pair<Counter, Counter>> m_counters;
};

}  // namespace plat
