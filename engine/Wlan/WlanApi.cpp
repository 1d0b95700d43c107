#include "WlanApi.h"

#include <glog/logging.h>

#include <algorithm>
#include <cstring>

#include "Common/WinVersion.h"
#include "platform/text/TextCodec.h"
#include "platform/winapi/Win32Api.h"

using plat::DWORD;
using plat::GUID;

namespace {

constexpr DWORD kNotSupported = plat::kErrorNotSupported;
constexpr DWORD kReasonTextLength = 1024;
constexpr DWORD kMaxHostedNetworkPeers = 31;

// Logs the missing function the way the binding reports every null entry.
template <class F>
bool IsNull(F f) {
    if (f != nullptr)
        return false;
    LOG(ERROR) << "pointer " << reinterpret_cast<const void*>(f) << " is NULL";
    return true;
}

template <class F>
void Bind(plat::HMODULE module, F* entry, const char* name) {
    *entry = plat::GetProcAddressAs<F>(module, name);
}

template <class F>
void LogIfNull(F f) {
    if (f == nullptr)
        LOG(ERROR) << "pointer " << reinterpret_cast<const void*>(f) << " is NULL";
}

}  // namespace

WlanApi::~WlanApi() {
    Unload();
}

bool WlanApi::Load() {
    if (hModule != nullptr)
        return true;
    hModule = plat::LoadLibraryW(L"wlanapi.dll");
    if (hModule == nullptr) {
        LOG(ERROR) << "load wlanapi.dll failed error:" << plat::GetLastError();
        return false;
    }
    Bind(hModule, &WlanOpenHandle, "WlanOpenHandle");
    Bind(hModule, &WlanRegisterNotification, "WlanRegisterNotification");
    Bind(hModule, &WlanCloseHandle, "WlanCloseHandle");
    Bind(hModule, &WlanFreeMemory, "WlanFreeMemory");
    Bind(hModule, &WlanQueryInterface, "WlanQueryInterface");
    Bind(hModule, &WlanSetInterface, "WlanSetInterface");
    Bind(hModule, &WlanConnect, "WlanConnect");
    Bind(hModule, &WlanDisconnect, "WlanDisconnect");
    Bind(hModule, &WlanSetProfile, "WlanSetProfile");
    Bind(hModule, &WlanEnumInterfaces, "WlanEnumInterfaces");
    Bind(hModule, &WlanGetProfileList, "WlanGetProfileList");
    Bind(hModule, &WlanDeleteProfile, "WlanDeleteProfile");
    Bind(hModule, &WlanGetAvailableNetworkList, "WlanGetAvailableNetworkList");
    Bind(hModule, &WlanReasonCodeToString, "WlanReasonCodeToString");

    if (IsWindowsVersionOrGreater(6, 0, 0)) {
        Bind(hModule, &WlanGetInterfaceCapability, "WlanGetInterfaceCapability");
        LogIfNull(WlanGetInterfaceCapability);
    }
    if (IsWindowsVersionOrGreater(6, 1, 0)) {
        Bind(hModule, &WlanHostedNetworkInitSettings, "WlanHostedNetworkInitSettings");
        Bind(hModule, &WlanHostedNetworkForceStart, "WlanHostedNetworkForceStart");
        Bind(hModule, &WlanHostedNetworkForceStop, "WlanHostedNetworkForceStop");
        Bind(hModule, &WlanHostedNetworkQueryStatus, "WlanHostedNetworkQueryStatus");
        Bind(hModule, &WlanHostedNetworkQueryProperty, "WlanHostedNetworkQueryProperty");
        Bind(hModule, &WlanHostedNetworkQuerySecondaryKey, "WlanHostedNetworkQuerySecondaryKey");
        Bind(hModule, &WlanHostedNetworkRefreshSecuritySettings,
             "WlanHostedNetworkRefreshSecuritySettings");
        Bind(hModule, &WlanHostedNetworkSetSecondaryKey, "WlanHostedNetworkSetSecondaryKey");
        Bind(hModule, &WlanHostedNetworkSetProperty, "WlanHostedNetworkSetProperty");
        Bind(hModule, &WlanHostedNetworkStartUsing, "WlanHostedNetworkStartUsing");
        Bind(hModule, &WlanHostedNetworkStopUsing, "WlanHostedNetworkStopUsing");
        LogIfNull(WlanHostedNetworkInitSettings);
        LogIfNull(WlanHostedNetworkForceStart);
        LogIfNull(WlanHostedNetworkForceStop);
        LogIfNull(WlanHostedNetworkQueryStatus);
        LogIfNull(WlanHostedNetworkQueryProperty);
        LogIfNull(WlanHostedNetworkQuerySecondaryKey);
        LogIfNull(WlanHostedNetworkRefreshSecuritySettings);
        LogIfNull(WlanHostedNetworkSetSecondaryKey);
        LogIfNull(WlanHostedNetworkSetProperty);
        LogIfNull(WlanHostedNetworkStartUsing);
        LogIfNull(WlanHostedNetworkStopUsing);
    }
    LogIfNull(WlanOpenHandle);
    LogIfNull(WlanRegisterNotification);
    LogIfNull(WlanCloseHandle);
    LogIfNull(WlanFreeMemory);
    LogIfNull(WlanQueryInterface);
    LogIfNull(WlanSetInterface);
    LogIfNull(WlanConnect);
    LogIfNull(WlanDisconnect);
    LogIfNull(WlanSetProfile);
    LogIfNull(WlanEnumInterfaces);
    LogIfNull(WlanGetProfileList);
    LogIfNull(WlanDeleteProfile);
    LogIfNull(WlanGetAvailableNetworkList);
    return true;
}

