#include "HostedNetworkManager.h"

#include <glog/logging.h>

#include <chrono>
#include <cstring>

#include "Common/Interruption.h"
#include "Common/StringConv.h"
#include "Common/WinVersion.h"
#include "Environment/NicDeviceManager.h"
#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/text/MacText.h"
#include "platform/text/TextCodec.h"
#include "platform/winapi/Win32Api.h"

using plat::DWORD;

namespace {

constexpr DWORD kErrorNoUnicodeTranslation = 1113;
constexpr std::size_t kDebugTextLength = 1024;

std::string Utf8(const std::wstring& text) {
    return plat::TextCodec::WideToUtf8(text);
}

std::wstring Description(const plat::WLAN_INTERFACE_INFO& info) {
    return plat::TextCodec::FromWchars(info.strInterfaceDescription, plat::kWlanMaxNameLength);
}

// The debugger line, cut to the text buffer the trace is formatted into.
void DebugTrace(std::wstring text) {
    if (text.size() > kDebugTextLength - 1)
        text.resize(kDebugTextLength - 1);
    plat::OutputDebugStringW(text.c_str());
}

}  // namespace

CHostedNetworkManager::CHostedNetworkManager(CWiFiEventCallback* callback)
    : CWiFiManager(callback) {
    m_nMode = kWiFiModeHosted;
    m_wlanApi.Load();
    m_bApiReady = InitWlan();
}

CHostedNetworkManager::~CHostedNetworkManager() {
    // Unregistering waits for a notification in progress, so no handler runs
    // on this object once it returns.
    if (m_wlanApi.hClient != nullptr)
        m_wlanApi.RegisterNotification(nullptr, nullptr, plat::kWlanNotificationSourceNone);
    m_wlanApi.Unload();
}

bool CHostedNetworkManager::InitWlan() {
    if (!m_wlanApi.Load()) {
        LOG(ERROR) << "init wlan failed:" << 0;
        return false;
    }
    const DWORD opened = m_wlanApi.OpenHandle();
    if (opened != 0) {
        LOG(ERROR) << "open wlan handle failed" << opened;
        return false;
    }
    return RegisterNotification() == 0;
}

DWORD CHostedNetworkManager::RegisterNotification() {
    const DWORD ret =
        m_wlanApi.RegisterNotification(&OnNotification, this, plat::kWlanNotificationSourceHnwk);
    if (ret != 0)
        LOG(ERROR) << "register wlan notify failed " << ret;
    return ret;
}

bool CHostedNetworkManager::IsOsSupported() {
    if (!IsWindowsVersionOrGreater(6, 1, 0)) {
        LOG(ERROR) << "Windows version is not 7 or greater";
        return false;
    }
    DWORD edition = 0;
    if (GetWindowsEdition(&edition) &&
        (edition == kProductStarter || edition == kProductStarterN)) {
        LOG(ERROR) << "Windows Starter Edition";
        return false;
    }
    return true;
}

DWORD CHostedNetworkManager::Enumerate(std::vector<plat::WLAN_INTERFACE_INFO>* interfaces) {
    const DWORD ret = m_wlanApi.EnumInterfaces(interfaces);
    if (ret == plat::kErrorInvalidHandle)
        LOG(ERROR) << "EnumWlanInterface failed: ERROR_INVALID_HANDLE";
    else if (ret != 0)
        LOG(ERROR) << "EnumWlanInterface failed:" << ret;
    return ret;
}

