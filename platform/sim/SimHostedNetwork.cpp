#include "SimHostedNetwork.h"

#include <algorithm>
#include <cstring>

namespace plat {

namespace {

constexpr ULONG kChannel6Frequency = 2437000;  // kHz
constexpr std::array<UCHAR, 6> kHostedBssid = {0x02, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};

}  // namespace

// ---- scripting and inspection ----

void SimHostedNetwork::AddInterface(const SimWlanInterface& iface) {
    std::lock_guard<std::mutex> g(m_lock);
    m_interfaces.push_back(iface);
    Reevaluate(kWlanHostedNetworkReasonInterfaceUnavailable,
               kWlanHostedNetworkReasonInterfaceAvailable);
}

bool SimHostedNetwork::UpdateInterface(const GUID& guid, const SimWlanInterface& iface) {
    std::lock_guard<std::mutex> g(m_lock);
    SimWlanInterface* i = Find(guid);
    if (i == nullptr)
        return false;
    const SimWlanInterface before = *i;
    *i = iface;
    RadioChanged(before, iface);
    return true;
}

bool SimHostedNetwork::GetInterface(const GUID& guid, SimWlanInterface* out) const {
    std::lock_guard<std::mutex> g(m_lock);
    const SimWlanInterface* i = Find(guid);
    if (i == nullptr)
        return false;
    *out = *i;
    return true;
}

void SimHostedNetwork::ClearInterfaces() {
    std::lock_guard<std::mutex> g(m_lock);
    m_interfaces.clear();
    Reevaluate(kWlanHostedNetworkReasonInterfaceUnavailable,
               kWlanHostedNetworkReasonInterfaceAvailable);
}

void SimHostedNetwork::SetHostedNetworkSettings(const std::string& ssid, DWORD maxPeers) {
    std::lock_guard<std::mutex> g(m_lock);
    m_settings = {};
    const std::size_t n = std::min(ssid.size(), kDot11SsidMaxLength);
    std::memcpy(m_settings.hostedNetworkSSID.ucSSID, ssid.data(), n);
    m_settings.hostedNetworkSSID.uSSIDLength = static_cast<ULONG>(n);
    m_settings.dwMaxNumberOfPeers = maxPeers;
}

void SimHostedNetwork::SetKey(const HostedNetworkKey& key) {
    std::lock_guard<std::mutex> g(m_lock);
    m_key = key;
}

void SimHostedNetwork::SetStationProfile(const std::wstring& xml) {
    std::lock_guard<std::mutex> g(m_lock);
    m_stationProfile = xml;
}

void SimHostedNetwork::SetHostedNetworkDevice(const GUID& guid) {
    std::lock_guard<std::mutex> g(m_lock);
    m_device = guid;
    Reevaluate(kWlanHostedNetworkReasonMiniportStopped, kWlanHostedNetworkReasonMiniportStarted);
}

void SimHostedNetwork::SetServiceRunning(bool running) {
    std::lock_guard<std::mutex> g(m_lock);
    if (running == m_serviceRunning)
        return;
    m_serviceRunning = running;
    if (running) {
        // No client is there yet to hear of it: every handle died with the
        // service.
        Reevaluate(kWlanHostedNetworkReasonServiceUnavailable, kWlanHostedNetworkReasonSuccess);
        return;
    }
    MoveTo(kWlanHostedNetworkUnavailable, kWlanHostedNetworkReasonServiceShuttingDown);
    if (m_events != nullptr)
        m_events->ServiceStopped();
}

void SimHostedNetwork::SetAdapterState(const GUID& adapter, bool present, bool enabled) {
    std::lock_guard<std::mutex> g(m_lock);
    if (present)
        m_adapterEnabled[adapter] = enabled;
    else
        m_adapterEnabled.erase(adapter);
    if (adapter == m_device && m_device != GUID_NULL_)
        Reevaluate(kWlanHostedNetworkReasonMiniportStopped,
                   kWlanHostedNetworkReasonMiniportStarted);
    else
        Reevaluate(kWlanHostedNetworkReasonInterfaceUnavailable,
                   kWlanHostedNetworkReasonInterfaceAvailable);
}

WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS SimHostedNetwork::RunningSettings() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_runningSettings;
}

