// Linux has no Internet Connection Sharing: the configuration manager and the
// HomeNet classes are not registered, so the share manager uses the NAT path.
#pragma once

#include "platform/facility/IcsConfig.h"

namespace plat {

constexpr HRESULT kClassNotRegistered = static_cast<HRESULT>(0x80040154u);

class LinuxIcs : public IcsConfig {
public:
    HRESULT CreateSharingManager() override { return kClassNotRegistered; }
    void ReleaseSharingManager() override {}
    HRESULT SharingInstalled(bool* installed) override;
    HRESULT EveryConnection(std::vector<GUID>* out) override;
    bool HasConfiguration(const GUID&) override { return false; }
    HRESULT EnableSharing(const GUID&, int) override { return kClassNotRegistered; }
    HRESULT DisableSharing(const GUID&) override { return kClassNotRegistered; }
    HRESULT QueryHomeNet(std::vector<HomeNetConnection>* out) override;
    HRESULT PutHomeNet(const HomeNetConnection&) override { return kClassNotRegistered; }
    // Win32_NetworkAdapterConfiguration is answered by the adapter table itself.
    HRESULT EnableStatic(const std::string& settingId, const std::string& ip,
                         const std::string& mask) override;
    HRESULT SetGateways(const std::string& settingId, const std::string& gateway) override;
    HRESULT EnableDhcp(const std::string& settingId) override;
};

}  // namespace plat
