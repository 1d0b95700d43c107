#include "SimRalink.h"

#include <algorithm>
#include <cstring>

#include "SimFaults.h"
#include "SimPc.h"
#include "platform/facility/ModuleRegistry.h"
#include "platform/text/GuidText.h"
#include "platform/text/TextCodec.h"

namespace plat {

namespace {

SimRalink* Lib() {
    SimPc* pc = SimPc::Current();
    return pc != nullptr ? &pc->ralink : nullptr;
}

// The exported functions of the simulated RAAPAPI.dll.
int LUMARI_WINAPI SimRaapInitial(const char* application, int reserved) {
    return Lib() ? Lib()->Initial(application, reserved) : kRaapFailed;
}
void LUMARI_WINAPI SimRaapDeInitial() {
    if (Lib())
        Lib()->DeInitial();
}
ULONG LUMARI_WINAPI SimRaapFrequencyToChannel(ULONG frequency) {
    return SimRalink::FrequencyToChannel(frequency);
}
ULONG LUMARI_WINAPI SimRaapChannelToFrequency(ULONG channel) {
    return SimRalink::ChannelToFrequency(channel);
}
int LUMARI_WINAPI SimRaapGetAvailableAdapters(void* list, int capacity) {
    return Lib() ? Lib()->GetAvailableAdapters(list, capacity) : kRaapFailed;
}
int LUMARI_WINAPI SimRaapAdapterSelect(const RAAP_ADAPTER* adapter) {
    return Lib() ? Lib()->AdapterSelect(adapter) : kRaapFailed;
}
int LUMARI_WINAPI SimRaapIsDeviceExist(const RAAP_ADAPTER* adapter) {
    return Lib() ? Lib()->IsDeviceExist(adapter) : 0;
}
int LUMARI_WINAPI SimRaapIs80211ASupport() {
    return Lib() ? Lib()->Is80211ASupport() : 0;
}
int LUMARI_WINAPI SimRaapIs80211NSupport() {
    return Lib() ? Lib()->Is80211NSupport() : 0;
}
int LUMARI_WINAPI SimRaapQueryOPMode() {
    return Lib() ? Lib()->QueryOPMode() : kRaapFailed;
}
int LUMARI_WINAPI SimRaapSetOPMode(int mode) {
    return Lib() ? Lib()->SetOPMode(mode) : kRaapFailed;
}
int LUMARI_WINAPI SimRaapIsZeroConfig() {
    return Lib() ? Lib()->IsZeroConfig() : 0;
}
int LUMARI_WINAPI SimRaapStopXpZeroConfig() {
    return Lib() ? Lib()->StopXpZeroConfig() : kRaapFailed;
}
int LUMARI_WINAPI SimRaapGetCurrentDeviceModel(ULONG* model) {
    return Lib() ? Lib()->GetCurrentDeviceModel(model) : 0;
}
int LUMARI_WINAPI SimRaapQueryHTStatus(ULONG* bandwidth, ULONG* mcs) {
    return Lib() ? Lib()->QueryHTStatus(bandwidth, mcs) : kRaapFailed;
}
int LUMARI_WINAPI SimRaapQueryApWLANStatus(ULONG* running) {
    return Lib() ? Lib()->QueryApWLANStatus(running) : kRaapFailed;
}
int LUMARI_WINAPI SimRaapQueryMacTableNot11n(RAAP_MAC_TABLE_NOT_11N* table) {
    return Lib() ? Lib()->QueryMacTableNot11n(table) : kRaapFailed;
}
int LUMARI_WINAPI SimRaapQueryMacTable(RAAP_MAC_TABLE* table) {
    return Lib() ? Lib()->QueryMacTable(table) : kRaapFailed;
}
int LUMARI_WINAPI SimRaapQueryCountryRegion(ULONG* regionBg, ULONG* regionA) {
    return Lib() ? Lib()->QueryCountryRegion(regionBg, regionA) : kRaapFailed;
}
int LUMARI_WINAPI SimRaapGetCountryChannel(RAAP_CHANNEL_LIST* bg, RAAP_CHANNEL_LIST* a,
                                           ULONG* regionBg, ULONG* regionA) {
    return Lib() ? Lib()->GetCountryChannel(bg, a, regionBg, regionA) : kRaapFailed;
}
int LUMARI_WINAPI SimRaapReadConfigData(RAAP_AP_CONFIG* config) {
    return Lib() ? Lib()->ReadConfigData(config) : kRaapFailed;
}
int LUMARI_WINAPI SimRaapWriteandSetConfigData(RAAP_AP_CONFIG* config) {
    return Lib() ? Lib()->WriteandSetConfigData(config) : kRaapFailed;
}
int LUMARI_WINAPI SimRaapQueryInitialState() {
    return Lib() ? Lib()->QueryInitialState() : kRaapFailed;
}
int LUMARI_WINAPI SimRaapSetConfigData(RAAP_AP_CONFIG* config) {
    return Lib() ? Lib()->SetConfigData(config) : kRaapFailed;
}
int LUMARI_WINAPI SimRaapQueryEventTable(void* table, ULONG* size) {
    return Lib() ? Lib()->QueryEventTable(table, size) : kRaapFailed;
}
int LUMARI_WINAPI SimRaapRestoreStationSetting() {
    return Lib() ? Lib()->RestoreStationSetting() : kRaapFailed;
}
int LUMARI_WINAPI SimRaapInitAPSettings() {
    return Lib() ? Lib()->InitAPSettings() : kRaapFailed;
}
int LUMARI_WINAPI SimRaapWlanDeleteAllRalinkWindowsProfiles() {
    return Lib() ? Lib()->WlanDeleteAllRalinkWindowsProfiles() : kRaapFailed;
}
int LUMARI_WINAPI SimRaapSetVistaWindowsProfile(const UCHAR* ssid, ULONG length) {
    return Lib() ? Lib()->SetVistaWindowsProfile(ssid, length) : kRaapFailed;
}
int LUMARI_WINAPI SimRaapDeleteVistaWindowsProfile() {
    return Lib() ? Lib()->DeleteVistaWindowsProfile() : kRaapFailed;
}

RAAP_AP_CONFIG FactoryConfig() {
    RAAP_AP_CONFIG c{};
    const char ssid[] = "RalinkAP";
    std::memcpy(c.Ssid, ssid, sizeof ssid - 1);
    c.SsidLength = sizeof ssid - 1;
    c.AuthMode = kRaapAuthOpen;
    c.EncrypType = kRaapEncryptNone;
    c.PhyFlags = 0x30 | kRaapModeBgn;  // vendor flags above the wireless mode
    c.BeaconPeriod = 100;
    c.StationIdleTime = 300;
    c.Frequency = 2437000;
    c.Channel = 6;
    c.CountryRegion = 1;
    c.MaxStations = 32;
    std::memset(c.VendorData, 0x5A, sizeof c.VendorData);
    return c;
}

}  // namespace

SimRalink::SimRalink(SimFaults& faults, ModuleRegistry& modules)
    : m_faults(faults), m_modules(modules), m_stored(FactoryConfig()) {}

void SimRalink::InstallLibrary() {
    m_modules.Add(
        L"RAAPAPI.dll",
        {{"RAAP_Initial", ModuleRegistry::Fn(&SimRaapInitial)},
         {"RAAP_DeInitial", ModuleRegistry::Fn(&SimRaapDeInitial)},
         {"RAAP_FrequencyToChannel", ModuleRegistry::Fn(&SimRaapFrequencyToChannel)},
         {"RAAP_ChannelToFrequency", ModuleRegistry::Fn(&SimRaapChannelToFrequency)},
         {"RAAP_GetAvailableAdapters", ModuleRegistry::Fn(&SimRaapGetAvailableAdapters)},
         {"RAAP_AdapterSelect", ModuleRegistry::Fn(&SimRaapAdapterSelect)},
         {"RAAP_IsDeviceExist", ModuleRegistry::Fn(&SimRaapIsDeviceExist)},
         {"RAAP_Is80211ASupport", ModuleRegistry::Fn(&SimRaapIs80211ASupport)},
         {"RAAP_Is80211NSupport", ModuleRegistry::Fn(&SimRaapIs80211NSupport)},
         {"RAAP_QueryOPMode", ModuleRegistry::Fn(&SimRaapQueryOPMode)},
         {"RAAP_SetOPMode", ModuleRegistry::Fn(&SimRaapSetOPMode)},
         {"RAAP_IsZeroConfig", ModuleRegistry::Fn(&SimRaapIsZeroConfig)},
         {"RAAP_StopXpZeroConfig", ModuleRegistry::Fn(&SimRaapStopXpZeroConfig)},
         {"RAAP_GetCurrentDeviceModel", ModuleRegistry::Fn(&SimRaapGetCurrentDeviceModel)},
         {"RAAP_QueryHTStatus", ModuleRegistry::Fn(&SimRaapQueryHTStatus)},
         {"RAAP_QueryApWLANStatus", ModuleRegistry::Fn(&SimRaapQueryApWLANStatus)},
         {"RAAP_QueryMacTableNOT_11N", ModuleRegistry::Fn(&SimRaapQueryMacTableNot11n)},
         {"RAAP_QueryMacTable", ModuleRegistry::Fn(&SimRaapQueryMacTable)},
         {"RAAP_QueryCountryRegion", ModuleRegistry::Fn(&SimRaapQueryCountryRegion)},
         {"RAAP_GetCountryChannel", ModuleRegistry::Fn(&SimRaapGetCountryChannel)},
         {"RAAP_ReadConfigData", ModuleRegistry::Fn(&SimRaapReadConfigData)},
         {"RAAP_WriteandSetConfigData", ModuleRegistry::Fn(&SimRaapWriteandSetConfigData)},
         {"RAAP_QueryInitialState", ModuleRegistry::Fn(&SimRaapQueryInitialState)},
         {"RAAP_SetConfigData", ModuleRegistry::Fn(&SimRaapSetConfigData)},
         {"RAAP_QueryEventTable", ModuleRegistry::Fn(&SimRaapQueryEventTable)},
         {"RAAP_RestoreStationSetting", ModuleRegistry::Fn(&SimRaapRestoreStationSetting)},
         {"RAAP_InitAPSettings", ModuleRegistry::Fn(&SimRaapInitAPSettings)},
         {"RAAP_WlanDeleteAllRalinkWindowsProfiles",
          ModuleRegistry::Fn(&SimRaapWlanDeleteAllRalinkWindowsProfiles)},
         {"RAAP_SetVistaWindowsProfile", ModuleRegistry::Fn(&SimRaapSetVistaWindowsProfile)},
         {"RAAP_DeleteVistaWindowsProfile",
          ModuleRegistry::Fn(&SimRaapDeleteVistaWindowsProfile)}});
}

void SimRalink::RemoveLibrary() {
    m_modules.Remove(L"RAAPAPI.dll");
}

void SimRalink::SetInitialResult(int result) {
    std::lock_guard<std::mutex> g(m_lock);
    m_initialResult = result;
}

void SimRalink::AddAdapter(const SimRalinkAdapter& adapter) {
    std::lock_guard<std::mutex> g(m_lock);
    m_adapters.push_back(adapter);
}

void SimRalink::SetAdapterPresent(const GUID& guid, bool present) {
    std::lock_guard<std::mutex> g(m_lock);
    for (auto& a : m_adapters)
        if (a.guid == guid)
            a.present = present;
}

void SimRalink::SetDeviceModel(ULONG model) {
    std::lock_guard<std::mutex> g(m_lock);
    m_model = model;
}

void SimRalink::SetSupports11n(bool supported) {
    std::lock_guard<std::mutex> g(m_lock);
    m_supports11n = supported;
}

void SimRalink::SetSupports11a(bool supported) {
    std::lock_guard<std::mutex> g(m_lock);
    m_supports11a = supported;
}

void SimRalink::SetChannels(const std::vector<UCHAR>& bg, const std::vector<UCHAR>& a) {
    std::lock_guard<std::mutex> g(m_lock);
    m_channelsBg = bg;
    m_channelsA = a;
}

void SimRalink::SetZeroConfig(bool controlled) {
    std::lock_guard<std::mutex> g(m_lock);
    m_zeroConfig = controlled;
}

void SimRalink::SetWriteResult(int result) {
    std::lock_guard<std::mutex> g(m_lock);
    m_writeResult = result;
}

void SimRalink::SetStoredConfig(const RAAP_AP_CONFIG& config) {
    std::lock_guard<std::mutex> g(m_lock);
    m_stored = config;
}

void SimRalink::AddStation(const SimRalinkStation& station) {
    std::lock_guard<std::mutex> g(m_lock);
    m_stations.push_back(station);
}

void SimRalink::SetStationAssociated(const std::array<UCHAR, 6>& mac, UCHAR associated) {
    std::lock_guard<std::mutex> g(m_lock);
    for (auto& s : m_stations)
        if (s.mac == mac)
            s.associated = associated;
}

void SimRalink::RemoveStation(const std::array<UCHAR, 6>& mac) {
    std::lock_guard<std::mutex> g(m_lock);
    m_stations.erase(std::remove_if(m_stations.begin(), m_stations.end(),
                                    [&](const SimRalinkStation& s) { return s.mac == mac; }),
                     m_stations.end());
}

int SimRalink::OpMode() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_opMode;
}