HostedNetworkKey SimHostedNetwork::RunningKey() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_runningKey;
}

bool SimHostedNetwork::StationConnects(const std::array<UCHAR, 6>& mac, const std::string& ssid,
                                       const std::string& passphrase) {
    {
        std::lock_guard<std::mutex> g(m_lock);
        if (m_state != kWlanHostedNetworkActive)
            return false;
        const DOT11_SSID& running = m_runningSettings.hostedNetworkSSID;
        if (ssid.size() != running.uSSIDLength ||
            std::memcmp(ssid.data(), running.ucSSID, ssid.size()) != 0)
            return false;
        // A passphrase key is kept with its terminator.
        const std::vector<UCHAR>& key = m_runningKey.bytes;
        if (!m_runningKey.passPhrase || key.size() != passphrase.size() + 1 ||
            std::memcmp(key.data(), passphrase.data(), passphrase.size()) != 0)
            return false;
        if (m_peers.size() >= m_runningSettings.dwMaxNumberOfPeers)
            return false;
    }
    PeerStateChange(mac, kWlanHostedNetworkPeerStateInvalid,
                    kWlanHostedNetworkPeerStateAuthenticated);
    return true;
}

void SimHostedNetwork::SetEnabledByUser(bool enabled) {
    std::lock_guard<std::mutex> g(m_lock);
    ApplyEnabled(enabled, kWlanHostedNetworkReasonUserAction);
}

void SimHostedNetwork::ChangeState(WLAN_HOSTED_NETWORK_STATE state,
                                   WLAN_HOSTED_NETWORK_REASON reason) {
    std::lock_guard<std::mutex> g(m_lock);
    MoveTo(state, reason);
}

void SimHostedNetwork::PeerStateChange(const std::array<UCHAR, 6>& mac,
                                       WLAN_HOSTED_NETWORK_PEER_AUTH_STATE from,
                                       WLAN_HOSTED_NETWORK_PEER_AUTH_STATE to) {
    WLAN_HOSTED_NETWORK_PEER_STATE oldState{};
    WLAN_HOSTED_NETWORK_PEER_STATE newState{};
    std::memcpy(oldState.PeerMacAddress, mac.data(), 6);
    std::memcpy(newState.PeerMacAddress, mac.data(), 6);
    oldState.PeerAuthState = from;
    newState.PeerAuthState = to;
    std::lock_guard<std::mutex> g(m_lock);
    auto same = [&](const WLAN_HOSTED_NETWORK_PEER_STATE& p) {
        return std::memcmp(p.PeerMacAddress, mac.data(), 6) == 0;
    };
    m_peers.erase(std::remove_if(m_peers.begin(), m_peers.end(), same), m_peers.end());
    if (to != kWlanHostedNetworkPeerStateInvalid)
        m_peers.push_back(newState);
    if (m_events != nullptr)
        m_events->PeerStateChanged(oldState, newState,
                                   to == kWlanHostedNetworkPeerStateInvalid
                                       ? kWlanHostedNetworkReasonPeerDeparted
                                       : kWlanHostedNetworkReasonPeerArrived);
}

std::map<std::wstring, std::wstring> SimHostedNetwork::Profiles(const GUID& iface) const {
    std::lock_guard<std::mutex> g(m_lock);
    auto it = m_profiles.find(iface);
    return it == m_profiles.end() ? std::map<std::wstring, std::wstring>{} : it->second;
}

std::vector<std::wstring> SimHostedNetwork::DeletedProfiles() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_deletedProfiles;
}

void SimHostedNetwork::SetConnectReason(WLAN_REASON_CODE reason) {
    std::lock_guard<std::mutex> g(m_lock);
    m_connectReason = reason;
}

// ---- internals (m_lock held) ----

