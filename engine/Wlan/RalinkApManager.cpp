#include "RalinkApManager.h"

#include <glog/logging.h>

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <set>
#include <utility>

#include "Common/Interruption.h"
#include "Common/StringConv.h"
#include "Common/WinVersion.h"
#include "platform/text/GuidText.h"
#include "platform/text/MacText.h"
#include "platform/text/TextCodec.h"
#include "platform/vendor/Calvory.h"
#include "platform/winapi/Win32Api.h"

namespace {

// Most adapters the list is grown for; a count beyond it is taken as garbage.
constexpr std::size_t kMaxAdapters = 64;
constexpr plat::DWORD kErrorNoUnicodeTranslation = 1113;
constexpr std::size_t kSsidField = sizeof(plat::RAAP_AP_CONFIG::Ssid);
constexpr std::size_t kKeyField = sizeof(plat::RAAP_AP_CONFIG::Key);

#if defined(__GNUC__)
void Debug(const char* format, ...) __attribute__((format(printf, 1, 2)));
#endif
void Debug(const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    plat::OutputDebugStringA(text);
}

}  // namespace

CRalinkApManager::RaApApi::~RaApApi() {
    if (hModule != nullptr)
        plat::FreeLibrary(hModule);
}

CRalinkApManager::CRalinkApManager(CWiFiEventCallback* callback) : CWiFiManager(callback) {
    m_nMode = kWiFiModeRalink;
    m_wlanApi.Load();
    m_bApiReady = InitRalink();
}

CRalinkApManager::~CRalinkApManager() {
    // The poll thread uses the library and the callback: it ends before either goes.
    StopPolling();
    m_adapterBuffer.clear();
    m_pSelectedAdapter = nullptr;
    // No notification may reach this object once it is gone.
    if (m_wlanApi.hClient != nullptr)
        m_wlanApi.RegisterNotification(nullptr, nullptr, plat::kWlanNotificationSourceNone);
    m_wlanApi.Unload();
    if (m_bApiReady)
        m_raApApi.pDeInitial();
}

void LUMARI_WINAPI CRalinkApManager::OnWlanNotification(plat::WLAN_NOTIFICATION_DATA* data,
                                                        plat::PVOID context) {
    (void)context;
    if (data == nullptr)
        return;
    const int code = static_cast<int>(data->NotificationCode);
    if (data->NotificationSource == plat::kWlanNotificationSourceMsm)
        Debug("WLAN_NOTIFICATION_SOURCE_MSM code: %d\n", code);
    else if (data->NotificationSource == plat::kWlanNotificationSourceAcm)
        Debug("WLAN_NOTIFICATION_SOURCE_ACM code: %d\n", code);
    else
        Debug("notify source: %d, code: %d\n", static_cast<int>(data->NotificationSource), code);
}