int CHostedNetworkManager::Init() {
    // Without Windows 7 or with a Starter edition the system has no hosted
    // network; no interface can carry one.
    if (!IsOsSupported()) {
        m_bInitialized = false;
        return kWiFiNotInitialized;
    }
    if (!IsApiReady()) {
        if (!InitWlan())
            return static_cast<int>(plat::kErrorNotSupported);
        m_bApiReady = true;
    }

    std::vector<plat::WLAN_INTERFACE_INFO> interfaces;
    DWORD ret = Enumerate(&interfaces);
    if (ret != 0)
        return static_cast<int>(ret);
    if (interfaces.empty()) {
        LOG(ERROR)
            << "EnumWlanInterface find no interface\xEF\xBC\x8C Try EnableAllWirelessAdapter";
        if (CNicDeviceManager::GetInstance()->EnableAllWirelessAdapter()) {
            if (!CInterruption::Sleep(std::chrono::seconds(1)))
                return kWiFiInterrupted;
            ret = Enumerate(&interfaces);
            if (ret != 0)
                return static_cast<int>(ret);
        }
        if (interfaces.empty()) {
            LOG(ERROR) << "EnumWlanInterface find no interface";
            return kWiFiNoInterface;
        }
    }

    int code = kWiFiNotInitialized;
    bool found = false;
    for (const plat::WLAN_INTERFACE_INFO& info : interfaces) {
        const plat::GUID& guid = info.InterfaceGuid;
        const std::string description = Utf8(Description(info));
        if (!m_wlanApi.IsHardRadioOn(guid)) {
            LOG(ERROR) << "Interface hard radio off:" << description;
            code = kWiFiHardRadioOff;
            continue;
        }
        if (!m_wlanApi.IsSoftRadioOn(guid)) {
            LOG(INFO) << "Interface soft radio off:" << description;
            const DWORD turned = m_wlanApi.TurnOnSoftRadio(guid);
            if (turned != 0) {
                LOG(ERROR) << "Turn on soft radio failed, interface" << description
                           << " return :" << turned;
                code = kWiFiSoftRadioOff;
                continue;
            }
        }
        if (m_wlanApi.IsHostedNetworkCapable(guid)) {
            LOG(INFO) << "Interface <" << description << "> support hostednetwork";
            code = kWiFiOk;
            found = true;
            break;
        }
        LOG(ERROR) << "Interface <" << description << "> do not support hostednetwork";
        code = kWiFiNotInitialized;
    }
    m_bInitialized = found;
    return code;
}

bool CHostedNetworkManager::SetSsid(const std::wstring& ssid) {
    m_strSsid = ssid;
    std::string bytes;
    if (m_nSsidEncoding == kSsidEncodingAnsi) {
        // Refused before it reaches the system: the SSID field holds 32 bytes.
        DWORD error = 0;
        if (!WideToAnsi(ssid, &bytes))
            error = kErrorNoUnicodeTranslation;
        else if (bytes.size() > plat::kDot11SsidMaxLength)
            error = plat::kErrorInsufficientBuffer;
        if (error != 0) {
            LOG(ERROR) << "convert ssid to ansi error:" << Utf8(ssid) << " error:" << error;
            return false;
        }
    } else if (m_nSsidEncoding == kSsidEncodingUtf8) {
        DWORD error = 0;
        if (!plat::TextCodec::WideToUtf8(ssid, &bytes))
            error = kErrorNoUnicodeTranslation;
        else if (bytes.size() + 1 > plat::kDot11SsidMaxLength + 1)
            error = plat::kErrorInsufficientBuffer;
        if (error != 0) {
            plat::SetLastError(error);
            LOG(ERROR) << "convert ssid to utf-8 error:" << Utf8(ssid)
                       << " error:" << plat::GetLastError();
            return false;
        }
    } else {
        LOG(ERROR) << "wrong ssid encoding:" << m_nSsidEncoding;
        return false;
    }
    LOG(INFO) << "ssid is " << bytes << " length:" << bytes.size();
    const DWORD ret = m_wlanApi.SetHostedNetworkSsid(bytes);
    if (ret != 0)
        LOG(ERROR) << "SetSsid failed:" << ret;
    return ret == 0;
}

bool CHostedNetworkManager::SetKey(const std::wstring& key) {
    m_strKey = key;
    std::string bytes;
    if (!WideToAnsi(key, &bytes)) {
        // A key the code page cannot carry would reach the system altered.
        LOG(ERROR) << "convert key to ansi error:" << kErrorNoUnicodeTranslation;
        return false;
    }
    LOG(INFO) << "key is " << bytes << " length:" << bytes.size();
    const DWORD ret = m_wlanApi.SetHostedNetworkKey(bytes);
    if (ret != 0)
        LOG(ERROR) << "SetKey failed:" << ret;
    return ret == 0;
}

