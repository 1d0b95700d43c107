// Win32_NetworkAdapterConfiguration on Linux, answered by the adapter table
// itself: the methods set or clear the interface's IPv4 address.
#pragma once

#include "platform/facility/NetworkAdapterConfiguration.h"

namespace plat {

class LinuxAdapterConfig : public NetworkAdapterConfiguration {
public:
    HRESULT EnableStatic(const std::string& settingId, const std::string& ip,
                         const std::string& mask) override;
    HRESULT SetGateways(const std::string& settingId, const std::string& gateway) override;
    HRESULT EnableDhcp(const std::string& settingId) override;
};

}  // namespace plat
