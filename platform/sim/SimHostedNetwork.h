// The simulated PC's wireless hardware and hosted network, in memory: the
// driver below the Native Wi-Fi library layer. Wireless interfaces with their
// radios per PHY; the hosted network with its state machine (unavailable,
// idle, active), its settings, secondary key and peers; WLAN profiles and
// connections. Tests script it and inspect it through `SimWlan`.
//
// As on Windows, the hosted network is unavailable unless the WLAN service
// runs, its mode is allowed, an interface that can carry it is there with
// every radio on, and neither that interface's adapter nor the virtual adapter
// is disabled in the device table; losing any of these takes an active network
// down with the matching reason. An interface whose adapter is disabled is not
// listed. What is set while the network is active takes effect at its next
// start.
#pragma once

#include <array>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/wlan/HostedNetworkDriver.h"

namespace plat {

using SimWlanPhy = WlanPhyRadio;

struct SimWlanInterface : WlanInterfaceRecord {
    // Setting the software radio on fails with this code when not 0.
    DWORD softRadioSetError = 0;
};

class SimHostedNetwork : public HostedNetworkDriver {
public:
    // Scripting and inspection.
    void AddInterface(const SimWlanInterface& iface);
    bool UpdateInterface(const GUID& guid, const SimWlanInterface& iface);
    bool GetInterface(const GUID& guid, SimWlanInterface* out) const;
    void ClearInterfaces();
    void SetHostedNetworkSettings(const std::string& ssid, DWORD maxPeers);
    void SetKey(const HostedNetworkKey& key);
    void SetStationProfile(const std::wstring& xml);
    void SetHostedNetworkDevice(const GUID& guid);
    // Enabled or disabled by the user (notified with the user-action reason).
    void SetEnabledByUser(bool enabled);
    // The WLAN service started or stopped.
    void SetServiceRunning(bool running);
    // An adapter of the device table, named by its interface GUID, changed:
    // present and enabled, present and disabled, or gone.
    void SetAdapterState(const GUID& adapter, bool present, bool enabled);
    // The settings and key the network runs with (those of its last start).
    WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS RunningSettings() const;
    HostedNetworkKey RunningKey() const;
    // A station tries to join with an SSID and a passphrase: it associates
    // (notified as a peer arrival) only while the network is active, with
    // the SSID and key it was started with, and below its peer limit.
    bool StationConnects(const std::array<UCHAR, 6>& mac, const std::string& ssid,
                         const std::string& passphrase);
    // Moves the state machine as the system would on its own and notifies the
    // change (nothing when the state stays).
    void ChangeState(WLAN_HOSTED_NETWORK_STATE state, WLAN_HOSTED_NETWORK_REASON reason);
    void PeerStateChange(const std::array<UCHAR, 6>& mac, WLAN_HOSTED_NETWORK_PEER_AUTH_STATE from,
                         WLAN_HOSTED_NETWORK_PEER_AUTH_STATE to);
    std::map<std::wstring, std::wstring> Profiles(const GUID& iface) const;
    std::vector<std::wstring> DeletedProfiles() const;
    // Reason code of the connection-complete notification after a connect.
    void SetConnectReason(WLAN_REASON_CODE reason);

    // HostedNetworkDriver.
    void Attach(HostedNetworkEvents* events) override;
    bool ServiceRunning() const override;
    std::vector<WlanInterfaceRecord> Interfaces() const override;
    bool Interface(const GUID& guid, WlanInterfaceRecord* out) const override;
    DWORD SetAutoConf(const GUID& guid, bool enabled) override;
    DWORD SetSoftwareRadio(const GUID& guid, DWORD phyIndex, DOT11_RADIO_STATE state) override;
    DWORD SetBssType(const GUID& guid, DOT11_BSS_TYPE type) override;
    DWORD SetOperationMode(const GUID& guid, ULONG mode) override;
    DWORD SetProfile(const GUID& guid, const std::wstring& name, const std::wstring& xml,
                     bool overwrite) override;
    DWORD ProfileNames(const GUID& guid, std::vector<std::wstring>* names) const override;
    DWORD DeleteProfile(const GUID& guid, const std::wstring& name) override;
    DWORD Connect(const GUID& guid, WLAN_CONNECTION_MODE mode, const std::wstring& profile,
                  DOT11_BSS_TYPE bssType) override;
    DWORD Disconnect(const GUID& guid) override;
    DWORD Start(WLAN_HOSTED_NETWORK_REASON* reason) override;
    DWORD Stop(WLAN_HOSTED_NETWORK_REASON* reason) override;
    HostedNetworkStatusRecord Status() const override;
    WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS ConnectionSettings() const override;
    DWORD SetConnectionSettings(const WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS& settings,
                                WLAN_HOSTED_NETWORK_REASON* reason) override;
    bool Enabled() const override;
    DWORD SetEnabled(bool enabled, WLAN_HOSTED_NETWORK_REASON* reason) override;
    HostedNetworkKey SecondaryKey() const override;
    DWORD SetSecondaryKey(const HostedNetworkKey& key, WLAN_HOSTED_NETWORK_REASON* reason) override;
    std::wstring StationProfile() const override;
    DWORD RefreshSecuritySettings(WLAN_HOSTED_NETWORK_REASON* reason) override;

private:
    // Under m_lock.
    SimWlanInterface* Find(const GUID& guid);
    const SimWlanInterface* Find(const GUID& guid) const;
    bool AdapterDisabled(const GUID& guid) const;
    bool Usable(const SimWlanInterface& iface) const;
    bool Available() const;
    void MoveTo(WLAN_HOSTED_NETWORK_STATE next, WLAN_HOSTED_NETWORK_REASON reason);
    // Follows what the network's availability is now: unavailable with
    // `down`, or back to idle with `up`.
    void Reevaluate(WLAN_HOSTED_NETWORK_REASON down, WLAN_HOSTED_NETWORK_REASON up);
    // Reports a radio change of a capable interface, then re-evaluates.
    void RadioChanged(const SimWlanInterface& before, const SimWlanInterface& after);
    void ApplyEnabled(bool enabled, WLAN_HOSTED_NETWORK_REASON reason);

    mutable std::mutex m_lock;
    HostedNetworkEvents* m_events = nullptr;
    std::vector<SimWlanInterface> m_interfaces;

    bool m_enabled = true;
    bool m_serviceRunning = true;
    std::map<GUID, bool> m_adapterEnabled;  // the device table's network adapters
    WLAN_HOSTED_NETWORK_STATE m_state = kWlanHostedNetworkUnavailable;
    WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS m_settings{};
    HostedNetworkKey m_key;
    WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS m_runningSettings{};
    HostedNetworkKey m_runningKey;
    std::wstring m_stationProfile;
    GUID m_device{};
    std::vector<WLAN_HOSTED_NETWORK_PEER_STATE> m_peers;

    std::map<GUID, std::map<std::wstring, std::wstring>> m_profiles;
    std::vector<std::wstring> m_deletedProfiles;
    std::map<GUID, std::wstring> m_connected;
    WLAN_REASON_CODE m_connectReason = 0;
};

}  // namespace plat