std::wstring CHostedNetworkManager::GetSsid() {
    std::string bytes;
    m_strSsid.clear();
    if (m_wlanApi.QueryHostedNetworkSsid(&bytes) == 0)
        m_strSsid = AnsiToWide(bytes);
    return m_strSsid;
}

std::wstring CHostedNetworkManager::GetKey() {
    std::string bytes;
    m_strKey.clear();
    if (m_wlanApi.QueryHostedNetworkKey(&bytes) == 0)
        m_strKey = AnsiToWide(bytes);
    return m_strKey;
}

int CHostedNetworkManager::StartAp() {
    if (!m_wlanApi.IsLoaded())
        InitWlan();

    plat::WLAN_HOSTED_NETWORK_STATE state = 0;
    if (m_wlanApi.QueryHostedNetworkState(&state) == 0 && state == plat::kWlanHostedNetworkActive)
        LOG(ERROR) << "HN already started, state:" << state;

    if (!m_wlanApi.IsHostedNetworkEnabled()) {
        const DWORD enabled = m_wlanApi.EnableHostedNetwork(true);
        if (enabled != 0) {
            LOG(ERROR) << "EnableHN failed:" << enabled;
            return static_cast<int>(enabled);
        }
    }

    CNicDeviceManager::GetInstance()->EnableVirtualWifiAdapter();

    plat::WLAN_HOSTED_NETWORK_REASON reason = 0;
    DWORD ret = m_wlanApi.ForceStartHostedNetwork(&reason);
    if (ret == plat::kErrorInvalidHandle) {
        LOG(ERROR) << "StartHN return ERROR_INVALID_HANDLE, reopen handle.";
        m_wlanApi.OpenHandle();
        // The old handle took its registration with it; without a new one the
        // hosted network's and the stations' notifications would stop.
        RegisterNotification();
        ret = m_wlanApi.ForceStartHostedNetwork(&reason);
    }
    if (ret != 0) {
        LOG(ERROR) << "StartHN failed return:" << ret << " reason:" << reason;
        const std::string why = plat::Platform::Current().AccessPointFailure();
        if (!why.empty())
            LOG(ERROR) << "StartHN failed: " << why;
    } else
        LOG(INFO) << "StartHN succeed reason: " << reason;
    m_bStarted = ret == 0;
    return static_cast<int>(ret);
}

int CHostedNetworkManager::StopAp() {
    plat::WLAN_HOSTED_NETWORK_REASON reason = 0;
    const DWORD stopped = m_wlanApi.ForceStopHostedNetwork(&reason);
    if (stopped == 0) {
        m_bStarted = false;
        LOG(INFO) << "StopHN succeed reason: " << reason;
    } else {
        LOG(ERROR) << "StopHN failed return: " << stopped << " reason:" << reason;
    }
    const DWORD disabled = m_wlanApi.EnableHostedNetwork(false);
    if (disabled == 0)
        LOG(INFO) << "DisableHN succeed.";
    else
        LOG(ERROR) << "DisableHN failed return: " << disabled;
    return static_cast<int>(disabled);
}

int CHostedNetworkManager::GetAdapterGuid(plat::GUID* out) {
    plat::GUID guid{};
    const DWORD ret = m_wlanApi.GetHostedNetworkIfGuid(&guid);
    if (ret == 0) {
        if (out != nullptr)
            *out = guid;
        LOG(INFO) << "GetHNIfGuid succeed.";
    } else {
        LOG(ERROR) << "GetHNIfGuid failed return:" << ret;
    }
    return static_cast<int>(ret);
}