SimWlanInterface* SimHostedNetwork::Find(const GUID& guid) {
    for (auto& i : m_interfaces)
        if (i.guid == guid)
            return &i;
    return nullptr;
}

const SimWlanInterface* SimHostedNetwork::Find(const GUID& guid) const {
    for (const auto& i : m_interfaces)
        if (i.guid == guid)
            return &i;
    return nullptr;
}

bool SimHostedNetwork::AdapterDisabled(const GUID& guid) const {
    auto it = m_adapterEnabled.find(guid);
    return it != m_adapterEnabled.end() && !it->second;
}

bool SimHostedNetwork::Usable(const SimWlanInterface& iface) const {
    if (iface.hostedNetworkCapable != 1 && iface.hostedNetworkCapable != -1)
        return false;
    if (AdapterDisabled(iface.guid))
        return false;
    for (const auto& phy : iface.phys)
        if (phy.hardware != kDot11RadioStateOn || phy.software != kDot11RadioStateOn)
            return false;
    return true;
}

bool SimHostedNetwork::Available() const {
    if (!m_serviceRunning || !m_enabled)
        return false;
    if (m_device != GUID_NULL_ && AdapterDisabled(m_device))
        return false;
    for (const auto& i : m_interfaces)
        if (Usable(i))
            return true;
    return false;
}

void SimHostedNetwork::Reevaluate(WLAN_HOSTED_NETWORK_REASON down, WLAN_HOSTED_NETWORK_REASON up) {
    const bool available = Available();
    if (!available && m_state != kWlanHostedNetworkUnavailable)
        MoveTo(kWlanHostedNetworkUnavailable, down);
    else if (available && m_state == kWlanHostedNetworkUnavailable)
        MoveTo(kWlanHostedNetworkIdle, up);
}

void SimHostedNetwork::RadioChanged(const SimWlanInterface& before, const SimWlanInterface& after) {
    auto allOn = [](const SimWlanInterface& i, bool hardware) {
        for (const auto& phy : i.phys)
            if ((hardware ? phy.hardware : phy.software) != kDot11RadioStateOn)
                return false;
        return true;
    };
    const bool capable = after.hostedNetworkCapable == 1 || after.hostedNetworkCapable == -1;
    if (capable && m_events != nullptr &&
        (allOn(before, false) != allOn(after, false) || allOn(before, true) != allOn(after, true)))
        m_events->HostedNetworkRadioChanged(
            allOn(after, false) ? kDot11RadioStateOn : kDot11RadioStateOff,
            allOn(after, true) ? kDot11RadioStateOn : kDot11RadioStateOff);
    Reevaluate(kWlanHostedNetworkReasonInterfaceUnavailable,
               kWlanHostedNetworkReasonInterfaceAvailable);
}

void SimHostedNetwork::MoveTo(WLAN_HOSTED_NETWORK_STATE next, WLAN_HOSTED_NETWORK_REASON reason) {
    if (next == m_state)
        return;
    if (m_events != nullptr)
        m_events->HostedNetworkStateChanged(m_state, next, reason);
    m_state = next;
    if (next != kWlanHostedNetworkActive)
        m_peers.clear();
}

void SimHostedNetwork::ApplyEnabled(bool enabled, WLAN_HOSTED_NETWORK_REASON reason) {
    // Disallowed, the hosted network is unavailable; allowed again, it is idle
    // when everything else it needs is there.
    m_enabled = enabled;
    Reevaluate(reason, reason);
}

// ---- the driver ----

void SimHostedNetwork::Attach(HostedNetworkEvents* events) {
    std::lock_guard<std::mutex> g(m_lock);
    m_events = events;
}

bool SimHostedNetwork::ServiceRunning() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_serviceRunning;
}

std::vector<WlanInterfaceRecord> SimHostedNetwork::Interfaces() const {
    std::lock_guard<std::mutex> g(m_lock);
    std::vector<WlanInterfaceRecord> out;
    for (const auto& i : m_interfaces)
        if (!AdapterDisabled(i.guid))
            out.push_back(i);
    return out;
}