GUID SimRalink::SelectedAdapter() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_hasSelection ? m_selected : GUID_NULL_;
}

bool SimRalink::ApRunning() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_apRunning;
}

RAAP_AP_CONFIG SimRalink::WrittenConfig() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_written;
}

int SimRalink::ConfigWrites() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_writes;
}

std::vector<int> SimRalink::AdapterQueryCapacities() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_capacities;
}

std::string SimRalink::VistaProfile() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_profile;
}

int SimRalink::ZeroConfigStops() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_zeroConfigStops;
}

bool SimRalink::Initialized() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_initialized;
}

const SimRalinkAdapter* SimRalink::Find(const RAAP_ADAPTER* adapter) const {
    if (adapter == nullptr)
        return nullptr;
    GUID guid{};
    const std::wstring text =
        TextCodec::FromWchars(adapter->InterfaceGuid, std::size(adapter->InterfaceGuid));
    if (!GuidText::Parse(text, &guid))
        return nullptr;
    for (const auto& a : m_adapters)
        if (a.guid == guid)
            return &a;
    return nullptr;
}

bool SimRalink::SelectedPresent() const {
    if (!m_hasSelection)
        return false;
    for (const auto& a : m_adapters)
        if (a.guid == m_selected)
            return a.present;
    return false;
}

