// WMI class Win32_NetworkAdapterConfiguration in ROOT\CIMV2: the methods that
// configure an adapter's IPv4 addressing, called on the instance whose
// SettingID is the adapter's GUID text. HRESULT of the call, or of the
// method's return value when the call went through.
#pragma once

#include <string>

#include "platform/records/WinTypes.h"

namespace plat {

class NetworkAdapterConfiguration {
public:
    virtual ~NetworkAdapterConfiguration() = default;
    virtual HRESULT EnableStatic(const std::string& settingId, const std::string& ip,
                                 const std::string& mask) = 0;
    virtual HRESULT SetGateways(const std::string& settingId, const std::string& gateway) = 0;
    virtual HRESULT EnableDhcp(const std::string& settingId) = 0;
};

}  // namespace plat