bool SimHostedNetwork::Interface(const GUID& guid, WlanInterfaceRecord* out) const {
    std::lock_guard<std::mutex> g(m_lock);
    const SimWlanInterface* i = Find(guid);
    if (i == nullptr || AdapterDisabled(guid))
        return false;
    *out = *i;
    return true;
}

DWORD SimHostedNetwork::SetAutoConf(const GUID& guid, bool enabled) {
    std::lock_guard<std::mutex> g(m_lock);
    SimWlanInterface* i = Find(guid);
    if (i == nullptr)
        return kErrorNotFound;
    i->autoConf = enabled;
    return 0;
}

DWORD SimHostedNetwork::SetSoftwareRadio(const GUID& guid, DWORD phyIndex,
                                         DOT11_RADIO_STATE state) {
    std::lock_guard<std::mutex> g(m_lock);
    SimWlanInterface* i = Find(guid);
    if (i == nullptr)
        return kErrorNotFound;
    if (phyIndex >= i->phys.size())
        return kErrorInvalidParameter;
    if (i->softRadioSetError != 0)
        return i->softRadioSetError;
    const SimWlanInterface before = *i;
    i->phys[phyIndex].software = state;
    RadioChanged(before, *i);
    return 0;
}

DWORD SimHostedNetwork::SetBssType(const GUID& guid, DOT11_BSS_TYPE type) {
    std::lock_guard<std::mutex> g(m_lock);
    SimWlanInterface* i = Find(guid);
    if (i == nullptr)
        return kErrorNotFound;
    i->bssType = type;
    return 0;
}

DWORD SimHostedNetwork::SetOperationMode(const GUID& guid, ULONG mode) {
    std::lock_guard<std::mutex> g(m_lock);
    SimWlanInterface* i = Find(guid);
    if (i == nullptr)
        return kErrorNotFound;
    i->operationMode = mode;
    return 0;
}

DWORD SimHostedNetwork::SetProfile(const GUID& guid, const std::wstring& name,
                                   const std::wstring& xml, bool overwrite) {
    std::lock_guard<std::mutex> g(m_lock);
    if (Find(guid) == nullptr)
        return kErrorNotFound;
    auto& profiles = m_profiles[guid];
    if (!overwrite && profiles.count(name) != 0)
        return kErrorAlreadyExists;
    profiles[name] = xml;
    return 0;
}

DWORD SimHostedNetwork::ProfileNames(const GUID& guid, std::vector<std::wstring>* names) const {
    std::lock_guard<std::mutex> g(m_lock);
    if (Find(guid) == nullptr)
        return kErrorNotFound;
    names->clear();
    auto it = m_profiles.find(guid);
    if (it != m_profiles.end())
        for (const auto& [name, xml] : it->second)
            names->push_back(name);
    return 0;
}

DWORD SimHostedNetwork::DeleteProfile(const GUID& guid, const std::wstring& name) {
    std::lock_guard<std::mutex> g(m_lock);
    if (Find(guid) == nullptr)
        return kErrorNotFound;
    m_deletedProfiles.push_back(name);
    if (m_profiles[guid].erase(name) == 0)
        return kErrorNotFound;
    return 0;
}

DWORD SimHostedNetwork::Connect(const GUID& guid, WLAN_CONNECTION_MODE mode,
                                const std::wstring& profile, DOT11_BSS_TYPE bssType) {
    std::lock_guard<std::mutex> g(m_lock);
    SimWlanInterface* iface = Find(guid);
    if (iface == nullptr)
        return kErrorNotFound;
    if (mode == kWlanConnectionModeProfile) {
        const auto& profiles = m_profiles[guid];
        if (profiles.find(profile) == profiles.end())
            return kErrorNotFound;
    }
    m_connected[guid] = profile;
    iface->state = bssType == kDot11BssTypeIndependent ? kWlanInterfaceAdHocNetworkFormed
                                                       : kWlanInterfaceConnected;
    if (m_events != nullptr)
        m_events->ConnectionChanged(guid, kWlanNotificationAcmConnectionComplete, profile,
                                    kDot11BssTypeIndependent, m_connectReason);
    return 0;
}

