// The simulated PC's Ralink USB adapters and their soft-AP library
// RAAPAPI.dll. `InstallLibrary()` registers the library's 30 entry points in
// the module table (a PC without the Ralink driver has no such library).
// Tests script the adapters, the device model, the channels and the stations
// that associate; every entry point also answers faults injected by its name
// ("RAAP_GetAvailableAdapters", ...).
#pragma once

#include <array>
#include <mutex>
#include <string>
#include <vector>

#include "platform/records/RalinkTypes.h"

namespace plat {

class SimFaults;
class ModuleRegistry;

struct SimRalinkAdapter {
    GUID guid{};
    std::wstring description = L"802.11n USB Wireless LAN Card";
    bool present = true;  // what RAAP_IsDeviceExist answers
};

struct SimRalinkStation {
    std::array<UCHAR, 6> mac{};
    UCHAR aid = 1;
    UCHAR associated = 1;  // byte 7 of the table entry
};

class SimRalink {
public:
    SimRalink(SimFaults& faults, ModuleRegistry& modules);

    // Registers (or removes) RAAPAPI.dll in the module table.
    void InstallLibrary();
    void RemoveLibrary();

    // What RAAP_Initial answers (1 ready, -107 already initialised, other failure).
    void SetInitialResult(int result);
    void AddAdapter(const SimRalinkAdapter& adapter);
    void SetAdapterPresent(const GUID& guid, bool present);
    void SetDeviceModel(ULONG model);
    void SetSupports11n(bool supported);
    void SetSupports11a(bool supported);
    void SetChannels(const std::vector<UCHAR>& bg, const std::vector<UCHAR>& a);
    // Whether WZC controls the adapter (XP).
    void SetZeroConfig(bool controlled);
    // What RAAP_WriteandSetConfigData answers (1 = access point running).
    void SetWriteResult(int result);
    // The configuration RAAP_ReadConfigData hands out.
    void SetStoredConfig(const RAAP_AP_CONFIG& config);

    // Stations in the adapter's table; safe to call while the manager polls.
    void AddStation(const SimRalinkStation& station);
    void SetStationAssociated(const std::array<UCHAR, 6>& mac, UCHAR associated);
    void RemoveStation(const std::array<UCHAR, 6>& mac);

    // Inspection.
    int OpMode() const;
    GUID SelectedAdapter() const;
    bool ApRunning() const;
    RAAP_AP_CONFIG WrittenConfig() const;  // the last record written
    int ConfigWrites() const;
    std::vector<int> AdapterQueryCapacities() const;  // capacity of each RAAP_GetAvailableAdapters
    std::string VistaProfile() const;  // SSID of the profile set, empty when none or deleted
    int ZeroConfigStops() const;
    bool Initialized() const;

    // The library's entry points, called through the free functions of SimRalink.cpp.
    int Initial(const char* application, int reserved);
    void DeInitial();
    int GetAvailableAdapters(void* list, int capacity);
    int AdapterSelect(const RAAP_ADAPTER* adapter);
    int IsDeviceExist(const RAAP_ADAPTER* adapter);
    int Is80211ASupport();
    int Is80211NSupport();
    int QueryOPMode();
    int SetOPMode(int mode);
    int IsZeroConfig();
    int StopXpZeroConfig();
    int GetCurrentDeviceModel(ULONG* model);
    int QueryHTStatus(ULONG* bandwidth, ULONG* mcs);
    int QueryApWLANStatus(ULONG* running);
    int QueryMacTableNot11n(RAAP_MAC_TABLE_NOT_11N* table);
    int QueryMacTable(RAAP_MAC_TABLE* table);
    int QueryCountryRegion(ULONG* regionBg, ULONG* regionA);
    int GetCountryChannel(RAAP_CHANNEL_LIST* bg, RAAP_CHANNEL_LIST* a, ULONG* regionBg,
                          ULONG* regionA);
    int ReadConfigData(RAAP_AP_CONFIG* config);
    int WriteandSetConfigData(RAAP_AP_CONFIG* config);
    int QueryInitialState();
    int SetConfigData(RAAP_AP_CONFIG* config);
    int QueryEventTable(void* table, ULONG* size);
    int RestoreStationSetting();
    int InitAPSettings();
    int WlanDeleteAllRalinkWindowsProfiles();
    int SetVistaWindowsProfile(const UCHAR* ssid, ULONG length);
    int DeleteVistaWindowsProfile();

    static ULONG ChannelToFrequency(ULONG channel);
    static ULONG FrequencyToChannel(ULONG frequencyKHz);

private:
    // The adapter an entry names, by the GUID text at byte 456; null when unknown.
    const SimRalinkAdapter* Find(const RAAP_ADAPTER* adapter) const;
    bool SelectedPresent() const;

    SimFaults& m_faults;
    ModuleRegistry& m_modules;
    mutable std::mutex m_lock;
    int m_initialResult = kRaapOk;
    bool m_initialized = false;
    std::vector<SimRalinkAdapter> m_adapters;
    GUID m_selected{};
    bool m_hasSelection = false;
    int m_opMode = kRaapOpModeStation;
    ULONG m_model = kRaapModelRt3070Usb;
    bool m_supports11n = true;
    bool m_supports11a = false;
    std::vector<UCHAR> m_channelsBg{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    std::vector<UCHAR> m_channelsA{};
    bool m_zeroConfig = true;
    int m_zeroConfigStops = 0;
    int m_writeResult = kRaapOk;
    bool m_apRunning = false;
    RAAP_AP_CONFIG m_stored{};
    RAAP_AP_CONFIG m_written{};
    int m_writes = 0;
    std::vector<int> m_capacities;
    std::string m_profile;
    std::vector<SimRalinkStation> m_stations;
};

}  // namespace plat
