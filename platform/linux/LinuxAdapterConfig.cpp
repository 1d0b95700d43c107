#include "LinuxAdapterConfig.h"

#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/text/GuidText.h"

namespace plat {

HRESULT LinuxAdapterConfig::EnableStatic(const std::string& settingId, const std::string& ip,
                                         const std::string& mask) {
    GUID guid{};
    if (!GuidText::Parse(settingId, &guid))
        return kEInvalidArg;
    const DWORD e =
        Platform::Current().Net().SetStaticAddress(guid, ip.c_str(), mask.c_str(), nullptr);
    return HresultFromWin32(e);
}

HRESULT LinuxAdapterConfig::SetGateways(const std::string&, const std::string&) {
    // The hotspot address is set without a gateway; nothing to change.
    return kSOk;
}

HRESULT LinuxAdapterConfig::EnableDhcp(const std::string& settingId) {
    GUID guid{};
    if (!GuidText::Parse(settingId, &guid))
        return kEInvalidArg;
    return HresultFromWin32(
        Platform::Current().Net().SetStaticAddress(guid, nullptr, nullptr, nullptr));
}

}  // namespace plat