int SimRalink::Initial(const char* application, int reserved) {
    (void)reserved;
    if (auto f = m_faults.Take("RAAP_Initial"))
        return static_cast<int>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    if (application == nullptr)
        return kRaapFailed;
    if (m_initialResult == kRaapOk || m_initialResult == kRaapAlreadyInitialized)
        m_initialized = true;
    return m_initialResult;
}

void SimRalink::DeInitial() {
    m_faults.Take("RAAP_DeInitial");
    std::lock_guard<std::mutex> g(m_lock);
    m_initialized = false;
}

int SimRalink::GetAvailableAdapters(void* list, int capacity) {
    if (auto f = m_faults.Take("RAAP_GetAvailableAdapters"))
        return static_cast<int>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    m_capacities.push_back(capacity);
    if (list == nullptr || capacity < 0)
        return kRaapFailed;
    auto* bytes = static_cast<unsigned char*>(list);
    const ULONG count = static_cast<ULONG>(m_adapters.size());
    std::memcpy(bytes, &count, sizeof count);
    if (static_cast<ULONG>(capacity) < count)
        return kRaapBufferTooSmall;
    for (std::size_t i = 0; i < m_adapters.size(); ++i) {
        RAAP_ADAPTER entry{};
        const std::string guidText = GuidText::ToString(m_adapters[i].guid);
        const std::string name = "\\DEVICE\\" + guidText;
        std::memcpy(entry.DeviceName, name.c_str(), name.size() + 1);
        TextCodec::ToWchars(m_adapters[i].description, entry.Description,
                            std::size(entry.Description));
        TextCodec::ToWchars(std::wstring(guidText.begin(), guidText.end()), entry.InterfaceGuid,
                            std::size(entry.InterfaceGuid));
        const UCHAR mac[6] = {0x00, 0x0C, 0x43, 0x30, 0x70, static_cast<UCHAR>(i + 1)};
        std::memcpy(entry.MacAddress, mac, sizeof mac);
        std::memcpy(bytes + kRaapAdapterListHeader + i * sizeof(RAAP_ADAPTER), &entry,
                    sizeof entry);
    }
    return kRaapOk;
}

