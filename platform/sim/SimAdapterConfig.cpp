#include "SimAdapterConfig.h"

#include "SimFaults.h"
#include "SimNetwork.h"
#include "platform/facility/OsInfo.h"
#include "platform/text/GuidText.h"
#include "platform/text/Ipv4Text.h"

namespace plat {

namespace {
constexpr HRESULT kWbemNotFound = static_cast<HRESULT>(0x80041002u);
}

std::string SimAdapterConfig::WmiAddress(const std::string& settingId) const {
    std::lock_guard<std::mutex> g(m_lock);
    auto it = m_wmiAddress.find(settingId);
    return it == m_wmiAddress.end() ? std::string() : it->second;
}

bool SimAdapterConfig::Instance(const std::string& settingId, GUID* adapter,
                                AdapterInfo* info) const {
    if (!GuidText::Parse(settingId, adapter))
        return false;
    return m_network == nullptr || m_network->FindAdapter(*adapter, info);
}

bool SimAdapterConfig::Refused() const {
    return m_token != nullptr && !m_token->IsElevated();
}

HRESULT SimAdapterConfig::EnableStatic(const std::string& settingId, const std::string& ip,
                                       const std::string& mask) {
    if (auto f = m_faults.Take("EnableStatic"))
        return static_cast<HRESULT>(*f);
    if (Refused())
        return kEAccessDenied;
    GUID adapter{};
    AdapterInfo info;
    if (!Instance(settingId, &adapter, &info))
        return kWbemNotFound;
    if (!Ipv4Text::Parse(ip, nullptr) || !Ipv4Text::Parse(mask, nullptr))
        return kEInvalidArg;
    // The gateways stay as they were.
    if (m_network != nullptr &&
        m_network->Assign(adapter, ip.c_str(), mask.c_str(),
                          info.gateway.empty() ? nullptr : info.gateway.c_str()) != 0)
        return kEInvalidArg;
    std::lock_guard<std::mutex> g(m_lock);
    m_wmiAddress[settingId] = ip;
    return kSOk;
}

HRESULT SimAdapterConfig::SetGateways(const std::string& settingId, const std::string& gateway) {
    if (auto f = m_faults.Take("SetGateways"))
        return static_cast<HRESULT>(*f);
    if (Refused())
        return kEAccessDenied;
    GUID adapter{};
    AdapterInfo info;
    if (!Instance(settingId, &adapter, &info))
        return kWbemNotFound;
    if (!Ipv4Text::Parse(gateway, nullptr))
        return kEInvalidArg;
    if (m_network == nullptr)
        return kSOk;
    // A gateway needs a static address on the adapter.
    if (info.ipv4.empty())
        return kEFail;
    if (m_network->Assign(adapter, info.ipv4[0].ip.c_str(), info.ipv4[0].mask.c_str(),
                          gateway.c_str()) != 0)
        return kEInvalidArg;
    return kSOk;
}

HRESULT SimAdapterConfig::EnableDhcp(const std::string& settingId) {
    if (auto f = m_faults.Take("EnableDHCP"))
        return static_cast<HRESULT>(*f);
    if (Refused())
        return kEAccessDenied;
    GUID adapter{};
    AdapterInfo info;
    if (!Instance(settingId, &adapter, &info))
        return kWbemNotFound;
    if (m_network != nullptr)
        m_network->Assign(adapter, nullptr, nullptr, nullptr);
    std::lock_guard<std::mutex> g(m_lock);
    m_wmiAddress[settingId] = "";
    return kSOk;
}

}  // namespace plat
