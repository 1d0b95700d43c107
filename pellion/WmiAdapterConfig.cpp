#include "WmiAdapterConfig.h"

#include <string>

#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/text/GuidText.h"

namespace pellion {

bool WmiAdapterConfig::SetAddress(const plat::GUID& adapter, const char* ip, const char* mask,
                                  const char* gateway) {
    plat::NetworkAdapterConfiguration& wmi = plat::Platform::Current().AdapterConfig();
    const std::string settingId = plat::GuidText::ToString(adapter);
    if (ip == nullptr)
        return wmi.EnableDhcp(settingId) >= 0;
    if (wmi.EnableStatic(settingId, ip, mask != nullptr ? mask : "255.255.255.0") < 0)
        return false;
    if (gateway != nullptr && *gateway != '\0' && wmi.SetGateways(settingId, gateway) < 0)
        return false;
    return true;
}

}  // namespace pellion