bool CRalinkApManager::BindRalink() {
    RaApApi& a = m_raApApi;
    const plat::HMODULE m = a.hModule;
    using plat::GetProcAddressAs;
    a.pInitial = GetProcAddressAs<plat::PFN_RAAP_Initial>(m, "RAAP_Initial");
    a.pDeInitial = GetProcAddressAs<plat::PFN_RAAP_DeInitial>(m, "RAAP_DeInitial");
    a.pFrequencyToChannel =
        GetProcAddressAs<plat::PFN_RAAP_FrequencyToChannel>(m, "RAAP_FrequencyToChannel");
    a.pChannelToFrequency =
        GetProcAddressAs<plat::PFN_RAAP_ChannelToFrequency>(m, "RAAP_ChannelToFrequency");
    a.pGetAvailableAdapters =
        GetProcAddressAs<plat::PFN_RAAP_GetAvailableAdapters>(m, "RAAP_GetAvailableAdapters");
    a.pAdapterSelect = GetProcAddressAs<plat::PFN_RAAP_AdapterSelect>(m, "RAAP_AdapterSelect");
    a.pIsDeviceExist = GetProcAddressAs<plat::PFN_RAAP_IsDeviceExist>(m, "RAAP_IsDeviceExist");
    a.pIs80211ASupport =
        GetProcAddressAs<plat::PFN_RAAP_Is80211ASupport>(m, "RAAP_Is80211ASupport");
    a.pIs80211NSupport =
        GetProcAddressAs<plat::PFN_RAAP_Is80211NSupport>(m, "RAAP_Is80211NSupport");
    a.pQueryOPMode = GetProcAddressAs<plat::PFN_RAAP_QueryOPMode>(m, "RAAP_QueryOPMode");
    a.pSetOPMode = GetProcAddressAs<plat::PFN_RAAP_SetOPMode>(m, "RAAP_SetOPMode");
    a.pIsZeroConfig = GetProcAddressAs<plat::PFN_RAAP_IsZeroConfig>(m, "RAAP_IsZeroConfig");
    a.pStopXpZeroConfig =
        GetProcAddressAs<plat::PFN_RAAP_StopXpZeroConfig>(m, "RAAP_StopXpZeroConfig");
    a.pGetCurrentDeviceModel =
        GetProcAddressAs<plat::PFN_RAAP_GetCurrentDeviceModel>(m, "RAAP_GetCurrentDeviceModel");
    a.pQueryHTStatus = GetProcAddressAs<plat::PFN_RAAP_QueryHTStatus>(m, "RAAP_QueryHTStatus");
    a.pQueryApWLANStatus =
        GetProcAddressAs<plat::PFN_RAAP_QueryApWLANStatus>(m, "RAAP_QueryApWLANStatus");
    a.pQueryMacTableNOT_11N =
        GetProcAddressAs<plat::PFN_RAAP_QueryMacTableNOT_11N>(m, "RAAP_QueryMacTableNOT_11N");
    a.pQueryMacTable = GetProcAddressAs<plat::PFN_RAAP_QueryMacTable>(m, "RAAP_QueryMacTable");
    a.pQueryCountryRegion =
        GetProcAddressAs<plat::PFN_RAAP_QueryCountryRegion>(m, "RAAP_QueryCountryRegion");
    a.pGetCountryChannel =
        GetProcAddressAs<plat::PFN_RAAP_GetCountryChannel>(m, "RAAP_GetCountryChannel");
    a.pReadConfigData = GetProcAddressAs<plat::PFN_RAAP_ReadConfigData>(m, "RAAP_ReadConfigData");
    a.pWriteandSetConfigData =
        GetProcAddressAs<plat::PFN_RAAP_WriteandSetConfigData>(m, "RAAP_WriteandSetConfigData");
    a.pQueryInitialState =
        GetProcAddressAs<plat::PFN_RAAP_QueryInitialState>(m, "RAAP_QueryInitialState");
    a.pSetConfigData = GetProcAddressAs<plat::PFN_RAAP_SetConfigData>(m, "RAAP_SetConfigData");
    a.pQueryEventTable =
        GetProcAddressAs<plat::PFN_RAAP_QueryEventTable>(m, "RAAP_QueryEventTable");
    a.pRestoreStationSetting =
        GetProcAddressAs<plat::PFN_RAAP_RestoreStationSetting>(m, "RAAP_RestoreStationSetting");
    a.pInitAPSettings = GetProcAddressAs<plat::PFN_RAAP_InitAPSettings>(m, "RAAP_InitAPSettings");
    a.pWlanDeleteAllRalinkWindowsProfiles =
        GetProcAddressAs<plat::PFN_RAAP_WlanDeleteAllRalinkWindowsProfiles>(
            m, "RAAP_WlanDeleteAllRalinkWindowsProfiles");
    a.pSetVistaWindowsProfile =
        GetProcAddressAs<plat::PFN_RAAP_SetVistaWindowsProfile>(m, "RAAP_SetVistaWindowsProfile");
    a.pDeleteVistaWindowsProfile = GetProcAddressAs<plat::PFN_RAAP_DeleteVistaWindowsProfile>(
        m, "RAAP_DeleteVistaWindowsProfile");

    // The entry points the manager calls; a library without one of them would
    // crash the program at the first call, so it is not used at all.
    const std::pair<const char*, const void*> needed[] = {
        {"RAAP_Initial", reinterpret_cast<const void*>(a.pInitial)},
        {"RAAP_DeInitial", reinterpret_cast<const void*>(a.pDeInitial)},
        {"RAAP_ChannelToFrequency", reinterpret_cast<const void*>(a.pChannelToFrequency)},
        {"RAAP_GetAvailableAdapters", reinterpret_cast<const void*>(a.pGetAvailableAdapters)},
        {"RAAP_AdapterSelect", reinterpret_cast<const void*>(a.pAdapterSelect)},
        {"RAAP_IsDeviceExist", reinterpret_cast<const void*>(a.pIsDeviceExist)},
        {"RAAP_Is80211NSupport", reinterpret_cast<const void*>(a.pIs80211NSupport)},
        {"RAAP_QueryOPMode", reinterpret_cast<const void*>(a.pQueryOPMode)},
        {"RAAP_SetOPMode", reinterpret_cast<const void*>(a.pSetOPMode)},
        {"RAAP_IsZeroConfig", reinterpret_cast<const void*>(a.pIsZeroConfig)},
        {"RAAP_StopXpZeroConfig", reinterpret_cast<const void*>(a.pStopXpZeroConfig)},
        {"RAAP_GetCurrentDeviceModel", reinterpret_cast<const void*>(a.pGetCurrentDeviceModel)},
        {"RAAP_QueryMacTableNOT_11N", reinterpret_cast<const void*>(a.pQueryMacTableNOT_11N)},
        {"RAAP_QueryMacTable", reinterpret_cast<const void*>(a.pQueryMacTable)},
        {"RAAP_GetCountryChannel", reinterpret_cast<const void*>(a.pGetCountryChannel)},
        {"RAAP_ReadConfigData", reinterpret_cast<const void*>(a.pReadConfigData)},
        {"RAAP_WriteandSetConfigData", reinterpret_cast<const void*>(a.pWriteandSetConfigData)},
        {"RAAP_InitAPSettings", reinterpret_cast<const void*>(a.pInitAPSettings)},
        {"RAAP_SetVistaWindowsProfile", reinterpret_cast<const void*>(a.pSetVistaWindowsProfile)},
        {"RAAP_DeleteVistaWindowsProfile",
         reinterpret_cast<const void*>(a.pDeleteVistaWindowsProfile)},
    };
    bool complete = true;
    for (const auto& [name, fn] : needed) {
        if (fn == nullptr) {
            LOG(ERROR) << "RAAPAPI.dll has no " << name;
            complete = false;
        }
    }
    return complete;
}