int SimRalink::AdapterSelect(const RAAP_ADAPTER* adapter) {
    if (auto f = m_faults.Take("RAAP_AdapterSelect"))
        return static_cast<int>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    const SimRalinkAdapter* a = Find(adapter);
    if (a == nullptr)
        return kRaapFailed;
    m_selected = a->guid;
    m_hasSelection = true;
    return kRaapOk;
}

int SimRalink::IsDeviceExist(const RAAP_ADAPTER* adapter) {
    if (auto f = m_faults.Take("RAAP_IsDeviceExist"))
        return static_cast<int>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    const SimRalinkAdapter* a = Find(adapter);
    return a != nullptr && a->present ? 1 : 0;
}

int SimRalink::Is80211ASupport() {
    if (auto f = m_faults.Take("RAAP_Is80211ASupport"))
        return static_cast<int>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    return m_supports11a ? 1 : 0;
}

int SimRalink::Is80211NSupport() {
    if (auto f = m_faults.Take("RAAP_Is80211NSupport"))
        return static_cast<int>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    return m_supports11n ? 1 : 0;
}

int SimRalink::QueryOPMode() {
    if (auto f = m_faults.Take("RAAP_QueryOPMode"))
        return static_cast<int>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    return m_opMode;
}

int SimRalink::SetOPMode(int mode) {
    if (auto f = m_faults.Take("RAAP_SetOPMode"))
        return static_cast<int>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    if (mode != kRaapOpModeStation && mode != kRaapOpModeAp)
        return kRaapFailed;
    if (!SelectedPresent())
        return kRaapFailed;
    m_opMode = mode;
    if (mode == kRaapOpModeStation)
        m_apRunning = false;
    return kRaapOk;
}