void WlanApi::Unload() {
    if (hClient != nullptr && WlanCloseHandle != nullptr)
        WlanCloseHandle(hClient, nullptr);
    if (hModule != nullptr)
        plat::FreeLibrary(hModule);
    // Clear the whole record: every bound pointer belongs to the freed library.
    hModule = nullptr;
    hClient = nullptr;
    WlanOpenHandle = nullptr;
    WlanRegisterNotification = nullptr;
    WlanCloseHandle = nullptr;
    WlanFreeMemory = nullptr;
    WlanQueryInterface = nullptr;
    WlanSetInterface = nullptr;
    WlanConnect = nullptr;
    WlanDisconnect = nullptr;
    WlanSetProfile = nullptr;
    WlanEnumInterfaces = nullptr;
    WlanGetProfileList = nullptr;
    WlanDeleteProfile = nullptr;
    WlanGetAvailableNetworkList = nullptr;
    WlanReasonCodeToString = nullptr;
    WlanGetInterfaceCapability = nullptr;
    WlanHostedNetworkInitSettings = nullptr;
    WlanHostedNetworkForceStart = nullptr;
    WlanHostedNetworkForceStop = nullptr;
    WlanHostedNetworkQueryStatus = nullptr;
    WlanHostedNetworkQueryProperty = nullptr;
    WlanHostedNetworkQuerySecondaryKey = nullptr;
    WlanHostedNetworkRefreshSecuritySettings = nullptr;
    WlanHostedNetworkSetSecondaryKey = nullptr;
    WlanHostedNetworkSetProperty = nullptr;
    WlanHostedNetworkStartUsing = nullptr;
    WlanHostedNetworkStopUsing = nullptr;
}

void WlanApi::Free(void* memory) {
    if (memory != nullptr && WlanFreeMemory != nullptr)
        WlanFreeMemory(memory);
}

DWORD WlanApi::OpenHandle() {
    if (IsNull(WlanOpenHandle))
        return kNotSupported;
    if (hClient != nullptr) {
        if (WlanCloseHandle != nullptr)
            WlanCloseHandle(hClient, nullptr);
        hClient = nullptr;
    }
    const DWORD version = IsWindowsVersionOrGreater(6, 0, 0) ? plat::kWlanClientVersionVista
                                                             : plat::kWlanClientVersionXp;
    DWORD negotiated = 0;
    plat::HANDLE handle = nullptr;
    const DWORD ret = WlanOpenHandle(version, nullptr, &negotiated, &handle);
    if (ret == 0)
        hClient = handle;
    return ret;
}

DWORD WlanApi::RegisterNotification(plat::WLAN_NOTIFICATION_CALLBACK callback, void* context,
                                    DWORD source) {
    if (IsNull(WlanRegisterNotification))
        return kNotSupported;
    return WlanRegisterNotification(hClient, source, plat::TRUE_, callback, context, nullptr,
                                    nullptr);
}

