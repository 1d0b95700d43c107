#include "SimAdapterConfig.h"

#include "SimFaults.h"

namespace plat {

std::string SimAdapterConfig::WmiAddress(const std::string& settingId) const {
    std::lock_guard<std::mutex> g(m_lock);
    auto it = m_wmiAddress.find(settingId);
    return it == m_wmiAddress.end() ? std::string() : it->second;
}

HRESULT SimAdapterConfig::EnableStatic(const std::string& settingId, const std::string& ip,
                                       const std::string&) {
    if (auto f = m_faults.Take("EnableStatic"))
        return static_cast<HRESULT>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    m_wmiAddress[settingId] = ip;
    return kSOk;
}

HRESULT SimAdapterConfig::SetGateways(const std::string&, const std::string&) {
    if (auto f = m_faults.Take("SetGateways"))
        return static_cast<HRESULT>(*f);
    return kSOk;
}

HRESULT SimAdapterConfig::EnableDhcp(const std::string& settingId) {
    if (auto f = m_faults.Take("EnableDHCP"))
        return static_cast<HRESULT>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    m_wmiAddress[settingId] = "";
    return kSOk;
}

}  // namespace plat