bool CRalinkApManager::InitRalink() {
    m_wlanApi.Load();
    m_wlanApi.OpenHandle();
    const plat::DWORD reg =
        m_wlanApi.RegisterNotification(&OnWlanNotification, this, plat::kWlanNotificationSourceAll);
    if (reg != 0)
        LOG(ERROR) << "reg notify failed " << reg;

    m_raApApi.hModule = plat::LoadLibraryW(L"RAAPAPI.dll");
    if (m_raApApi.hModule == nullptr || !BindRalink()) {
        LOG(ERROR) << "Load RAAPAPI.dll failed";
        return false;
    }
    const int result = m_raApApi.pInitial("Ralink", 0);
    if (result != plat::kRaapOk && result != plat::kRaapAlreadyInitialized) {
        LOG(ERROR) << "Init RAAPAPI failed" << result;
        return false;
    }
    return true;
}

plat::RAAP_ADAPTER* CRalinkApManager::AdapterAt(std::size_t index) {
    return reinterpret_cast<plat::RAAP_ADAPTER*>(
        m_adapterBuffer.data() + plat::kRaapAdapterListHeader + index * sizeof(plat::RAAP_ADAPTER));
}

int CRalinkApManager::Init() {
    if (!m_bApiReady)
        return static_cast<int>(plat::kErrorNotSupported);
    if (m_pSelectedAdapter != nullptr && m_raApApi.pIsDeviceExist(m_pSelectedAdapter) != 0)
        return kWiFiOk;

    m_pSelectedAdapter = nullptr;
    if (m_adapterBuffer.empty()) {
        m_nAdapterCapacity = 1;
        m_adapterBuffer.resize(plat::kRaapAdapterListHeader + sizeof(plat::RAAP_ADAPTER));
    }
    std::fill(m_adapterBuffer.begin(), m_adapterBuffer.end(), 0);
    auto count = [this] {
        plat::ULONG n = 0;
        std::memcpy(&n, m_adapterBuffer.data(), sizeof n);
        return static_cast<std::size_t>(n);
    };
    if (m_raApApi.pGetAvailableAdapters(m_adapterBuffer.data(), 1) == plat::kRaapBufferTooSmall) {
        const std::size_t needed = std::min(count(), kMaxAdapters);
        if (m_nAdapterCapacity < needed) {
            m_adapterBuffer.assign(
                plat::kRaapAdapterListHeader + needed * sizeof(plat::RAAP_ADAPTER), 0);
            m_nAdapterCapacity = needed;
        }
        m_raApApi.pGetAvailableAdapters(m_adapterBuffer.data(), static_cast<int>(needed));
    }
    // Never read past the entries the buffer holds, whatever count the library wrote.
    const std::size_t found = std::min(count(), m_nAdapterCapacity);
    for (std::size_t i = 0; i < found; ++i) {
        if (m_raApApi.pIsDeviceExist(AdapterAt(i)) == 1) {
            m_pSelectedAdapter = AdapterAt(i);
            break;
        }
    }
    if (m_pSelectedAdapter == nullptr) {
        LOG(ERROR) << "Find no Ralink usb nic.";
        m_bInitialized = false;
        return kWiFiNoInterface;
    }
    m_bInitialized = true;
    return kWiFiOk;
}

