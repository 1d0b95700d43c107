#include "SimFaults.h"

#include <cctype>

namespace plat {

namespace {

// The hooks of the simulated PC, by facility. A name ending in '#' is a family
// taken with a decimal opcode after the '#'.
const std::set<std::string>& Hooks() {
    static const std::set<std::string> kHooks = {
        // Operating system, processes, registry, session.
        "CreateProcess",
        "ExitWindowsEx",
        "MultiByteToWideChar",
        "RegCreateKeyEx",
        "WideCharToMultiByte",
        "WatchSession",
        // IP helper and resolver.
        "GetAdaptersAddresses",
        "GetBestInterface",
        "GetIfEntry",
        "GetIpNetTable",
        "IcmpSendEcho2",
        "SetDnsServers",
        "SetStaticAddress",
        "getnameinfo",
        "DnsQuery_A",
        // WMI adapter configuration.
        "EnableDHCP",
        "EnableStatic",
        "SetGateways",
        // Devices and services.
        "DisableDevice",
        "EnableDevice",
        "EnumDevice",
        "GetAdapterDeviceInstanceId",
        "IsDeviceEnable",
        "ReScanDeviceList",
        "RemoveDevice",
        "ChangeServiceStartType",
        "GetServiceStatus",
        "StartServiceByName",
        "StartServiceByNameEx",
        "StopServiceByName",
        // COM runtime.
        "CLSIDFromProgID",
        "CoInitializeEx",
        "CoInitializeSecurity",
        // Connection folder.
        "CoCreateInstance(ConnectionManager)",
        "EnumConnections",
        "GetProperties",
        "IEnumNetConnection::Next",
        "GetPerAdapterInfo",
        // ICS configuration manager.
        "CoCreateInstance(HNetShare)",
        "DisableSharing",
        "EnableSharing",
        "IEnumVARIANT::Next",
        "IEnumVARIANT::Reset",
        "QueryInterface(IEnumVARIANT)",
        "QueryInterface(INetConnection)",
        "get_EnumEveryConnection",
        "get_Guid",
        "get_INetSharingConfigurationForINetConnection",
        "get_NetConnectionProps",
        "get_SharingInstalled",
        "get__NewEnum",
        // WMI (HomeNet).
        "CoCreateInstance(WbemLocator)",
        "CoSetProxyBlanket",
        "ConnectServer",
        "ExecQuery",
        "IEnumWbemClassObject::Next",
        "IWbemClassObject::Get",
        "IWbemClassObject::Put",
        "PutInstance",
        // Network List Manager.
        "Advise",
        "CoCreateInstance(NetworkListManager)",
        "FindConnectionPoint",
        "GetAdapterId",
        "GetConnectionId",
        "GetConnectivity",
        "GetDomainType",
        "GetNetworkConnection",
        "GetNetworkConnections",
        "IEnumNetworkConnections::Next",
        "QueryInterface(IConnectionPointContainer)",
        "Unadvise",
        "get_IsConnectedToInternet",
        // Firewall.
        "INetFwPolicy2",
        // The NAT driver's device and the packet engine below it.
        "CreateFileA",
        "DeviceIoControl",
        "NatForget",
        "NatPeers",
        "NatSetHostPorts",
        "NatSetPolicy",
        "NatShare",
        "NatStart",
        "NatUnshare",
        // The mobile hotspot (Windows Runtime).
        "ConfigureAccessPointAsync",
        "ConfigureAccessPointResult",
        "CreateFromConnectionProfile",
        "DisableNoConnectionsTimeout",
        "EnableNoConnectionsTimeout",
        "GetConnectionProfiles",
        "GetCurrentAccessPointConfiguration",
        "GetInternetConnectionProfile",
        "GetTetheringCapabilityFromConnectionProfile",
        "GetTetheringClients",
        "GetTetheringOperationalState",
        "IsBandSupported",
        "IsNoConnectionsTimeoutEnabled",
        "StartTetheringAsync",
        "StartTetheringResult",
        "StopTetheringAsync",
        "StopTetheringResult",
        // Native Wi-Fi.
        "WlanOpenHandle",
        "WlanCloseHandle",
        "WlanRegisterNotification",
        "WlanFreeMemory",
        "WlanEnumInterfaces",
        "WlanQueryInterface",
        "WlanQueryInterface#",
        "WlanSetInterface",
        "WlanSetInterface#",
        "WlanConnect",
        "WlanDisconnect",
        "WlanSetProfile",
        "WlanGetProfileList",
        "WlanDeleteProfile",
        "WlanGetAvailableNetworkList",
        "WlanReasonCodeToString",
        "WlanGetInterfaceCapability",
        "WlanHostedNetworkInitSettings",
        "WlanHostedNetworkForceStart",
        "WlanHostedNetworkForceStop",
        "WlanHostedNetworkStartUsing",
        "WlanHostedNetworkStopUsing",
        "WlanHostedNetworkQueryStatus",
        "WlanHostedNetworkQueryProperty",
        "WlanHostedNetworkQueryProperty#",
        "WlanHostedNetworkSetProperty",
        "WlanHostedNetworkSetProperty#",
        "WlanHostedNetworkQuerySecondaryKey",
        "WlanHostedNetworkSetSecondaryKey",
        "WlanHostedNetworkRefreshSecuritySettings",
        // Wireless Zero Configuration.
        "WZCEnumInterfaces",
        "WZCQueryInterface",
        "WZCRefreshInterface",
        "WZCSetInterface",
        // The Ralink soft-AP library.
        "RAAP_AdapterSelect",
        "RAAP_DeInitial",
        "RAAP_DeleteVistaWindowsProfile",
        "RAAP_GetAvailableAdapters",
        "RAAP_GetCountryChannel",
        "RAAP_GetCurrentDeviceModel",
        "RAAP_InitAPSettings",
        "RAAP_Initial",
        "RAAP_Is80211ASupport",
        "RAAP_Is80211NSupport",
        "RAAP_IsDeviceExist",
        "RAAP_IsZeroConfig",
        "RAAP_QueryApWLANStatus",
        "RAAP_QueryCountryRegion",
        "RAAP_QueryEventTable",
        "RAAP_QueryHTStatus",
        "RAAP_QueryInitialState",
        "RAAP_QueryMacTable",
        "RAAP_QueryMacTableNOT_11N",
        "RAAP_QueryOPMode",
        "RAAP_ReadConfigData",
        "RAAP_RestoreStationSetting",
        "RAAP_SetConfigData",
        "RAAP_SetOPMode",
        "RAAP_SetVistaWindowsProfile",
        "RAAP_StopXpZeroConfig",
        "RAAP_WlanDeleteAllRalinkWindowsProfiles",
        "RAAP_WriteandSetConfigData",
    };
    return kHooks;
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

}  // namespace

bool SimFaults::IsHook(const std::string& function) {
    const std::size_t hash = function.find('#');
    if (hash == std::string::npos && Hooks().count(function) != 0)
        return true;
    if (hash == std::string::npos || hash + 1 == function.size())
        return false;
    for (std::size_t i = hash + 1; i < function.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(function[i])))
            return false;
    return Hooks().count(function.substr(0, hash + 1)) != 0;
}

void SimFaults::FailNext(const std::string& function, std::int64_t value, int times) {
    std::lock_guard<std::mutex> g(m_lock);
    if (!IsHook(function))
        m_problems.push_back("FailNext(" + Quoted(function) + ", " + std::to_string(value) +
                             ") names no hook of the simulated PC");
    for (int i = 0; i < times; ++i)
        m_next[function].push_back(value);
}

void SimFaults::FailAlways(const std::string& function, std::int64_t value) {
    std::lock_guard<std::mutex> g(m_lock);
    if (!IsHook(function))
        m_problems.push_back("FailAlways(" + Quoted(function) + ", " + std::to_string(value) +
                             ") names no hook of the simulated PC");
    m_always[function] = value;
    m_alwaysTaken.erase(function);
}

void SimFaults::Clear(const std::string& function) {
    std::lock_guard<std::mutex> g(m_lock);
    m_next.erase(function);
    m_always.erase(function);
    m_alwaysTaken.erase(function);
}

std::optional<std::int64_t> SimFaults::Take(const std::string& function) {
    std::lock_guard<std::mutex> g(m_lock);
    if (++m_calls[function] == 1 && !IsHook(function))
        m_problems.push_back("the simulated PC takes the hook " + Quoted(function) +
                             ", which is not declared in SimFaults (add it to the list of "
                             "hooks in SimFaults.cpp)");
    auto it = m_next.find(function);
    if (it != m_next.end() && !it->second.empty()) {
        const std::int64_t v = it->second.front();
        it->second.pop_front();
        return v;
    }
    auto a = m_always.find(function);
    if (a != m_always.end()) {
        m_alwaysTaken.insert(function);
        return a->second;
    }
    return std::nullopt;
}

int SimFaults::Calls(const std::string& function) const {
    std::lock_guard<std::mutex> g(m_lock);
    auto it = m_calls.find(function);
    return it == m_calls.end() ? 0 : it->second;
}

void SimFaults::ResetCalls() {
    std::lock_guard<std::mutex> g(m_lock);
    m_calls.clear();
}

std::vector<std::string> SimFaults::Problems() const {
    std::lock_guard<std::mutex> g(m_lock);
    std::vector<std::string> problems = m_problems;
    // A fault that names no hook is reported once, above.
    for (const auto& [function, values] : m_next) {
        if (values.empty() || !IsHook(function))
            continue;
        std::string list;
        for (std::int64_t v : values)
            list += (list.empty() ? "" : ", ") + std::to_string(v);
        problems.push_back("FailNext(" + Quoted(function) + ") was not consumed: no call took " +
                           list);
    }
    for (const auto& [function, value] : m_always)
        if (m_alwaysTaken.count(function) == 0 && IsHook(function))
            problems.push_back("FailAlways(" + Quoted(function) + ", " + std::to_string(value) +
                               ") was never consumed");
    return problems;
}

}  // namespace plat