DWORD WlanApi::EnumInterfaces(std::vector<plat::WLAN_INTERFACE_INFO>* interfaces) {
    if (IsNull(WlanEnumInterfaces))
        return kNotSupported;
    plat::WLAN_INTERFACE_INFO_LIST* list = nullptr;
    const DWORD ret = WlanEnumInterfaces(hClient, nullptr, &list);
    if (ret == 0 && list != nullptr && interfaces != nullptr) {
        interfaces->clear();
        for (DWORD i = 0; i < list->dwNumberOfItems; ++i)
            interfaces->push_back(list->InterfaceInfo[i]);
    }
    Free(list);
    return ret;
}

DWORD WlanApi::GetInterfaceState(const GUID& iface, plat::WLAN_INTERFACE_STATE* state) {
    if (IsNull(WlanQueryInterface))
        return kNotSupported;
    DWORD size = 0;
    void* data = nullptr;
    const DWORD ret = WlanQueryInterface(hClient, &iface, plat::kWlanIntfOpcodeInterfaceState,
                                         nullptr, &size, &data, nullptr);
    if (ret == 0 && data != nullptr && size >= sizeof(plat::WLAN_INTERFACE_STATE) &&
        state != nullptr)
        std::memcpy(state, data, sizeof *state);
    Free(data);
    return ret;
}

bool WlanApi::IsRadioOn(const GUID& iface, bool hardware, const char* name) {
    bool on = true;
    if (IsNull(WlanQueryInterface))
        return on;
    DWORD size = 0;
    void* data = nullptr;
    const DWORD ret = WlanQueryInterface(hClient, &iface, plat::kWlanIntfOpcodeRadioState, nullptr,
                                         &size, &data, nullptr);
    if (ret == 0 && data != nullptr && size >= sizeof(DWORD)) {
        const auto* radio = static_cast<const plat::WLAN_RADIO_STATE*>(data);
        // Read only the PHY entries the returned buffer actually holds.
        const std::size_t fit = (size - offsetof(plat::WLAN_RADIO_STATE, PhyRadioState)) /
                                sizeof(plat::WLAN_PHY_RADIO_STATE);
        const std::size_t count =
            std::min<std::size_t>({radio->dwNumberOfPhys, fit, plat::kWlanMaxPhyIndex});
        for (std::size_t i = 0; i < count; ++i) {
            const plat::WLAN_PHY_RADIO_STATE& phy = radio->PhyRadioState[i];
            const plat::DOT11_RADIO_STATE s =
                hardware ? phy.dot11HardwareRadioState : phy.dot11SoftwareRadioState;
            if (s != plat::kDot11RadioStateOn) {
                on = false;
                break;
            }
        }
    } else if (ret != 0) {
        LOG(ERROR) << name << " failed..return:" << ret;
    }
    Free(data);
    return on;
}

bool WlanApi::IsHardRadioOn(const GUID& iface) {
    return IsRadioOn(iface, true, "WlanApi::IsHardRadioOn");
}

bool WlanApi::IsSoftRadioOn(const GUID& iface) {
    return IsRadioOn(iface, false, "WlanApi::IsSoftRadioOn");
}

DWORD WlanApi::TurnOnSoftRadio(const GUID& iface) {
    if (IsNull(WlanQueryInterface))
        return kNotSupported;
    if (IsNull(WlanSetInterface))
        return kNotSupported;
    DWORD size = 0;
    void* data = nullptr;
    DWORD ret = WlanQueryInterface(hClient, &iface, plat::kWlanIntfOpcodeRadioState, nullptr, &size,
                                   &data, nullptr);
    if (ret == 0 && data != nullptr && size >= sizeof(DWORD)) {
        const auto* radio = static_cast<const plat::WLAN_RADIO_STATE*>(data);
        const std::size_t count =
            std::min<std::size_t>(radio->dwNumberOfPhys, plat::kWlanMaxPhyIndex);
        for (std::size_t i = 0; i < count; ++i) {
            plat::WLAN_PHY_RADIO_STATE state{};
            state.dwPhyIndex = static_cast<DWORD>(i);
            state.dot11SoftwareRadioState = plat::kDot11RadioStateOn;
            ret = WlanSetInterface(hClient, &iface, plat::kWlanIntfOpcodeRadioState, sizeof state,
                                   &state, nullptr);
        }
    }
    Free(data);
    return ret;
}

