// Win32_NetworkAdapterConfiguration of the simulated PC: the address each
// adapter was given through its methods, by SettingID ("" = DHCP).
#pragma once

#include <map>
#include <mutex>
#include <string>

#include "platform/facility/NetworkAdapterConfiguration.h"

namespace plat {

class SimFaults;

class SimAdapterConfig : public NetworkAdapterConfiguration {
public:
    explicit SimAdapterConfig(SimFaults& faults) : m_faults(faults) {}

    std::string WmiAddress(const std::string& settingId) const;

    HRESULT EnableStatic(const std::string& settingId, const std::string& ip,
                         const std::string& mask) override;
    HRESULT SetGateways(const std::string& settingId, const std::string& gateway) override;
    HRESULT EnableDhcp(const std::string& settingId) override;

private:
    SimFaults& m_faults;
    mutable std::mutex m_lock;
    std::map<std::string, std::string> m_wmiAddress;
};

}  // namespace plat
