// The entry points of wlanapi.dll with their Windows signatures, and the
// module table entry that carries them.
#include "WlanLibrary.h"

#include "platform/facility/ModuleRegistry.h"

namespace plat {

namespace {

WlanLibrary* Lib() {
    return WlanLibrary::Current();
}

// The entry points of wlanapi.dll with their Windows signatures.
DWORD LUMARI_WINAPI WlanOpenHandle(DWORD version, PVOID, DWORD* negotiated, HANDLE* handle) {
    WlanLibrary* s = Lib();
    return s != nullptr ? s->OpenHandle(version, negotiated, handle) : kErrorServiceNotActive;
}
DWORD LUMARI_WINAPI WlanCloseHandle(HANDLE handle, PVOID) {
    WlanLibrary* s = Lib();
    return s != nullptr ? s->CloseHandle(handle) : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI WlanRegisterNotification(HANDLE handle, DWORD source, BOOL,
                                             WLAN_NOTIFICATION_CALLBACK callback, PVOID context,
                                             PVOID, DWORD* previous) {
    WlanLibrary* s = Lib();
    return s != nullptr ? s->RegisterNotification(handle, source, callback, context, previous)
                        : kErrorInvalidHandle;
}
void LUMARI_WINAPI WlanFreeMemory(PVOID memory) {
    if (WlanLibrary* s = Lib())
        s->FreeMemory(memory);
}
DWORD LUMARI_WINAPI WlanQueryInterface(HANDLE handle, const GUID* iface, WLAN_INTF_OPCODE op, PVOID,
                                       DWORD* size, PVOID* data, WLAN_OPCODE_VALUE_TYPE* type) {
    WlanLibrary* s = Lib();
    return s != nullptr ? s->QueryInterface(handle, iface, op, size, data, type)
                        : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI WlanSetInterface(HANDLE handle, const GUID* iface, WLAN_INTF_OPCODE op,
                                     DWORD size, const PVOID data, PVOID) {
    WlanLibrary* s = Lib();
    return s != nullptr ? s->SetInterface(handle, iface, op, size, data) : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI WlanConnect(HANDLE handle, const GUID* iface,
                                const WLAN_CONNECTION_PARAMETERS* params, PVOID) {
    WlanLibrary* s = Lib();
    return s != nullptr ? s->Connect(handle, iface, params) : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI WlanDisconnect(HANDLE handle, const GUID* iface, PVOID) {
    WlanLibrary* s = Lib();
    return s != nullptr ? s->Disconnect(handle, iface) : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI WlanSetProfile(HANDLE handle, const GUID* iface, DWORD, LPCWSTR xml, LPCWSTR,
                                   BOOL overwrite, PVOID, DWORD* reasonCode) {
    WlanLibrary* s = Lib();
    return s != nullptr ? s->SetProfile(handle, iface, xml, overwrite, reasonCode)
                        : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI WlanEnumInterfaces(HANDLE handle, PVOID, WLAN_INTERFACE_INFO_LIST** list) {
    WlanLibrary* s = Lib();
    return s != nullptr ? s->EnumInterfaces(handle, list) : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI WlanGetProfileList(HANDLE handle, const GUID* iface, PVOID,
                                       WLAN_PROFILE_INFO_LIST** list) {
    WlanLibrary* s = Lib();
    return s != nullptr ? s->GetProfileList(handle, iface, list) : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI WlanDeleteProfile(HANDLE handle, const GUID* iface, LPCWSTR name, PVOID) {
    WlanLibrary* s = Lib();
    return s != nullptr ? s->DeleteProfile(handle, iface, name) : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI WlanGetAvailableNetworkList(HANDLE handle, const GUID* iface, DWORD, PVOID,
                                                WLAN_AVAILABLE_NETWORK_LIST** list) {
    WlanLibrary* s = Lib();
    return s != nullptr ? s->GetAvailableNetworkList(handle, iface, list) : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI WlanReasonCodeToString(DWORD reason, DWORD size, WCHAR* buffer, PVOID) {
    WlanLibrary* s = Lib();
    return s != nullptr ? s->ReasonCodeToString(reason, size, buffer) : kErrorInvalidParameter;
}
DWORD LUMARI_WINAPI WlanGetInterfaceCapability(HANDLE handle, const GUID* iface, PVOID,
                                               WLAN_INTERFACE_CAPABILITY** capability) {
    WlanLibrary* s = Lib();
    return s != nullptr ? s->GetInterfaceCapability(handle, iface, capability)
                        : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI WlanHostedNetworkInitSettings(HANDLE handle, WLAN_HOSTED_NETWORK_REASON* reason,
                                                  PVOID) {
    WlanLibrary* s = Lib();
    return s != nullptr ? s->HostedInitSettings(handle, reason) : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI WlanHostedNetworkForceStart(HANDLE handle, WLAN_HOSTED_NETWORK_REASON* reason,
                                                PVOID) {
    WlanLibrary* s = Lib();
    return s != nullptr ? s->HostedForceStart(handle, reason, "WlanHostedNetworkForceStart")
                        : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI WlanHostedNetworkForceStop(HANDLE handle, WLAN_HOSTED_NETWORK_REASON* reason,
                                               PVOID) {
    WlanLibrary* s = Lib();
    return s != nullptr ? s->HostedForceStop(handle, reason, "WlanHostedNetworkForceStop")
                        : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI WlanHostedNetworkStartUsing(HANDLE handle, WLAN_HOSTED_NETWORK_REASON* reason,
                                                PVOID) {
    WlanLibrary* s = Lib();
    return s != nullptr ? s->HostedForceStart(handle, reason, "WlanHostedNetworkStartUsing")
                        : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI WlanHostedNetworkStopUsing(HANDLE handle, WLAN_HOSTED_NETWORK_REASON* reason,
                                               PVOID) {
    WlanLibrary* s = Lib();
    return s != nullptr ? s->HostedForceStop(handle, reason, "WlanHostedNetworkStopUsing")
                        : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI WlanHostedNetworkQueryStatus(HANDLE handle, WLAN_HOSTED_NETWORK_STATUS** status,
                                                 PVOID) {
    WlanLibrary* s = Lib();
    return s != nullptr ? s->HostedQueryStatus(handle, status) : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI WlanHostedNetworkQueryProperty(HANDLE handle, WLAN_HOSTED_NETWORK_OPCODE op,
                                                   DWORD* size, PVOID* data,
                                                   WLAN_OPCODE_VALUE_TYPE* type, PVOID) {
    WlanLibrary* s = Lib();
    return s != nullptr ? s->HostedQueryProperty(handle, op, size, data, type)
                        : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI WlanHostedNetworkSetProperty(HANDLE handle, WLAN_HOSTED_NETWORK_OPCODE op,
                                                 DWORD size, PVOID data,
                                                 WLAN_HOSTED_NETWORK_REASON* reason, PVOID) {
    WlanLibrary* s = Lib();
    return s != nullptr ? s->HostedSetProperty(handle, op, size, data, reason)
                        : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI WlanHostedNetworkQuerySecondaryKey(HANDLE handle, DWORD* length, UCHAR** data,
                                                       BOOL* passPhrase, BOOL* persistent,
                                                       WLAN_HOSTED_NETWORK_REASON* reason, PVOID) {
    WlanLibrary* s = Lib();
    return s != nullptr
               ? s->HostedQuerySecondaryKey(handle, length, data, passPhrase, persistent, reason)
               : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI WlanHostedNetworkSetSecondaryKey(HANDLE handle, DWORD length, UCHAR* data,
                                                     BOOL passPhrase, BOOL persistent,
                                                     WLAN_HOSTED_NETWORK_REASON* reason, PVOID) {
    WlanLibrary* s = Lib();
    return s != nullptr
               ? s->HostedSetSecondaryKey(handle, length, data, passPhrase, persistent, reason)
               : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI WlanHostedNetworkRefreshSecuritySettings(HANDLE handle,
                                                             WLAN_HOSTED_NETWORK_REASON* reason,
                                                             PVOID) {
    WlanLibrary* s = Lib();
    return s != nullptr ? s->HostedRefreshSecuritySettings(handle, reason) : kErrorInvalidHandle;
}

}  // namespace

void WlanLibrary::RegisterModule() {
    m_modules.Add(
        L"wlanapi.dll",
        {
            {"WlanOpenHandle", ModuleRegistry::Fn(&WlanOpenHandle)},
            {"WlanRegisterNotification", ModuleRegistry::Fn(&WlanRegisterNotification)},
            {"WlanCloseHandle", ModuleRegistry::Fn(&WlanCloseHandle)},
            {"WlanFreeMemory", ModuleRegistry::Fn(&WlanFreeMemory)},
            {"WlanQueryInterface", ModuleRegistry::Fn(&WlanQueryInterface)},
            {"WlanSetInterface", ModuleRegistry::Fn(&WlanSetInterface)},
            {"WlanConnect", ModuleRegistry::Fn(&WlanConnect)},
            {"WlanDisconnect", ModuleRegistry::Fn(&WlanDisconnect)},
            {"WlanSetProfile", ModuleRegistry::Fn(&WlanSetProfile)},
            {"WlanEnumInterfaces", ModuleRegistry::Fn(&WlanEnumInterfaces)},
            {"WlanGetProfileList", ModuleRegistry::Fn(&WlanGetProfileList)},
            {"WlanDeleteProfile", ModuleRegistry::Fn(&WlanDeleteProfile)},
            {"WlanGetAvailableNetworkList", ModuleRegistry::Fn(&WlanGetAvailableNetworkList)},
            {"WlanReasonCodeToString", ModuleRegistry::Fn(&WlanReasonCodeToString)},
            {"WlanGetInterfaceCapability", ModuleRegistry::Fn(&WlanGetInterfaceCapability)},
            {"WlanHostedNetworkInitSettings", ModuleRegistry::Fn(&WlanHostedNetworkInitSettings)},
            {"WlanHostedNetworkForceStart", ModuleRegistry::Fn(&WlanHostedNetworkForceStart)},
            {"WlanHostedNetworkForceStop", ModuleRegistry::Fn(&WlanHostedNetworkForceStop)},
            {"WlanHostedNetworkQueryStatus", ModuleRegistry::Fn(&WlanHostedNetworkQueryStatus)},
            {"WlanHostedNetworkQueryProperty", ModuleRegistry::Fn(&WlanHostedNetworkQueryProperty)},
            {"WlanHostedNetworkQuerySecondaryKey",
             ModuleRegistry::Fn(&WlanHostedNetworkQuerySecondaryKey)},
            {"WlanHostedNetworkRefreshSecuritySettings",
             ModuleRegistry::Fn(&WlanHostedNetworkRefreshSecuritySettings)},
            {"WlanHostedNetworkSetSecondaryKey",
             ModuleRegistry::Fn(&WlanHostedNetworkSetSecondaryKey)},
            {"WlanHostedNetworkSetProperty", ModuleRegistry::Fn(&WlanHostedNetworkSetProperty)},
            {"WlanHostedNetworkStartUsing", ModuleRegistry::Fn(&WlanHostedNetworkStartUsing)},
            {"WlanHostedNetworkStopUsing", ModuleRegistry::Fn(&WlanHostedNetworkStopUsing)},
        });
}

void WlanLibrary::SetVersion(WlanLibraryVersion version) {
    RegisterModule();
    static const char* const kHosted[] = {"WlanHostedNetworkInitSettings",
                                          "WlanHostedNetworkForceStart",
                                          "WlanHostedNetworkForceStop",
                                          "WlanHostedNetworkQueryStatus",
                                          "WlanHostedNetworkQueryProperty",
                                          "WlanHostedNetworkQuerySecondaryKey",
                                          "WlanHostedNetworkRefreshSecuritySettings",
                                          "WlanHostedNetworkSetSecondaryKey",
                                          "WlanHostedNetworkSetProperty",
                                          "WlanHostedNetworkStartUsing",
                                          "WlanHostedNetworkStopUsing"};
    if (version != WlanLibraryVersion::Seven)
        for (const char* name : kHosted)
            m_modules.RemoveFunction(L"wlanapi.dll", name);
    if (version == WlanLibraryVersion::Xp)
        m_modules.RemoveFunction(L"wlanapi.dll", "WlanGetInterfaceCapability");
    std::lock_guard<std::mutex> g(m_lock);
    m_version = version;
    m_maxClientVersion =
        version == WlanLibraryVersion::Xp ? kWlanClientVersionXp : kWlanClientVersionVista;
}

void WlanLibrary::RemoveLibrary() {
    m_modules.Remove(L"wlanapi.dll");
}

}  // namespace plat
