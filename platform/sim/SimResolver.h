// The resolver of the simulated PC: names with their records in resolver order.
#pragma once

#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/facility/DnsResolver.h"

namespace plat {

class SimFaults;

class SimResolver : public DnsResolver {
public:
    explicit SimResolver(SimFaults& faults) : m_faults(faults) {}
    void Set(const std::string& name, std::vector<DnsRecord> records);
    std::vector<std::string> Queries() const;
    // Lookups of a held name wait (in real time) until it is released, as a
    // slow upstream server would keep them.
    void Hold(const std::string& name);
    void Release(const std::string& name);

    LONG QueryA(const std::string& name, std::vector<DnsRecord>* out) override;

private:
    SimFaults& m_faults;
    mutable std::mutex m_lock;
    std::map<std::string, std::vector<DnsRecord>> m_names;
    std::vector<std::string> m_queries;
    std::set<std::string> m_held;
    std::condition_variable m_released;
};

}  // namespace plat