bool WlanApi::IsAutoConfEnabled(const GUID& iface) {
    if (IsNull(WlanQueryInterface))
        return false;
    DWORD size = 0;
    void* data = nullptr;
    bool enabled = false;
    const DWORD ret = WlanQueryInterface(hClient, &iface, plat::kWlanIntfOpcodeAutoconfEnabled,
                                         nullptr, &size, &data, nullptr);
    if (ret == 0) {
        plat::BOOL flag = 0;
        if (data != nullptr && size >= sizeof flag)
            std::memcpy(&flag, data, sizeof flag);
        enabled = flag != 0;
    } else {
        LOG(ERROR) << "WlanApi::IsAutoConfEnabled"
                   << " failed..return:" << ret;
    }
    Free(data);
    return enabled;
}

DWORD WlanApi::EnableAutoConf(const GUID& iface) {
    if (IsNull(WlanSetInterface))
        return kNotSupported;
    plat::BOOL value = plat::TRUE_;
    const DWORD ret = WlanSetInterface(hClient, &iface, plat::kWlanIntfOpcodeAutoconfEnabled,
                                       sizeof value, &value, nullptr);
    if (ret != 0)
        LOG(ERROR) << "WlanApi::EnableAutoConf"
                   << " failed..return:" << ret;
    return ret;
}

DWORD WlanApi::SetOperationMode(const GUID& iface, plat::ULONG mode) {
    if (IsNull(WlanSetInterface))
        return kNotSupported;
    const DWORD ret = WlanSetInterface(hClient, &iface, plat::kWlanIntfOpcodeCurrentOperationMode,
                                       sizeof mode, &mode, nullptr);
    if (ret != 0)
        LOG(ERROR) << "WlanApi::SetOperationMode"
                   << " failed..return:" << ret;
    return ret;
}

DWORD WlanApi::SetBssType(const GUID& iface) {
    if (IsNull(WlanSetInterface))
        return kNotSupported;
    plat::DOT11_BSS_TYPE type = plat::kDot11BssTypeAny;
    return WlanSetInterface(hClient, &iface, plat::kWlanIntfOpcodeBssType, sizeof type, &type,
                            nullptr);
}

DWORD WlanApi::SetProfile(const GUID& iface, const std::wstring& xml, DWORD* reasonCode) {
    if (IsNull(WlanSetProfile))
        return kNotSupported;
    const std::u16string text = plat::TextCodec::ToUtf16(xml);
    DWORD reason = 0;
    const DWORD ret =
        WlanSetProfile(hClient, &iface, 0, reinterpret_cast<plat::LPCWSTR>(text.c_str()), nullptr,
                       plat::TRUE_, nullptr, &reason);
    if (reasonCode != nullptr)
        *reasonCode = reason;
    return ret;
}

DWORD WlanApi::Connect(const GUID& iface, const plat::WLAN_CONNECTION_PARAMETERS& params) {
    if (IsNull(WlanConnect))
        return kNotSupported;
    return WlanConnect(hClient, &iface, &params, nullptr);
}

DWORD WlanApi::Disconnect(const GUID& iface) {
    if (IsNull(WlanDisconnect))
        return kNotSupported;
    return WlanDisconnect(hClient, &iface, nullptr);
}

DWORD WlanApi::DeleteProfile(const GUID& iface, const std::wstring& name) {
    if (IsNull(WlanDeleteProfile))
        return kNotSupported;
    const std::u16string text = plat::TextCodec::ToUtf16(name);
    return WlanDeleteProfile(hClient, &iface, reinterpret_cast<plat::LPCWSTR>(text.c_str()),
                             nullptr);
}

bool WlanApi::IsHostedNetworkCapable(const GUID& iface) {
    if (IsNull(WlanQueryInterface))
        return false;
    DWORD size = 0;
    void* data = nullptr;
    bool capable = false;
    const DWORD ret = WlanQueryInterface(hClient, &iface, plat::kWlanIntfOpcodeHostedNetworkCapable,
                                         nullptr, &size, &data, nullptr);
    if (ret == 0 && data != nullptr && size >= sizeof(plat::BOOL)) {
        plat::BOOL value = 0;
        std::memcpy(&value, data, sizeof value);
        LOG(INFO) << "Support result" << value;
        capable = value == 1 || value == -1;
    }
    Free(data);
    return capable;
}

