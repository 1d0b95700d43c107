// ICS of the simulated PC: the sharing configuration of each connection and the
// HomeNet WMI instances, kept consistent with each other.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/facility/IcsConfig.h"

namespace plat {

class SimFaults;

class SimIcs : public IcsConfig {
public:
    explicit SimIcs(SimFaults& faults) : m_faults(faults) {}

    void SetInstalled(bool installed);
    void AddConnection(const GUID& connection);
    bool IsPublic(const GUID& connection) const;
    bool IsPrivate(const GUID& connection) const;
    bool ManagerAlive() const;
    // Addresses set through Win32_NetworkAdapterConfiguration, by SettingID ("" = DHCP).
    std::string WmiAddress(const std::string& settingId) const;

    HRESULT CreateSharingManager() override;
    void ReleaseSharingManager() override;
    HRESULT SharingInstalled(bool* installed) override;
    HRESULT EveryConnection(std::vector<GUID>* out) override;
    bool HasConfiguration(const GUID& connection) override;
    HRESULT EnableSharing(const GUID& connection, int sharingType) override;
    HRESULT DisableSharing(const GUID& connection) override;
    HRESULT QueryHomeNet(std::vector<HomeNetConnection>* out) override;
    HRESULT PutHomeNet(const HomeNetConnection& instance) override;
    HRESULT EnableStatic(const std::string& settingId, const std::string& ip,
                         const std::string& mask) override;
    HRESULT SetGateways(const std::string& settingId, const std::string& gateway) override;
    HRESULT EnableDhcp(const std::string& settingId) override;

private:
    struct Flags {
        bool isPublic = false;
        bool isPrivate = false;
    };
    SimFaults& m_faults;
    mutable std::mutex m_lock;
    bool m_installed = true;
    bool m_manager = false;
    std::vector<GUID> m_order;
    std::map<GUID, Flags> m_flags;
    std::map<std::string, std::string> m_wmiAddress;
};

}  // namespace plat
