#include "CounterWrap.h"

namespace plat {

std::uint64_t CounterWrap::Counter::Next(std::uint32_t raw) {
    if (raw < last)
        high += std::uint64_t{1} << 32;
    last = raw;
    return high + raw;
}

void CounterWrap::Extend(DWORD ifIndex, std::uint32_t in, std::uint32_t out, std::uint64_t* inTotal,
                         std::uint64_t* outTotal) {
    std::lock_guard<std::mutex> g(m_lock);
    auto& [received, sent] = m_counters[ifIndex];
    const std::uint64_t a = received.Next(in);
    const std::uint64_t b = sent.Next(out);
    if (inTotal != nullptr)
        *inTotal = a;
    if (outTotal != nullptr)
        *outTotal = b;
}

void CounterWrap::Forget(DWORD ifIndex) {
    std::lock_guard<std::mutex> g(m_lock);
    m_counters.erase(ifIndex);
}

}  // namespace plat