int CRalinkApManager::QueryOpMode() {
    if (Init() != kWiFiOk)
        return -1;
    return m_raApApi.pQueryOPMode();
}

void CRalinkApManager::SetOptions(std::map<std::wstring, std::wstring>& options) {
    if (options[L"5GH"] == L"yes")
        m_bUse5G = true;
    if (options[L"802.11n"] == L"yes")
        m_bUse11n = true;
    if (options[L"hideSSID"] == L"yes")
        m_bHideSsid = true;
}

bool CRalinkApManager::MakeSsidAndKey(std::string* ssid, std::string* key, int* code) {
    bool converted = false;
    if (m_nSsidEncoding == kSsidEncodingUtf8) {
        // The converted name, terminator included, must fit 33 bytes: a longer
        // one fails the conversion as a too-small buffer does.
        plat::DWORD error = 0;
        if (!plat::TextCodec::WideToUtf8(m_strSsid, ssid))
            error = kErrorNoUnicodeTranslation;
        else if (ssid->size() > kSsidField)
            error = plat::kErrorInsufficientBuffer;
        converted = error == 0;
        if (!converted) {
            plat::SetLastError(error);
            LOG(ERROR) << "convert ssid to utf-8 error:" << plat::TextCodec::WideToUtf8(m_strSsid)
                       << " error:" << plat::GetLastError();
        }
    } else if (m_nSsidEncoding == kSsidEncodingAnsi) {
        converted = WideToAnsi(m_strSsid, ssid);
        if (!converted)
            LOG(ERROR) << "ssid does not fit the ANSI code page: "
                       << plat::TextCodec::WideToUtf8(m_strSsid);
    } else {
        LOG(ERROR) << "wrong ssid encoding:" << m_nSsidEncoding;
    }
    // A name that cannot be made, or that does not fit the 32-byte field, is
    // refused rather than put on the air empty or cut short.
    if (!converted || ssid->size() > kSsidField) {
        if (converted)
            LOG(ERROR) << "ssid is longer than 32 bytes: " << *ssid;
        *code = kWiFiSetSsidFailed;
        return false;
    }
    // A key that cannot be represented or does not fit would otherwise leave
    // the network open or with a different key than the user chose.
    if (!WideToAnsi(m_strKey, key) || key->size() > kKeyField) {
        LOG(ERROR) << "key cannot be used: " << key->size() << " bytes";
        *code = kWiFiSetKeyFailed;
        return false;
    }
    return true;
}