DWORD SimHostedNetwork::Disconnect(const GUID& guid) {
    std::lock_guard<std::mutex> g(m_lock);
    SimWlanInterface* iface = Find(guid);
    if (iface == nullptr)
        return kErrorNotFound;
    auto it = m_connected.find(guid);
    if (it != m_connected.end()) {
        if (m_events != nullptr)
            m_events->ConnectionChanged(guid, kWlanNotificationAcmDisconnected, it->second,
                                        kDot11BssTypeIndependent, 0);
        m_connected.erase(it);
    }
    iface->state = kWlanInterfaceDisconnected;
    return 0;
}

DWORD SimHostedNetwork::Start(WLAN_HOSTED_NETWORK_REASON* reason) {
    std::lock_guard<std::mutex> g(m_lock);
    *reason = kWlanHostedNetworkReasonSuccess;
    if (!Available()) {
        *reason = m_device != GUID_NULL_ && AdapterDisabled(m_device)
                      ? kWlanHostedNetworkReasonMiniportStopped
                      : kWlanHostedNetworkReasonInterfaceUnavailable;
        return kErrorInvalidState;
    }
    if (m_state != kWlanHostedNetworkActive) {
        m_runningSettings = m_settings;
        m_runningKey = m_key;
    }
    MoveTo(kWlanHostedNetworkActive, kWlanHostedNetworkReasonSuccess);
    return 0;
}

DWORD SimHostedNetwork::Stop(WLAN_HOSTED_NETWORK_REASON* reason) {
    std::lock_guard<std::mutex> g(m_lock);
    *reason = kWlanHostedNetworkReasonSuccess;
    if (m_state == kWlanHostedNetworkActive)
        MoveTo(kWlanHostedNetworkIdle, kWlanHostedNetworkReasonUserAction);
    return 0;
}

HostedNetworkStatusRecord SimHostedNetwork::Status() const {
    std::lock_guard<std::mutex> g(m_lock);
    HostedNetworkStatusRecord status;
    status.state = m_state;
    status.device = m_device;
    status.bssid = kHostedBssid;
    status.phyType = kDot11PhyTypeHt;
    status.channelFrequency = kChannel6Frequency;
    status.peers = m_peers;
    return status;
}

WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS SimHostedNetwork::ConnectionSettings() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_settings;
}

DWORD SimHostedNetwork::SetConnectionSettings(
    const WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS& settings, WLAN_HOSTED_NETWORK_REASON* reason) {
    std::lock_guard<std::mutex> g(m_lock);
    *reason = kWlanHostedNetworkReasonSuccess;
    m_settings = settings;
    return 0;
}

bool SimHostedNetwork::Enabled() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_enabled;
}

DWORD SimHostedNetwork::SetEnabled(bool enabled, WLAN_HOSTED_NETWORK_REASON* reason) {
    std::lock_guard<std::mutex> g(m_lock);
    *reason = kWlanHostedNetworkReasonSuccess;
    ApplyEnabled(enabled, kWlanHostedNetworkReasonPropertiesChange);
    return 0;
}

HostedNetworkKey SimHostedNetwork::SecondaryKey() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_key;
}

DWORD SimHostedNetwork::SetSecondaryKey(const HostedNetworkKey& key,
                                        WLAN_HOSTED_NETWORK_REASON* reason) {
    std::lock_guard<std::mutex> g(m_lock);
    *reason = kWlanHostedNetworkReasonSuccess;
    if (key.bytes.empty()) {
        m_key.bytes.clear();  // removing the key keeps its kind
        return 0;
    }
    m_key = key;
    return 0;
}

std::wstring SimHostedNetwork::StationProfile() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_stationProfile;
}

DWORD SimHostedNetwork::RefreshSecuritySettings(WLAN_HOSTED_NETWORK_REASON* reason) {
    *reason = kWlanHostedNetworkReasonSuccess;
    return 0;
}

}  // namespace plat