bool WlanApi::IsHostedNetworkEnabled() {
    if (IsNull(WlanHostedNetworkQueryProperty))
        return false;
    DWORD size = 0;
    void* data = nullptr;
    plat::WLAN_OPCODE_VALUE_TYPE type = 0;
    bool enabled = false;
    const DWORD ret = WlanHostedNetworkQueryProperty(hClient, plat::kWlanHostedNetworkOpcodeEnable,
                                                     &size, &data, &type, nullptr);
    if (ret == 0 && data != nullptr && size >= sizeof(plat::BOOL)) {
        plat::BOOL value = 0;
        std::memcpy(&value, data, sizeof value);
        enabled = value != 0;
    }
    Free(data);
    return enabled;
}

DWORD WlanApi::EnableHostedNetwork(bool enable) {
    if (IsNull(WlanHostedNetworkSetProperty))
        return kNotSupported;
    plat::BOOL value = enable ? plat::TRUE_ : plat::FALSE_;
    plat::WLAN_HOSTED_NETWORK_REASON reason = 0;
    DWORD ret = WlanHostedNetworkSetProperty(hClient, plat::kWlanHostedNetworkOpcodeEnable,
                                             sizeof value, &value, &reason, nullptr);
    if (ret == 0) {
        if (IsNull(WlanHostedNetworkInitSettings))
            return kNotSupported;
        ret = WlanHostedNetworkInitSettings(hClient, nullptr, nullptr);
    }
    return ret;
}

DWORD WlanApi::ForceStartHostedNetwork(plat::WLAN_HOSTED_NETWORK_REASON* reason) {
    if (IsNull(WlanHostedNetworkForceStart))
        return kNotSupported;
    plat::WLAN_HOSTED_NETWORK_REASON r = 0;
    const DWORD ret = WlanHostedNetworkForceStart(hClient, &r, nullptr);
    if (reason != nullptr)
        *reason = r;
    return ret;
}

DWORD WlanApi::ForceStopHostedNetwork(plat::WLAN_HOSTED_NETWORK_REASON* reason) {
    if (IsNull(WlanHostedNetworkForceStop))
        return kNotSupported;
    plat::WLAN_HOSTED_NETWORK_REASON r = 0;
    const DWORD ret = WlanHostedNetworkForceStop(hClient, &r, nullptr);
    if (reason != nullptr)
        *reason = r;
    return ret;
}

DWORD WlanApi::QueryHostedNetworkState(plat::WLAN_HOSTED_NETWORK_STATE* state) {
    if (IsNull(WlanHostedNetworkQueryStatus))
        return kNotSupported;
    plat::WLAN_HOSTED_NETWORK_STATUS* status = nullptr;
    const DWORD ret = WlanHostedNetworkQueryStatus(hClient, &status, nullptr);
    if (ret == 0 && status != nullptr && state != nullptr)
        *state = status->HostedNetworkState;
    Free(status);
    return ret;
}

DWORD WlanApi::GetHostedNetworkIfGuid(GUID* guid) {
    if (IsNull(WlanHostedNetworkQueryStatus))
        return kNotSupported;
    plat::WLAN_HOSTED_NETWORK_STATUS* status = nullptr;
    const DWORD ret = WlanHostedNetworkQueryStatus(hClient, &status, nullptr);
    if (ret == 0 && status != nullptr && guid != nullptr)
        *guid = status->IPDeviceID;
    Free(status);
    return ret;
}

DWORD WlanApi::QueryHostedNetworkPeers(std::vector<plat::WLAN_HOSTED_NETWORK_PEER_STATE>* peers) {
    if (IsNull(WlanHostedNetworkQueryStatus))
        return kNotSupported;
    plat::WLAN_HOSTED_NETWORK_STATUS* status = nullptr;
    const DWORD ret = WlanHostedNetworkQueryStatus(hClient, &status, nullptr);
    if (ret == 0 && status != nullptr && peers != nullptr) {
        peers->clear();
        for (DWORD i = 0; i < status->dwNumberOfPeers; ++i)
            peers->push_back(status->PeerList[i]);
    }
    Free(status);
    return ret;
}