int SimRalink::IsZeroConfig() {
    if (auto f = m_faults.Take("RAAP_IsZeroConfig"))
        return static_cast<int>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    return m_zeroConfig ? 1 : 0;
}

int SimRalink::StopXpZeroConfig() {
    if (auto f = m_faults.Take("RAAP_StopXpZeroConfig"))
        return static_cast<int>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    ++m_zeroConfigStops;
    m_zeroConfig = false;
    return kRaapOk;
}

int SimRalink::GetCurrentDeviceModel(ULONG* model) {
    if (auto f = m_faults.Take("RAAP_GetCurrentDeviceModel"))
        return static_cast<int>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    if (model == nullptr || !SelectedPresent())
        return 0;
    *model = m_model;
    return 1;
}

int SimRalink::QueryHTStatus(ULONG* bandwidth, ULONG* mcs) {
    if (auto f = m_faults.Take("RAAP_QueryHTStatus"))
        return static_cast<int>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    if (bandwidth == nullptr || mcs == nullptr || !m_supports11n)
        return kRaapFailed;
    *bandwidth = 20;
    *mcs = 7;
    return kRaapOk;
}

int SimRalink::QueryApWLANStatus(ULONG* running) {
    if (auto f = m_faults.Take("RAAP_QueryApWLANStatus"))
        return static_cast<int>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    if (running == nullptr)
        return kRaapFailed;
    *running = m_apRunning ? 1 : 0;
    return kRaapOk;
}