void CRalinkApManager::FillConfig(plat::RAAP_AP_CONFIG* config, const std::string& ssid,
                                  const std::string& key) {
    std::memset(config->Ssid, 0, sizeof config->Ssid);
    std::memcpy(config->Ssid, ssid.data(), ssid.size());
    config->SsidLength = static_cast<plat::ULONG>(ssid.size());

    std::memset(config->Key, 0, sizeof config->Key);
    if (!key.empty()) {
        config->AuthMode = plat::kRaapAuthWpa2Psk;
        config->EncrypType = plat::kRaapEncryptAes;
        std::memcpy(config->Key, key.data(), key.size());
        config->KeyLength = static_cast<plat::ULONG>(key.size());
    } else {
        config->AuthMode = plat::kRaapAuthOpen;
        config->EncrypType = plat::kRaapEncryptNone;
        config->KeyLength = 0;
    }

    plat::ULONG mode;
    if (m_bUse11n && m_raApApi.pIs80211NSupport() != 0)
        mode = m_bUse5G ? plat::kRaapModeAn : plat::kRaapModeBgn;
    else
        mode = m_bUse5G ? plat::kRaapModeA : plat::kRaapModeBg;
    config->PhyFlags = (config->PhyFlags & ~plat::kRaapWirelessModeMask) | mode;
    config->BeaconPeriod = 100;
    config->StationIdleTime = 60;
    config->HideSsid = m_bHideSsid ? 1 : 0;

    plat::RAAP_CHANNEL_LIST bg{};
    plat::RAAP_CHANNEL_LIST a{};
    plat::ULONG regionBg = 0;
    plat::ULONG regionA = 0;
    m_raApApi.pGetCountryChannel(&bg, &a, &regionBg, &regionA);
    const plat::RAAP_CHANNEL_LIST& band = m_bUse5G ? a : bg;
    // A band without channels keeps the frequency the adapter had.
    if (band.Count > 0)
        config->Frequency = m_raApApi.pChannelToFrequency(band.Channels[0]);
    LOG(INFO) << "AP wireless mode is " << mode;
}

int CRalinkApManager::StartAp() {
    if (!m_bApiReady || Init() != kWiFiOk)
        return static_cast<int>(plat::kErrorNotSupported);

    std::string ssid;
    std::string key;
    int code = kWiFiOk;
    if (!MakeSsidAndKey(&ssid, &key, &code))
        return code;

    m_raApApi.pAdapterSelect(m_pSelectedAdapter);
    const std::wstring guidText = plat::TextCodec::FromWchars(
        m_pSelectedAdapter->InterfaceGuid, std::size(m_pSelectedAdapter->InterfaceGuid));
    plat::GUID guid{};
    if (plat::GuidText::Parse(WideToAnsi(guidText), &guid))
        m_guidAdapter = guid;

    m_raApApi.pQueryOPMode();
    const int opMode = m_raApApi.pSetOPMode(plat::kRaapOpModeAp);
    if (opMode != plat::kRaapOk)
        LOG(ERROR) << "m_raApApi.pSetOPMode failed return " << opMode;
    m_raApApi.pInitAPSettings();

    plat::RAAP_AP_CONFIG config{};
    m_raApApi.pReadConfigData(&config);
    FillConfig(&config, ssid, key);
    const int result = m_raApApi.pWriteandSetConfigData(&config);

    if (!IsWindowsVersionOrGreater(6, 0, 0)) {
        if (m_raApApi.pIsZeroConfig() == 0) {
            LOG(WARNING) << "m_raApApi.pIsZeroConfig return false";
        } else {
            m_raApApi.pStopXpZeroConfig();
            LOG(INFO) << "m_raApApi.pStopXpZeroConfig";
        }
    } else {
        m_raApApi.pSetVistaWindowsProfile(reinterpret_cast<const plat::UCHAR*>(ssid.data()),
                                          static_cast<plat::ULONG>(ssid.size()));
    }

    if (result != plat::kRaapOk) {
        LOG(ERROR) << "StartAp failed " << result;
        return kWiFiRalinkStartFailed;
    }
    m_bStarted = true;
    // A second start replaces the poll thread of the first.
    StopPolling();
    m_pollThread = std::jthread([this, adapter = *m_pSelectedAdapter](std::stop_token token) {
        _EventProc(std::move(token), adapter);
    });
    LOG(INFO) << "StartAp End";
    return kWiFiOk;
}