DWORD WlanApi::SetHostedNetworkSsid(const std::string& ssid) {
    if (IsNull(WlanHostedNetworkSetProperty))
        return kNotSupported;
    // The record's SSID field holds 32 bytes; a longer name is refused rather
    // than cut or written past the field.
    if (ssid.size() > plat::kDot11SsidMaxLength)
        return plat::kErrorInvalidParameter;
    plat::WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS settings{};
    std::memcpy(settings.hostedNetworkSSID.ucSSID, ssid.data(), ssid.size());
    settings.hostedNetworkSSID.uSSIDLength = static_cast<plat::ULONG>(ssid.size());
    settings.dwMaxNumberOfPeers = kMaxHostedNetworkPeers;
    plat::WLAN_HOSTED_NETWORK_REASON reason = 0;
    return WlanHostedNetworkSetProperty(hClient, plat::kWlanHostedNetworkOpcodeConnectionSettings,
                                        sizeof settings, &settings, &reason, nullptr);
}

DWORD WlanApi::SetHostedNetworkKey(const std::string& key) {
    if (IsNull(WlanHostedNetworkSetSecondaryKey))
        return kNotSupported;
    // The pass phrase goes with its terminator, as the system expects.
    std::string data = key.c_str();
    plat::WLAN_HOSTED_NETWORK_REASON reason = 0;
    return WlanHostedNetworkSetSecondaryKey(hClient, static_cast<DWORD>(data.size() + 1),
                                            reinterpret_cast<plat::UCHAR*>(data.data()),
                                            plat::TRUE_, plat::TRUE_, &reason, nullptr);
}

DWORD WlanApi::QueryHostedNetworkSsid(std::string* ssid) {
    if (IsNull(WlanHostedNetworkQueryProperty))
        return kNotSupported;
    DWORD size = 0;
    void* data = nullptr;
    plat::WLAN_OPCODE_VALUE_TYPE type = 0;
    const DWORD ret = WlanHostedNetworkQueryProperty(
        hClient, plat::kWlanHostedNetworkOpcodeConnectionSettings, &size, &data, &type, nullptr);
    if (ret == 0 && data != nullptr &&
        size >= sizeof(plat::WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS) && ssid != nullptr) {
        const auto* settings =
            static_cast<const plat::WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS*>(data);
        const std::size_t length = std::min<std::size_t>(settings->hostedNetworkSSID.uSSIDLength,
                                                         plat::kDot11SsidMaxLength);
        ssid->assign(reinterpret_cast<const char*>(settings->hostedNetworkSSID.ucSSID), length);
    }
    Free(data);
    return ret;
}

DWORD WlanApi::QueryHostedNetworkKey(std::string* key) {
    if (IsNull(WlanHostedNetworkQuerySecondaryKey))
        return kNotSupported;
    DWORD length = 0;
    plat::UCHAR* data = nullptr;
    plat::BOOL passPhrase = 0;
    plat::BOOL persistent = 0;
    plat::WLAN_HOSTED_NETWORK_REASON reason = 0;
    const DWORD ret = WlanHostedNetworkQuerySecondaryKey(hClient, &length, &data, &passPhrase,
                                                         &persistent, &reason, nullptr);
    if (ret == 0 && key != nullptr) {
        key->clear();
        if (length != 0 && data != nullptr) {
            key->assign(reinterpret_cast<const char*>(data), length);
            // A pass phrase comes with its terminator; the key is the text before it.
            const std::size_t end = key->find('\0');
            if (end != std::string::npos)
                key->resize(end);
        }
    }
    Free(data);
    return ret;
}

DWORD WlanApi::QueryStationProfile(std::wstring* profile) {
    if (IsNull(WlanHostedNetworkQueryProperty))
        return kNotSupported;
    DWORD size = 0;
    void* data = nullptr;
    plat::WLAN_OPCODE_VALUE_TYPE type = 0;
    const DWORD ret = WlanHostedNetworkQueryProperty(
        hClient, plat::kWlanHostedNetworkOpcodeStationProfile, &size, &data, &type, nullptr);
    if (ret == 0 && data != nullptr && profile != nullptr)
        *profile = plat::TextCodec::FromWchars(static_cast<const plat::WCHAR*>(data),
                                               size / sizeof(plat::WCHAR));
    Free(data);
    return ret;
}

std::wstring WlanApi::ReasonCodeToString(DWORD reason) {
    if (IsNull(WlanReasonCodeToString))
        return L"unknow";
    plat::WCHAR buffer[kReasonTextLength] = {};
    if (WlanReasonCodeToString(reason, kReasonTextLength, buffer, nullptr) != 0)
        return L"unknow";
    return plat::TextCodec::FromWchars(buffer, kReasonTextLength);
}
