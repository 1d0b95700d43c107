// The access point on a Ralink USB adapter: its driver runs the adapter as a
// real access point, driven through the vendor's soft-AP library RAAPAPI.dll.
// A thread of the manager polls the adapter's station table once a second and
// reports stations joining and leaving.
#pragma once

#include <map>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "WiFiManager.h"
#include "WlanApi.h"
#include "platform/records/RalinkTypes.h"

class CRalinkApManager : public CWiFiManager {
public:
    explicit CRalinkApManager(CWiFiEventCallback* callback);
    ~CRalinkApManager() override;

    int Init() override;
    int StartAp() override;
    int StopAp() override;

    // The adapter's operation mode (0 station, 1 access point); -1 when no
    // adapter could be initialised.
    virtual int QueryOpMode();
    // Keys "5GH", "802.11n" and "hideSSID" with the value "yes" switch the
    // option on; options are never switched off here.
    virtual void SetOptions(std::map<std::wstring, std::wstring>& options);

private:
    // The bound entry points of RAAPAPI.dll; owns the module.
    struct RaApApi {
        RaApApi() = default;
        ~RaApApi();
        RaApApi(const RaApApi&) = delete;
        RaApApi& operator=(const RaApApi&) = delete;

        plat::HMODULE hModule = nullptr;
        plat::PFN_RAAP_Initial pInitial = nullptr;
        plat::PFN_RAAP_DeInitial pDeInitial = nullptr;
        plat::PFN_RAAP_FrequencyToChannel pFrequencyToChannel = nullptr;
        plat::PFN_RAAP_ChannelToFrequency pChannelToFrequency = nullptr;
        plat::PFN_RAAP_GetAvailableAdapters pGetAvailableAdapters = nullptr;
        plat::PFN_RAAP_AdapterSelect pAdapterSelect = nullptr;
        plat::PFN_RAAP_IsDeviceExist pIsDeviceExist = nullptr;
        plat::PFN_RAAP_Is80211ASupport pIs80211ASupport = nullptr;
        plat::PFN_RAAP_Is80211NSupport pIs80211NSupport = nullptr;
        plat::PFN_RAAP_QueryOPMode pQueryOPMode = nullptr;
        plat::PFN_RAAP_SetOPMode pSetOPMode = nullptr;
        plat::PFN_RAAP_IsZeroConfig pIsZeroConfig = nullptr;
        plat::PFN_RAAP_StopXpZeroConfig pStopXpZeroConfig = nullptr;
        plat::PFN_RAAP_GetCurrentDeviceModel pGetCurrentDeviceModel = nullptr;
        plat::PFN_RAAP_QueryHTStatus pQueryHTStatus = nullptr;
        plat::PFN_RAAP_QueryApWLANStatus pQueryApWLANStatus = nullptr;
        plat::PFN_RAAP_QueryMacTableNOT_11N pQueryMacTableNOT_11N = nullptr;
        plat::PFN_RAAP_QueryMacTable pQueryMacTable = nullptr;
        plat::PFN_RAAP_QueryCountryRegion pQueryCountryRegion = nullptr;
        plat::PFN_RAAP_GetCountryChannel pGetCountryChannel = nullptr;
        plat::PFN_RAAP_ReadConfigData pReadConfigData = nullptr;
        plat::PFN_RAAP_WriteandSetConfigData pWriteandSetConfigData = nullptr;
        plat::PFN_RAAP_QueryInitialState pQueryInitialState = nullptr;
        plat::PFN_RAAP_SetConfigData pSetConfigData = nullptr;
        plat::PFN_RAAP_QueryEventTable pQueryEventTable = nullptr;
        plat::PFN_RAAP_RestoreStationSetting pRestoreStationSetting = nullptr;
        plat::PFN_RAAP_InitAPSettings pInitAPSettings = nullptr;
        plat::PFN_RAAP_WlanDeleteAllRalinkWindowsProfiles pWlanDeleteAllRalinkWindowsProfiles =
            nullptr;
        plat::PFN_RAAP_SetVistaWindowsProfile pSetVistaWindowsProfile = nullptr;
        plat::PFN_RAAP_DeleteVistaWindowsProfile pDeleteVistaWindowsProfile = nullptr;
    };

    // Loads and initialises the library; false when it is missing, lacks an
    // entry point the manager calls, or does not initialise.
    bool InitRalink();
    bool BindRalink();
    plat::RAAP_ADAPTER* AdapterAt(std::size_t index);
    // The SSID and key bytes for the configuration record; false (with the
    // start's result in `code`) when they cannot be made or do not fit.
    bool MakeSsidAndKey(std::string* ssid, std::string* key, int* code);
    void FillConfig(plat::RAAP_AP_CONFIG* config, const std::string& ssid, const std::string& key);
    void StopPolling();
    void _EventProc(std::stop_token token, plat::RAAP_ADAPTER adapter);
    // WLAN notifications are only traced to the debugger output.
    static void LUMARI_WINAPI OnWlanNotification(plat::WLAN_NOTIFICATION_DATA* data,
                                                 plat::PVOID context);
    // One poll of the station table; false when the table could not be read.
    // `is11n` tells which of the two table layouts the device model has.
    bool ReadStations(std::vector<plat::RAAP_MAC_ENTRY>* out, bool* is11n);

    RaApApi m_raApApi;
    bool m_bUse11n = false;
    bool m_bUse5G = false;
    bool m_bHideSsid = false;
    // Adapter list: a 32-bit count, then room for m_nAdapterCapacity entries.
    std::vector<unsigned char> m_adapterBuffer;
    std::size_t m_nAdapterCapacity = 0;
    plat::RAAP_ADAPTER* m_pSelectedAdapter = nullptr;
    WlanApi m_wlanApi;
    std::jthread m_pollThread;
};
