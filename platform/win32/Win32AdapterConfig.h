// Win32_NetworkAdapterConfiguration on Windows: the instance whose SettingID
// is the adapter's GUID text, and its methods called through WMI.
#pragma once

#include "platform/facility/NetworkAdapterConfiguration.h"

namespace plat {

class Win32AdapterConfig : public NetworkAdapterConfiguration {
public:
    HRESULT EnableStatic(const std::string& settingId, const std::string& ip,
                         const std::string& mask) override;
    HRESULT SetGateways(const std::string& settingId, const std::string& gateway) override;
    HRESULT EnableDhcp(const std::string& settingId) override;
};

}  // namespace plat
