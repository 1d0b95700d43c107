#include "AdHocMananger.h"

#include <glog/logging.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "Common/Interruption.h"
#include "Common/StringConv.h"
#include "Common/WinVersion.h"
#include "Environment/NicDeviceManager.h"
#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/facility/Registry.h"
#include "platform/text/GuidText.h"
#include "platform/text/TextCodec.h"
#include "platform/vendor/Calvory.h"
#include "platform/winapi/LocalMemory.h"
#include "platform/winapi/Win32Api.h"

using plat::DWORD;

namespace {

constexpr DWORD kWzcUsedFlag = 0x8000;
constexpr std::size_t kWepKeyBytes = 5;
constexpr const char* kWzcInterfacesKey = "SOFTWARE\\Microsoft\\WZCSVC\\Parameters\\Interfaces\\";

std::string Utf8(const std::wstring& text) {
    return plat::TextCodec::WideToUtf8(text);
}

std::wstring EscapeXml(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        switch (c) {
            case L'&':
                out += L"&amp;";
                break;
            case L'<':
                out += L"&lt;";
                break;
            case L'>':
                out += L"&gt;";
                break;
            case L'"':
                out += L"&quot;";
                break;
            case L'\'':
                out += L"&apos;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    return -1;
}

// A WEP-40 key typed as ten hexadecimal digits, high digit first.
bool ParseWepKey(const std::wstring& key, plat::UCHAR out[kWepKeyBytes]) {
    if (key.size() != 2 * kWepKeyBytes)
        return false;
    for (std::size_t i = 0; i < kWepKeyBytes; ++i) {
        const int high = HexDigit(key[2 * i]);
        const int low = HexDigit(key[2 * i + 1]);
        if (high < 0 || low < 0)
            return false;
        out[i] = static_cast<plat::UCHAR>(high * 16 + low);
    }
    return true;
}

}  // namespace

CAdHocMananger::CAdHocMananger(CWiFiEventCallback* callback) : CWiFiManager(callback) {
    m_nMode = kWiFiModeAdHoc;
    m_wlanApi.Load();
    m_bApiReady = InitAdhoc();
}

CAdHocMananger::~CAdHocMananger() {
    if (m_wlanApi.hClient != nullptr)
        m_wlanApi.RegisterNotification(nullptr, nullptr, plat::kWlanNotificationSourceNone);
    m_wzcApi.Unload();
    m_wlanApi.Unload();
}

bool CAdHocMananger::InitAdhoc() {
    if (!m_wlanApi.Load())
        LOG(ERROR) << "WlanApi init failed.";
    if (!IsWindowsVersionOrGreater(6, 0, 0) && IsWindowsVersionOrGreater(5, 1, 0)) {
        if (!m_wzcApi.Load())
            LOG(ERROR) << "WzcApi init failed.";
    }
    if (!m_wlanApi.IsLoaded() && !m_wzcApi.IsLoaded()) {
        LOG(ERROR) << "Adhoc init failed.";
        return false;
    }
    const DWORD opened = m_wlanApi.OpenHandle();
    if (opened == 0) {
        const DWORD registered =
            m_wlanApi.RegisterNotification(&OnNotification, this, plat::kWlanNotificationSourceAll);
        if (registered != 0)
            LOG(WARNING) << "reg notify failed " << registered;
    } else {
        LOG(WARNING) << "wlan open handle failed " << opened;
    }
    return true;
}

int CAdHocMananger::Init() {
    if (!IsApiReady()) {
        if (!InitAdhoc())
            return static_cast<int>(plat::kErrorNotSupported);
        m_bApiReady = true;
    }
    return m_wlanApi.IsLoaded() ? InitWlan() : InitWzc();
}

int CAdHocMananger::InitWzc() {
    if (m_wzcApi.WZCEnumInterfaces == nullptr) {
        m_bInitialized = false;
        return static_cast<int>(plat::kErrorNotSupported);
    }
    plat::WZC_INTFS_KEY_TABLE table{};
    const DWORD ret = m_wzcApi.WZCEnumInterfaces(nullptr, &table);
    if (ret != 0) {
        LOG(ERROR) << "WZCEnumInterface failed " << ret;
        return static_cast<int>(ret);
    }
    if (table.dwNumIntfs == 0 || table.pIntfs == nullptr) {
        plat::LocalFree(table.pIntfs);
        return kWiFiNoInterface;
    }
    bool taken = false;
    for (DWORD i = 0; i < table.dwNumIntfs; ++i) {
        const plat::WCHAR* text = table.pIntfs[i].wszGuid;
        if (text == nullptr)
            continue;
        std::size_t n = 0;
        while (text[n] != 0)
            ++n;
        const std::wstring guidText = plat::TextCodec::FromWchars(text, n + 1);
        LOG(INFO) << "adhoc wzc if: " << Utf8(guidText);
        plat::GUID guid{};
        if (!plat::GuidText::Parse(guidText, &guid))
            continue;
        if (plat::GuidText::IsNull(m_guidAdapter) || m_guidAdapter == guid) {
            m_guidAdapter = guid;
            taken = true;
            break;
        }
    }
    plat::LocalFree(table.pIntfs);
    m_bInitialized = taken;
    // No interface matched the chosen adapter: the mode has no adapter to run on.
    return taken ? kWiFiOk : kWiFiNotInitialized;
}

DWORD CAdHocMananger::Enumerate(std::vector<plat::WLAN_INTERFACE_INFO>* interfaces) {
    const DWORD ret = m_wlanApi.EnumInterfaces(interfaces);
    if (ret == plat::kErrorInvalidHandle)
        LOG(ERROR) << "EnumWlanInterface failed: ERROR_INVALID_HANDLE";
    else if (ret != 0)
        LOG(ERROR) << "EnumWlanInterface failed:" << ret;
    return ret;
}

int CAdHocMananger::InitWlan() {
    std::vector<plat::WLAN_INTERFACE_INFO> interfaces;
    DWORD ret = Enumerate(&interfaces);
    if (ret != 0)
        return static_cast<int>(ret);
    if (interfaces.empty()) {
        LOG(ERROR) << "EnumWlanInterface find no interface";
        LOG(INFO) << "Try EnableAllWirelessAdapter";
        if (CNicDeviceManager::GetInstance()->EnableAllWirelessAdapter()) {
            if (!CInterruption::Sleep(std::chrono::seconds(1)))
                return kWiFiInterrupted;
            ret = Enumerate(&interfaces);
            if (ret != 0)
                return static_cast<int>(ret);
        }
        if (interfaces.empty()) {
            LOG(ERROR) << "EnumWlanInterface find no interface:";
            return kWiFiNoInterface;
        }
    }

    int result = kWiFiNotInitialized;
    bool taken = false;
    for (const plat::WLAN_INTERFACE_INFO& info : interfaces) {
        const plat::GUID& guid = info.InterfaceGuid;
        const std::string description = Utf8(
            plat::TextCodec::FromWchars(info.strInterfaceDescription, plat::kWlanMaxNameLength));
        if (!m_wlanApi.IsHardRadioOn(guid)) {
            LOG(ERROR) << "interface hard radio off:" << description;
            result = kWiFiHardRadioOff;
            continue;
        }
        if (!m_wlanApi.IsSoftRadioOn(guid)) {
            LOG(INFO) << "interface soft radio off:" << description;
            const DWORD turned = m_wlanApi.TurnOnSoftRadio(guid);
            if (turned != 0 && turned != plat::kErrorNotSupported) {
                LOG(ERROR) << "turn on soft radio failed, interface" << description
                           << " return :" << turned;
                result = kWiFiSoftRadioOff;
                continue;
            }
        }
        if (plat::GuidText::IsNull(m_guidAdapter) || m_guidAdapter == guid) {
            m_guidAdapter = guid;
            result = kWiFiOk;
            LOG(INFO) << "adhoc if is :" << plat::GuidText::ToString(guid);
            taken = true;
            break;
        }
    }
    m_bInitialized = taken;
    return result;
}

std::wstring CAdHocMananger::BuildProfileXml(const std::wstring& ssid, const std::wstring& key) {
    const std::wstring name = EscapeXml(ssid);
    std::wstring xml =
        L"<?xml version=\"1.0\"?><WLANProfile "
        L"xmlns=\"http://www.microsoft.com/networking/WLAN/profile/v1\"><name>";
    xml += name;
    xml += IsWindowsVersionOrGreater(6, 0, 0) ? L"</name>" : L"-adhoc</name>";
    xml += L"<SSIDConfig><SSID><name>";
    xml += name;
    xml +=
        L"</name></SSID></SSIDConfig><connectionType>IBSS</connectionType><MSM><security>"
        L"<authEncryption><authentication>open</authentication><encryption>";
    xml += key.empty() ? L"none" : L"WEP";
    xml += L"</encryption><useOneX>false</useOneX></authEncryption>";
    if (!key.empty()) {
        xml += L"<sharedKey><keyType>networkKey</keyType><protected>false</protected><keyMaterial>";
        xml += EscapeXml(key);
        xml += L"</keyMaterial></sharedKey>";
    }
    xml += L"</security></MSM></WLANProfile>";
    return xml;
}

bool CAdHocMananger::EnableUseWzc() {
    bool result = true;
    plat::Registry& reg = plat::Platform::Current().Reg();
    const std::string path = kWzcInterfacesKey + plat::GuidText::ToString(m_guidAdapter);
    if (!reg.KeyExists(plat::RegRoot::LocalMachine, path))
        return result;

    plat::RegValue value;
    if (reg.QueryValue(plat::RegRoot::LocalMachine, path, "ControlFlags", &value) != 0 ||
        value.type != plat::kRegDword || value.data.size() < sizeof(DWORD))
        return result;
    DWORD flags = 0;
    std::memcpy(&flags, value.data.data(), sizeof flags);
    if ((flags & kWzcUsedFlag) != 0)
        return result;

    LOG(INFO) << "Not Use wzc.";
    result = false;
    if (plat::calvory::StopServiceByName("WzcSvc") != 0) {
        flags |= kWzcUsedFlag;
        plat::RegValue written;
        written.type = plat::kRegDword;
        written.data.resize(sizeof flags);
        std::memcpy(written.data.data(), &flags, sizeof flags);
        const bool stored =
            reg.SetValue(plat::RegRoot::LocalMachine, path, "ControlFlags", written) == 0;
        if (stored)
            LOG(INFO) << "Set ControlFlags succeed.";
        // The service is started again whatever the write did: it was stopped here.
        const bool started = plat::calvory::StartServiceByName("WzcSvc") != 0;
        result = stored && started;
    }
    return result;
}

bool CAdHocMananger::ConfigureWzc(const std::wstring& interfaceText, const std::wstring& ssid,
                                  const std::wstring& key) {
    if (interfaceText.empty())
        return false;
    if (m_wzcApi.WZCQueryInterface == nullptr || m_wzcApi.WZCSetInterface == nullptr) {
        LOG(ERROR) << "QueryInterface failed " << plat::kErrorNotSupported;
        return false;
    }
    // The entry is filled before anything is read, so that a name or key the
    // record cannot hold leaves the list untouched.
    plat::WZC_WLAN_CONFIG entry{};
    entry.Length = sizeof entry;
    std::string ssidBytes;
    if (!WideToAnsi(ssid, &ssidBytes) || ssidBytes.empty() ||
        ssidBytes.size() > sizeof entry.Ssid.Ssid) {
        LOG(ERROR) << "WZC ssid is not usable: " << Utf8(ssid);
        return false;
    }
    std::memcpy(entry.Ssid.Ssid, ssidBytes.data(), ssidBytes.size());
    entry.Ssid.SsidLength = static_cast<plat::ULONG>(ssidBytes.size());
    entry.InfrastructureMode = plat::kWzcInfrastructureIbss;
    entry.KeyIndex = 0;
    if (key.empty()) {
        entry.dwCtlFlags = 0;
        entry.Privacy = plat::kWzcPrivacyWepDisabled;
    } else {
        if (!ParseWepKey(key, entry.KeyMaterial)) {
            LOG(ERROR) << "WZC key is not 10 hexadecimal digits, length:" << key.size();
            return false;
        }
        entry.dwCtlFlags = plat::kWzcCtlKeyIndexPresent | plat::kWzcCtlWepKeyPresent;
        entry.Privacy = plat::kWzcPrivacyWepEnabled;
        entry.KeyLength = kWepKeyBytes;
    }

    std::u16string guidText = plat::TextCodec::ToUtf16(interfaceText);
    plat::WZC_INTF_ENTRY record{};
    record.wszGuid = reinterpret_cast<plat::WCHAR*>(guidText.data());
    DWORD outFlags = 0;
    DWORD ret =
        m_wzcApi.WZCQueryInterface(nullptr, plat::kWzcIntfPreferredList, &record, &outFlags);
    if (ret != 0) {
        LOG(ERROR) << "QueryInterface failed " << ret;
        return false;
    }
    const std::size_t slot = IsWindowsVersionOrGreater(5, 1, 3)
                                 ? plat::kWzcPreferredListSlotSp3
                                 : plat::kWzcPreferredListSlotBeforeSp3;
    plat::WZC_RAW_DATA& listField = record.rdBuffers[slot];
    plat::BYTE* oldList = listField.pData;
    constexpr std::size_t kHeader = offsetof(plat::WZC_802_11_CONFIG_LIST, Config);
    plat::ULONG oldCount = 0;
    plat::ULONG oldIndex = 0;
    if (oldList != nullptr && listField.dwDataLen >= kHeader) {
        std::memcpy(&oldCount, oldList, sizeof oldCount);
        std::memcpy(&oldIndex, oldList + sizeof oldCount, sizeof oldIndex);
        // Never read entries past the buffer the service handed out.
        oldCount = static_cast<plat::ULONG>(std::min<std::size_t>(
            oldCount, (listField.dwDataLen - kHeader) / sizeof(plat::WZC_WLAN_CONFIG)));
    }

    const std::size_t newSize = kHeader + (oldCount + 1) * sizeof(plat::WZC_WLAN_CONFIG);
    auto* newList = static_cast<plat::BYTE*>(plat::LocalAlloc(plat::kLptr, newSize));
    if (newList == nullptr) {
        plat::LocalFree(oldList);
        return false;
    }
    const plat::ULONG newCount = oldCount + 1;
    const plat::ULONG newIndex = oldIndex + 1;
    std::memcpy(newList, &newCount, sizeof newCount);
    std::memcpy(newList + sizeof newCount, &newIndex, sizeof newIndex);
    std::memcpy(newList + kHeader, &entry, sizeof entry);
    for (plat::ULONG i = 0; i < oldCount; ++i) {
        plat::WZC_WLAN_CONFIG old{};
        std::memcpy(&old, oldList + kHeader + i * sizeof old, sizeof old);
        if ((old.dwCtlFlags & plat::kWzcCtlPolicy) != 0)
            old.dwCtlFlags |= plat::kWzcCtlVolatile;
        std::memcpy(newList + kHeader + (i + 1) * sizeof old, &old, sizeof old);
    }

    listField.dwDataLen = static_cast<DWORD>(newSize);
    listField.pData = newList;
    ret = m_wzcApi.WZCSetInterface(nullptr, plat::kWzcIntfPreferredList, &record, &outFlags);
    if (ret != 0)
        LOG(ERROR) << "SetInterface failed " << ret;
    listField.pData = nullptr;
    listField.dwDataLen = 0;
    plat::LocalFree(oldList);
    plat::LocalFree(newList);
    return ret == 0;
}

int CAdHocMananger::StartAp() {
    LOG(INFO) << "Adhoc ssid is " << Utf8(m_strSsid) << ", Encoding:" << m_nSsidEncoding;
    LOG(INFO) << "Adhoc password is " << Utf8(m_strKey);
    if (!EnableUseWzc())
        LOG(ERROR) << "Enable use wzc failed.";

    int result = kWiFiAdHocStartFailed;
    bool connected = false;
    if (m_wlanApi.IsLoaded()) {
        if (!m_wlanApi.IsAutoConfEnabled(m_guidAdapter)) {
            LOG(WARNING) << "auto conf is off.";
            const DWORD enabled = m_wlanApi.EnableAutoConf(m_guidAdapter);
            if (enabled != 0)
                LOG(ERROR) << "Enable auto conf failed ret" << enabled;
        } else {
            LOG(INFO) << "auto conf is on.";
        }

        const std::wstring xml = BuildProfileXml(m_strSsid, m_strKey);
        m_wlanApi.Disconnect(m_guidAdapter);
        const DWORD bss = m_wlanApi.SetBssType(m_guidAdapter);
        if (bss != 0)
            LOG(ERROR) << "SetBssType failed " << bss;

        DWORD reason = 0;
        const DWORD set = m_wlanApi.SetProfile(m_guidAdapter, xml, &reason);
        if (set != 0) {
            LOG(ERROR) << "SetProfile failed " << set;
        } else {
            m_strProfileName =
                IsWindowsVersionOrGreater(6, 0, 0) ? m_strSsid : m_strSsid + L"-adhoc";
            const std::u16string profile = plat::TextCodec::ToUtf16(m_strProfileName);
            plat::WLAN_CONNECTION_PARAMETERS params{};
            params.wlanConnectionMode = plat::kWlanConnectionModeProfile;
            params.strProfile = reinterpret_cast<plat::LPCWSTR>(profile.c_str());
            params.pDot11Ssid = nullptr;
            params.pDesiredBssidList = nullptr;
            params.dot11BssType = plat::kDot11BssTypeIndependent;
            params.dwFlags = 0;
            const DWORD ret = m_wlanApi.Connect(m_guidAdapter, params);
            if (ret != 0)
                LOG(ERROR) << "Start Adhoc failed..ret" << ret;
            else
                connected = true;
        }
        if (!connected) {
            m_wlanApi.DeleteProfile(m_guidAdapter, m_strProfileName);
            LOG(ERROR) << "Connect failed " << kWiFiAdHocStartFailed;
        }
    }
    if (connected) {
        result = kWiFiOk;
    } else if (!ConfigureWzc(plat::GuidText::ToWString(m_guidAdapter), m_strSsid, m_strKey)) {
        LOG(ERROR) << "WZC failed " << kWiFiAdHocStartFailed;
        result = kWiFiAdHocStartFailed;
    } else {
        m_strProfileName = m_strSsid;
        LOG(INFO) << "WZC succeed ";
        result = kWiFiOk;
    }

    m_bStarted = result == kWiFiOk;
    if (m_bStarted)
        LOG(INFO) << "Ad hoc start "
                  << "succeed." << result;
    else
        LOG(ERROR) << "Ad hoc start "
                   << "failed." << result;
    return result;
}

int CAdHocMananger::StopAp() {
    m_wlanApi.Disconnect(m_guidAdapter);
    m_wlanApi.DeleteProfile(m_guidAdapter, m_strProfileName);
    m_bStarted = false;
    return kWiFiOk;
}

void LUMARI_WINAPI CAdHocMananger::OnNotification(plat::WLAN_NOTIFICATION_DATA* data, void*) {
    if (data == nullptr || data->NotificationSource == plat::kWlanNotificationSourceMsm)
        return;
    if (data->NotificationSource != plat::kWlanNotificationSourceAcm) {
        char text[64];
        std::snprintf(text, sizeof text, "[Lumari] notify source: %d, code: %d\n",
                      static_cast<int>(data->NotificationSource),
                      static_cast<int>(data->NotificationCode));
        plat::OutputDebugStringA(text);
        return;
    }
    if (data->dwDataSize != sizeof(plat::WLAN_CONNECTION_NOTIFICATION_DATA) ||
        data->pData == nullptr)
        return;
    plat::WLAN_CONNECTION_NOTIFICATION_DATA connection{};
    std::memcpy(&connection, data->pData, sizeof connection);
    if (data->NotificationCode == plat::kWlanNotificationAcmConnectionComplete) {
        if (connection.wlanReasonCode == 0)
            LOG(INFO) << "acm_connection_complete.";
        else
            LOG(WARNING) << "acm_connection_complete failed.";
    } else if (data->NotificationCode == plat::kWlanNotificationAcmDisconnected) {
        LOG(INFO) << "acm_disconnected.";
    }
}
