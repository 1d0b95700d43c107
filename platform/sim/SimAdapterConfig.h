// Win32_NetworkAdapterConfiguration of the simulated PC: the address each
// adapter was given through its methods, by SettingID ("" = DHCP). With the
// PC's adapter table, the methods change the table as Windows does, and an
// adapter the table does not have has no instance (WBEM_E_NOT_FOUND).
#pragma once

#include <map>
#include <mutex>
#include <string>

#include "platform/facility/IpHelper.h"
#include "platform/facility/NetworkAdapterConfiguration.h"

namespace plat {

class SimFaults;
class SimNetwork;
class OsInfo;

class SimAdapterConfig : public NetworkAdapterConfiguration {
public:
    // With `token`, the methods that change an adapter need administrator
    // rights; without them the method answers "access denied".
    explicit SimAdapterConfig(SimFaults& faults, SimNetwork* network = nullptr,
                              OsInfo* token = nullptr)
        : m_faults(faults), m_network(network), m_token(token) {}

    std::string WmiAddress(const std::string& settingId) const;

    HRESULT EnableStatic(const std::string& settingId, const std::string& ip,
                         const std::string& mask) override;
    HRESULT SetGateways(const std::string& settingId, const std::string& gateway) override;
    HRESULT EnableDhcp(const std::string& settingId) override;

private:
    // The adapter of a configuration instance; false when there is none.
    bool Instance(const std::string& settingId, GUID* adapter, AdapterInfo* info) const;
    bool Refused() const;

    SimFaults& m_faults;
    SimNetwork* m_network;
    OsInfo* m_token;
    mutable std::mutex m_lock;
    std::map<std::string, std::string> m_wmiAddress;
};

}  // namespace plat