int SimRalink::QueryMacTableNot11n(RAAP_MAC_TABLE_NOT_11N* table) {
    if (auto f = m_faults.Take("RAAP_QueryMacTableNOT_11N"))
        return static_cast<int>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    if (table == nullptr)
        return kRaapFailed;
    std::memset(table, 0, sizeof *table);
    const std::size_t n = m_apRunning ? std::min(m_stations.size(), kRaapMaxStations) : 0;
    table->Num = static_cast<ULONG>(n);
    for (std::size_t i = 0; i < n; ++i) {
        std::memcpy(table->Entry[i].Addr, m_stations[i].mac.data(), 6);
        table->Entry[i].Aid = m_stations[i].aid;
        table->Entry[i].Associated = m_stations[i].associated;
    }
    return kRaapOk;
}

int SimRalink::QueryMacTable(RAAP_MAC_TABLE* table) {
    if (auto f = m_faults.Take("RAAP_QueryMacTable"))
        return static_cast<int>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    if (table == nullptr)
        return kRaapFailed;
    std::memset(table, 0, sizeof *table);
    const std::size_t n = m_apRunning ? std::min(m_stations.size(), kRaapMaxStations) : 0;
    table->Num = static_cast<ULONG>(n);
    for (std::size_t i = 0; i < n; ++i) {
        std::memcpy(table->Entry[i].Addr, m_stations[i].mac.data(), 6);
        table->Entry[i].Aid = m_stations[i].aid;
        table->Entry[i].Associated = m_stations[i].associated;
        table->Entry[i].TxRate = 150;
    }
    return kRaapOk;
}

int SimRalink::QueryCountryRegion(ULONG* regionBg, ULONG* regionA) {
    if (auto f = m_faults.Take("RAAP_QueryCountryRegion"))
        return static_cast<int>(*f);
    if (regionBg == nullptr || regionA == nullptr)
        return kRaapFailed;
    *regionBg = 1;
    *regionA = 0;
    return kRaapOk;
}

int SimRalink::GetCountryChannel(RAAP_CHANNEL_LIST* bg, RAAP_CHANNEL_LIST* a, ULONG* regionBg,
                                 ULONG* regionA) {
    if (auto f = m_faults.Take("RAAP_GetCountryChannel"))
        return static_cast<int>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    if (bg == nullptr || a == nullptr)
        return kRaapFailed;
    auto fill = [](RAAP_CHANNEL_LIST* out, const std::vector<UCHAR>& channels) {
        std::memset(out, 0, sizeof *out);
        const std::size_t n = std::min(channels.size(), std::size(out->Channels));
        out->Count = static_cast<ULONG>(n);
        std::copy_n(channels.begin(), n, out->Channels);
    };
    fill(bg, m_channelsBg);
    fill(a, m_channelsA);
    if (regionBg != nullptr)
        *regionBg = 1;
    if (regionA != nullptr)
        *regionA = 0;
    return kRaapOk;
}