void CRalinkApManager::StopPolling() {
    m_pollThread.request_stop();
    if (m_pollThread.joinable())
        m_pollThread.join();
}

int CRalinkApManager::StopAp() {
    m_bStarted = false;
    m_pSelectedAdapter = nullptr;
    m_pollThread.request_stop();
    if (!m_bApiReady) {
        StopPolling();
        return static_cast<int>(plat::kErrorNotSupported);
    }

    const int opMode = m_raApApi.pSetOPMode(plat::kRaapOpModeStation);
    if (opMode != plat::kRaapOk)
        LOG(ERROR) << "m_raApApi.pSetOPMode failed return " << opMode;
    if (!IsWindowsVersionOrGreater(6, 0, 0)) {
        LOG(INFO) << "Start wzc service";
        plat::calvory::StartServiceByName("WzcSvc");
    } else {
        m_raApApi.pDeleteVistaWindowsProfile();
    }

    LOG(INFO) << "wait for Querymactable thread";
    if (m_pollThread.joinable())
        m_pollThread.join();
    LOG(INFO) << "StopAp End";
    return kWiFiOk;
}

bool CRalinkApManager::ReadStations(std::vector<plat::RAAP_MAC_ENTRY>* out, bool* is11n) {
    plat::ULONG model = 0;
    if (m_raApApi.pGetCurrentDeviceModel(&model) == 0)
        return false;
    *is11n = model != plat::kRaapModelRt2500Usb && model != plat::kRaapModelRt2570Usb;
    if (!*is11n) {
        plat::RAAP_MAC_TABLE_NOT_11N table{};
        if (m_raApApi.pQueryMacTableNOT_11N(&table) != plat::kRaapOk)
            return false;
        const std::size_t n = std::min<std::size_t>(table.Num, plat::kRaapMaxStations);
        for (std::size_t i = 0; i < n; ++i) {
            plat::RAAP_MAC_ENTRY e{};
            std::memcpy(e.Addr, table.Entry[i].Addr, sizeof e.Addr);
            e.Aid = table.Entry[i].Aid;
            e.Associated = table.Entry[i].Associated;
            out->push_back(e);
        }
    } else {
        plat::RAAP_MAC_TABLE table{};
        if (m_raApApi.pQueryMacTable(&table) != plat::kRaapOk)
            return false;
        const std::size_t n = std::min<std::size_t>(table.Num, plat::kRaapMaxStations);
        out->assign(table.Entry, table.Entry + n);
    }
    return true;
}

void CRalinkApManager::_EventProc(std::stop_token token, plat::RAAP_ADAPTER adapter) {
    CInterruption::Scope scope(token);
    LOG(INFO) << "CRalinkApManager::_EventProc"
              << " Enter";
    std::set<std::wstring> known;
    std::set<std::wstring> seen;
    while (!token.stop_requested()) {
        if (m_raApApi.pIsDeviceExist(&adapter) == 0)
            plat::OutputDebugStringA("Device is not Exist.");

        std::vector<plat::RAAP_MAC_ENTRY> stations;
        bool is11n = true;
        // A table that cannot be read this cycle says nothing about who left.
        if (ReadStations(&stations, &is11n)) {
            if (!stations.empty())
                Debug("client %d\n", static_cast<int>(stations.size()));
            for (const auto& e : stations) {
                const std::wstring mac = plat::MacText::FormatWide(e.Addr);
                if (known.erase(mac) != 0) {
                    seen.insert(mac);
                } else if (e.Associated == 1 && seen.insert(mac).second) {
                    // A MAC listed twice in one table joins once.
                    if (m_pCallback != nullptr)
                        m_pCallback->OnStationJoin(mac);
                }
                Debug(is11n ? "client11n %s %d %d\n" : "clientnot11n %s %d %d\n",
                      WideToAnsi(mac).c_str(), e.Aid, e.Associated);
            }
            for (const auto& mac : known)
                if (m_pCallback != nullptr)
                    m_pCallback->OnStationLeave(mac);
            known = std::move(seen);
            seen.clear();
        }
        if (!CInterruption::Sleep(std::chrono::seconds(1)))
            break;
    }
    LOG(INFO) << "CRalinkApManager::_EventProc"
              << " Leave";
}
