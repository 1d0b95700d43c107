// The run-time binding of the Native Wi-Fi library (wlanapi.dll). The program
// starts on systems whose library lacks the newer functions (XP has no hosted
// network), so it never links the library: it loads it by name and binds every
// function by name, and every operation checks its function before calling it.
// A missing function answers 50 (ERROR_NOT_SUPPORTED); the radio queries err
// towards a radio that is on. Every buffer the library returns is released with
// WlanFreeMemory before the operation returns.
#pragma once

#include <string>
#include <vector>

#include "platform/records/WinTypes.h"
#include "platform/records/WlanTypes.h"

struct WlanApi {
    WlanApi() = default;
    // Releases the library and the client handle if the owner did not.
    ~WlanApi();
    WlanApi(const WlanApi&) = delete;
    WlanApi& operator=(const WlanApi&) = delete;

    // Loads wlanapi.dll and binds the functions; true once the library is
    // loaded even when some functions are missing. A second call does nothing.
    bool Load();
    // Closes the client handle, frees the library and clears the record.
    void Unload();
    bool IsLoaded() const { return hModule != nullptr; }

    // Opens a client handle (version 2 on Vista and later, else 1), closing
    // the open one first.
    plat::DWORD OpenHandle();
    // Registers `callback` for the sources in `source`; source 0 with a null
    // callback unregisters.
    plat::DWORD RegisterNotification(plat::WLAN_NOTIFICATION_CALLBACK callback, void* context,
                                     plat::DWORD source);

    plat::DWORD EnumInterfaces(std::vector<plat::WLAN_INTERFACE_INFO>* interfaces);
    plat::DWORD GetInterfaceState(const plat::GUID& iface, plat::WLAN_INTERFACE_STATE* state);
    bool IsHardRadioOn(const plat::GUID& iface);
    bool IsSoftRadioOn(const plat::GUID& iface);
    plat::DWORD TurnOnSoftRadio(const plat::GUID& iface);
    bool IsAutoConfEnabled(const plat::GUID& iface);
    plat::DWORD EnableAutoConf(const plat::GUID& iface);
    plat::DWORD SetOperationMode(const plat::GUID& iface, plat::ULONG mode);
    plat::DWORD SetBssType(const plat::GUID& iface);
    plat::DWORD SetProfile(const plat::GUID& iface, const std::wstring& xml,
                           plat::DWORD* reasonCode);
    plat::DWORD Connect(const plat::GUID& iface, const plat::WLAN_CONNECTION_PARAMETERS& params);
    plat::DWORD Disconnect(const plat::GUID& iface);
    plat::DWORD DeleteProfile(const plat::GUID& iface, const std::wstring& name);

    bool IsHostedNetworkCapable(const plat::GUID& iface);
    bool IsHostedNetworkEnabled();
    plat::DWORD EnableHostedNetwork(bool enable);
    plat::DWORD ForceStartHostedNetwork(plat::WLAN_HOSTED_NETWORK_REASON* reason);
    plat::DWORD ForceStopHostedNetwork(plat::WLAN_HOSTED_NETWORK_REASON* reason);
    plat::DWORD QueryHostedNetworkState(plat::WLAN_HOSTED_NETWORK_STATE* state);
    plat::DWORD GetHostedNetworkIfGuid(plat::GUID* guid);
    plat::DWORD QueryHostedNetworkPeers(std::vector<plat::WLAN_HOSTED_NETWORK_PEER_STATE>* peers);
    // The SSID bytes without terminator; more than 32 bytes are refused with
    // ERROR_INVALID_PARAMETER (87) before anything is called.
    plat::DWORD SetHostedNetworkSsid(const std::string& ssid);
    // A pass phrase, persisted by the system.
    plat::DWORD SetHostedNetworkKey(const std::string& key);
    plat::DWORD QueryHostedNetworkSsid(std::string* ssid);
    plat::DWORD QueryHostedNetworkKey(std::string* key);
    plat::DWORD QueryStationProfile(std::wstring* profile);
    // The system's text for a reason code; "unknow" when there is none.
    std::wstring ReasonCodeToString(plat::DWORD reason);

    // The record, in binding order.
    plat::HMODULE hModule = nullptr;
    plat::HANDLE hClient = nullptr;
    plat::PFN_WlanOpenHandle WlanOpenHandle = nullptr;
    plat::PFN_WlanRegisterNotification WlanRegisterNotification = nullptr;
    plat::PFN_WlanCloseHandle WlanCloseHandle = nullptr;
    plat::PFN_WlanFreeMemory WlanFreeMemory = nullptr;
    plat::PFN_WlanQueryInterface WlanQueryInterface = nullptr;
    plat::PFN_WlanSetInterface WlanSetInterface = nullptr;
    plat::PFN_WlanConnect WlanConnect = nullptr;
    plat::PFN_WlanDisconnect WlanDisconnect = nullptr;
    plat::PFN_WlanSetProfile WlanSetProfile = nullptr;
    plat::PFN_WlanEnumInterfaces WlanEnumInterfaces = nullptr;
    plat::PFN_WlanGetProfileList WlanGetProfileList = nullptr;
    plat::PFN_WlanDeleteProfile WlanDeleteProfile = nullptr;
    plat::PFN_WlanGetAvailableNetworkList WlanGetAvailableNetworkList = nullptr;
    plat::PFN_WlanReasonCodeToString WlanReasonCodeToString = nullptr;
    plat::PFN_WlanGetInterfaceCapability WlanGetInterfaceCapability = nullptr;
    plat::PFN_WlanHostedNetworkInitSettings WlanHostedNetworkInitSettings = nullptr;
    plat::PFN_WlanHostedNetworkForceStart WlanHostedNetworkForceStart = nullptr;
    plat::PFN_WlanHostedNetworkForceStop WlanHostedNetworkForceStop = nullptr;
    plat::PFN_WlanHostedNetworkQueryStatus WlanHostedNetworkQueryStatus = nullptr;
    plat::PFN_WlanHostedNetworkQueryProperty WlanHostedNetworkQueryProperty = nullptr;
    plat::PFN_WlanHostedNetworkQuerySecondaryKey WlanHostedNetworkQuerySecondaryKey = nullptr;
    plat::PFN_WlanHostedNetworkRefreshSecuritySettings WlanHostedNetworkRefreshSecuritySettings =
        nullptr;
    plat::PFN_WlanHostedNetworkSetSecondaryKey WlanHostedNetworkSetSecondaryKey = nullptr;
    plat::PFN_WlanHostedNetworkSetProperty WlanHostedNetworkSetProperty = nullptr;
    plat::PFN_WlanHostedNetworkStartUsing WlanHostedNetworkStartUsing = nullptr;
    plat::PFN_WlanHostedNetworkStopUsing WlanHostedNetworkStopUsing = nullptr;

private:
    // Queries the radio state; true when every PHY's chosen state is on or the
    // query could not be made.
    bool IsRadioOn(const plat::GUID& iface, bool hardware, const char* name);
    void Free(void* memory);
};
