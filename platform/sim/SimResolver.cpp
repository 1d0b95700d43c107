#include "SimResolver.h"

#include "SimFaults.h"

namespace plat {

void SimResolver::Set(const std::string& name, std::vector<DnsRecord> records) {
    std::lock_guard<std::mutex> g(m_lock);
    m_names[name] = std::move(records);
}

std::vector<std::string> SimResolver::Queries() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_queries;
}

void SimResolver::Hold(const std::string& name) {
    std::lock_guard<std::mutex> g(m_lock);
    m_held.insert(name);
}

void SimResolver::Release(const std::string& name) {
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_held.erase(name);
    }
    m_released.notify_all();
}

LONG SimResolver::QueryA(const std::string& name, std::vector<DnsRecord>* out) {
    {
        std::unique_lock<std::mutex> g(m_lock);
        m_queries.push_back(name);
        m_released.wait(g, [&] { return m_held.count(name) == 0; });
    }
    if (auto f = m_faults.Take("DnsQuery_A"))
        return static_cast<LONG>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    auto it = m_names.find(name);
    if (it == m_names.end())
        return 9003;  // DNS_ERROR_RCODE_NAME_ERROR
    if (out != nullptr)
        *out = it->second;
    return 0;
}

}  // namespace plat