void LUMARI_WINAPI CHostedNetworkManager::OnNotification(plat::WLAN_NOTIFICATION_DATA* data,
                                                         void* context) {
    if (context == nullptr || data == nullptr)
        return;
    if (data->NotificationSource != plat::kWlanNotificationSourceHnwk)
        return;
    if (data->dwDataSize == 0 || data->pData == nullptr)
        return;
    auto* self = static_cast<CHostedNetworkManager*>(context);

    if (data->NotificationCode == plat::kWlanHostedNetworkStateChange &&
        data->dwDataSize == sizeof(plat::WLAN_HOSTED_NETWORK_STATE_CHANGE)) {
        plat::WLAN_HOSTED_NETWORK_STATE_CHANGE change{};
        std::memcpy(&change, data->pData, sizeof change);
        switch (change.NewState) {
            case plat::kWlanHostedNetworkActive:
                self->OnHostedNetworkStarted();
                break;
            case plat::kWlanHostedNetworkIdle:
                if (change.OldState == plat::kWlanHostedNetworkActive)
                    self->OnHostedNetworkStopped();
                else
                    self->OnHostedNetworkAvailable();
                break;
            case plat::kWlanHostedNetworkUnavailable:
                if (change.OldState == plat::kWlanHostedNetworkActive)
                    self->OnHostedNetworkStopped();
                self->OnHostedNetworkNotAvailable();
                break;
            default:
                break;
        }
    } else if (data->NotificationCode == plat::kWlanHostedNetworkPeerStateChange &&
               data->dwDataSize == sizeof(plat::WLAN_HOSTED_NETWORK_DATA_PEER_STATE_CHANGE)) {
        plat::WLAN_HOSTED_NETWORK_DATA_PEER_STATE_CHANGE change{};
        std::memcpy(&change, data->pData, sizeof change);
        const std::wstring mac = plat::MacText::FormatWide(change.NewState.PeerMacAddress);
        switch (change.NewState.PeerAuthState) {
            case plat::kWlanHostedNetworkPeerStateAuthenticated:
                self->OnStationJoin(mac);
                break;
            case plat::kWlanHostedNetworkPeerStateInvalid:
                self->OnStationLeave(mac);
                break;
            default:
                self->OnStationStateChange(mac, change.NewState.PeerAuthState);
                break;
        }
    }
}

void CHostedNetworkManager::OnHostedNetworkStarted() {
    LOG(INFO) << "CHostedNetworkManager::OnHostedNetworkStarted";
    DebugTrace(L"[Lumari] CHostedNetworkManager::OnHostedNetworkStarted");
    if (m_pCallback != nullptr)
        m_pCallback->OnWiFiStarted();
}

void CHostedNetworkManager::OnHostedNetworkStopped() {
    LOG(INFO) << "CHostedNetworkManager::OnHostedNetworkStopped";
    DebugTrace(L"[Lumari] CHostedNetworkManager::OnHostedNetworkStopped");
    if (m_pCallback != nullptr)
        m_pCallback->OnWiFiStopped();
}

void CHostedNetworkManager::OnHostedNetworkAvailable() {
    LOG(INFO) << "CHostedNetworkManager::OnHostedNetworkAvailable";
    DebugTrace(L"[Lumari] CHostedNetworkManager::OnHostedNetworkAvailable");
    if (m_pCallback != nullptr)
        m_pCallback->OnWiFiAvailable();
}

void CHostedNetworkManager::OnHostedNetworkNotAvailable() {
    LOG(INFO) << "CHostedNetworkManager::OnHostedNetworkNotAvailable";
    DebugTrace(L"[Lumari] CHostedNetworkManager::OnHostedNetworkNotAvailable");
    if (m_pCallback != nullptr)
        m_pCallback->OnWiFiNotAvailable();
}

void CHostedNetworkManager::OnStationJoin(const std::wstring& mac) {
    LOG(INFO) << "CHostedNetworkManager::OnStationJoin"
              << " " << Utf8(mac);
    DebugTrace(L"[Lumari] StationJoin " + mac + L"\n");
    if (m_pCallback != nullptr)
        m_pCallback->OnStationJoin(mac);
}

void CHostedNetworkManager::OnStationLeave(const std::wstring& mac) {
    LOG(INFO) << "CHostedNetworkManager::OnStationLeave"
              << " " << Utf8(mac);
    DebugTrace(L"[Lumari] StationLeave " + mac + L"\n");
    if (m_pCallback != nullptr)
        m_pCallback->OnStationLeave(mac);
}

void CHostedNetworkManager::OnStationStateChange(const std::wstring& mac, DWORD state) {
    LOG(INFO) << "CHostedNetworkManager::OnStationStateChange"
              << " " << Utf8(mac) << " state " << state;
}
