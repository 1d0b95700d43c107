#include "AdapterAddressing.h"

#include <string>
#include <vector>

#include "NetshCommand.h"
#include "WmiAdapterConfig.h"
#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/text/Ipv4Text.h"

namespace pellion {

using plat::Ipv4Text;

namespace {

bool FindAdapter(const plat::GUID& guid, plat::AdapterInfo* out) {
    std::vector<plat::AdapterInfo> adapters;
    if (plat::Platform::Current().Net().Adapters(&adapters) != 0)
        return false;
    for (auto& a : adapters) {
        if (a.guid == guid) {
            *out = std::move(a);
            return true;
        }
    }
    return false;
}

std::uint32_t AddressOf(const std::string& text) {
    std::uint32_t ip = 0;
    return Ipv4Text::Parse(text, &ip) ? ip : 0;
}

bool OptionalAddress(const char* text) {
    return text == nullptr || *text == '\0' || Ipv4Text::Parse(text, nullptr);
}

}  // namespace

bool AdapterAddressing::UsesWindowsMechanics() {
    return plat::Platform::Current().Os().IsWindows();
}

int AdapterAddressing::SetAddress(const plat::GUID* adapter, const char* ip, const char* mask,
                                  const char* gateway) {
    if (adapter == nullptr)
        return 0;
    if (UsesWindowsMechanics())
        return NetshCommand::SetAddress(*adapter, ip, mask, gateway) ? 1 : 0;
    return SetStatic(*adapter, ip, mask, gateway);
}

int AdapterAddressing::SetAddressWmi(const plat::GUID* adapter, const char* ip, const char* mask,
                                     const char* gateway) {
    if (adapter == nullptr)
        return 0;
    if (UsesWindowsMechanics())
        return WmiAdapterConfig::SetAddress(*adapter, ip, mask, gateway) ? 1 : 0;
    return SetStatic(*adapter, ip, mask, gateway);
}

int AdapterAddressing::SetStatic(const plat::GUID& adapter, const char* ip, const char* mask,
                                 const char* gateway) {
    if (ip != nullptr &&
        (!Ipv4Text::Parse(ip, nullptr) || !OptionalAddress(mask) || !OptionalAddress(gateway)))
        return 0;
    const char* useMask = mask != nullptr && *mask != '\0' ? mask : "255.255.255.0";
    const char* useGateway = gateway != nullptr && *gateway != '\0' ? gateway : nullptr;
    return plat::Platform::Current().Net().SetStaticAddress(adapter, ip, ip ? useMask : nullptr,
                                                            ip ? useGateway : nullptr) == 0
               ? 1
               : 0;
}

int AdapterAddressing::GetAddress(const plat::GUID* adapter, std::uint32_t* ip, std::uint32_t* mask,
                                  std::uint32_t* gateway) {
    if (adapter == nullptr)
        return 0;
    plat::AdapterInfo info;
    if (!FindAdapter(*adapter, &info))
        return 0;
    const bool has = !info.ipv4.empty();
    if (ip != nullptr)
        *ip = has ? AddressOf(info.ipv4[0].ip) : 0;
    if (mask != nullptr)
        *mask = has ? AddressOf(info.ipv4[0].mask) : 0;
    if (gateway != nullptr)
        *gateway = AddressOf(info.gateway);
    return 1;
}

int AdapterAddressing::SetDns(const plat::GUID* adapter, const char* dnsList) {
    if (adapter == nullptr || dnsList == nullptr)
        return 0;
    std::vector<std::string> servers;
    for (std::uint32_t ip : Ipv4Text::ParseList(dnsList))
        servers.push_back(Ipv4Text::Format(ip));
    if (servers.empty())
        return 0;
    if (UsesWindowsMechanics())
        return NetshCommand::SetDnsServers(*adapter, servers) ? 1 : 0;
    return plat::Platform::Current().Net().SetDnsServers(*adapter, servers) == 0 ? 1 : 0;
}

int AdapterAddressing::GetDns(const plat::GUID* adapter, std::uint32_t* dns) {
    if (adapter == nullptr || dns == nullptr)
        return 0;
    plat::AdapterInfo info;
    if (!FindAdapter(*adapter, &info))
        return 0;
    for (const auto& server : info.dns) {
        if (const std::uint32_t ip = AddressOf(server)) {
            *dns = ip;
            return 1;
        }
    }
    return 0;
}

}  // namespace pellion