int SimRalink::ReadConfigData(RAAP_AP_CONFIG* config) {
    if (auto f = m_faults.Take("RAAP_ReadConfigData"))
        return static_cast<int>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    if (config == nullptr)
        return kRaapFailed;
    *config = m_stored;
    return kRaapOk;
}

int SimRalink::WriteandSetConfigData(RAAP_AP_CONFIG* config) {
    if (auto f = m_faults.Take("RAAP_WriteandSetConfigData"))
        return static_cast<int>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    if (config == nullptr)
        return kRaapFailed;
    ++m_writes;
    m_written = *config;
    m_stored = *config;
    if (m_writeResult != kRaapOk)
        return m_writeResult;
    if (m_opMode != kRaapOpModeAp || !SelectedPresent())
        return 0;
    m_apRunning = true;
    return kRaapOk;
}

int SimRalink::QueryInitialState() {
    if (auto f = m_faults.Take("RAAP_QueryInitialState"))
        return static_cast<int>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    return m_initialized ? kRaapOk : 0;
}

int SimRalink::SetConfigData(RAAP_AP_CONFIG* config) {
    if (auto f = m_faults.Take("RAAP_SetConfigData"))
        return static_cast<int>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    if (config == nullptr)
        return kRaapFailed;
    m_stored = *config;
    return kRaapOk;
}

int SimRalink::QueryEventTable(void* table, ULONG* size) {
    if (auto f = m_faults.Take("RAAP_QueryEventTable"))
        return static_cast<int>(*f);
    if (size == nullptr)
        return kRaapFailed;
    // No events are kept: an empty table is a single zero count.
    if (table == nullptr || *size < sizeof(ULONG)) {
        *size = sizeof(ULONG);
        return kRaapBufferTooSmall;
    }
    const ULONG zero = 0;
    std::memcpy(table, &zero, sizeof zero);
    *size = sizeof zero;
    return kRaapOk;
}

int SimRalink::RestoreStationSetting() {
    if (auto f = m_faults.Take("RAAP_RestoreStationSetting"))
        return static_cast<int>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    m_opMode = kRaapOpModeStation;
    m_apRunning = false;
    return kRaapOk;
}

int SimRalink::InitAPSettings() {
    if (auto f = m_faults.Take("RAAP_InitAPSettings"))
        return static_cast<int>(*f);
    return kRaapOk;
}

int SimRalink::WlanDeleteAllRalinkWindowsProfiles() {
    if (auto f = m_faults.Take("RAAP_WlanDeleteAllRalinkWindowsProfiles"))
        return static_cast<int>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    m_profile.clear();
    return kRaapOk;
}

int SimRalink::SetVistaWindowsProfile(const UCHAR* ssid, ULONG length) {
    if (auto f = m_faults.Take("RAAP_SetVistaWindowsProfile"))
        return static_cast<int>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    if (ssid == nullptr && length != 0)
        return kRaapFailed;
    m_profile.assign(reinterpret_cast<const char*>(ssid), length);
    return kRaapOk;
}

int SimRalink::DeleteVistaWindowsProfile() {
    if (auto f = m_faults.Take("RAAP_DeleteVistaWindowsProfile"))
        return static_cast<int>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    m_profile.clear();
    return kRaapOk;
}

ULONG SimRalink::ChannelToFrequency(ULONG channel) {
    if (channel >= 1 && channel <= 13)
        return (2407 + 5 * channel) * 1000;
    if (channel == 14)
        return 2484000;
    if (channel >= 36 && channel <= 165)
        return (5000 + 5 * channel) * 1000;
    return 0;
}

ULONG SimRalink::FrequencyToChannel(ULONG frequencyKHz) {
    const ULONG mhz = frequencyKHz / 1000;
    if (mhz == 2484)
        return 14;
    if (mhz >= 2412 && mhz <= 2472)
        return (mhz - 2407) / 5;
    if (mhz >= 5180 && mhz <= 5825)
        return (mhz - 5000) / 5;
    return 0;
}

}  // namespace plat
