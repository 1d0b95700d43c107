// The simulated PC's Native Wi-Fi: the library layer shared with the Linux
// backend (`WlanLibrary`, registered in the PC's module table under
// "wlanapi.dll") over the in-memory hosted-network driver
// (`SimHostedNetwork`). Tests script and inspect both through this class.
// The network follows the PC's WLAN service ("WlanSvc") and the adapters of
// its device table.
//
// Notifications are delivered on the library's own thread, never on the
// caller's. Every buffer handed out is tracked until WlanFreeMemory takes it
// back, so tests can check that nothing leaks. Faults are taken by function
// name ("WlanHostedNetworkForceStart") and, for the interface queries and
// sets, by name and opcode ("WlanQueryInterface#4").
#pragma once

#include <array>
#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "SimHostedNetwork.h"
#include "platform/wlan/WlanLibrary.h"

namespace plat {

class SimDevices;
class SimFaults;
class SimServices;
class ModuleRegistry;

using SimWlanVersion = WlanLibraryVersion;

class SimWlan {
public:
    SimWlan(SimFaults& faults, ModuleRegistry& modules, SimServices& services, SimDevices& devices);

    WlanLibrary& Library() { return m_library; }
    SimHostedNetwork& Network() { return m_network; }

    // The library: present in the full version unless changed.
    void SetVersion(SimWlanVersion version) { m_library.SetVersion(version); }
    void RemoveLibrary() { m_library.RemoveLibrary(); }
    void AddInterface(const SimWlanInterface& iface) { m_network.AddInterface(iface); }
    bool UpdateInterface(const GUID& guid, const SimWlanInterface& iface) {
        return m_network.UpdateInterface(guid, iface);
    }
    bool GetInterface(const GUID& guid, SimWlanInterface* out) const {
        return m_network.GetInterface(guid, out);
    }
    void ClearInterfaces() { m_network.ClearInterfaces(); }

    // The hosted network.
    void SetHostedNetworkEnabled(bool enabled) { m_network.SetEnabledByUser(enabled); }
    bool HostedNetworkEnabled() const { return m_network.Enabled(); }
    void SetHostedNetworkSettings(const std::string& ssid, DWORD maxPeers) {
        m_network.SetHostedNetworkSettings(ssid, maxPeers);
    }
    WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS HostedNetworkSettings() const {
        return m_network.ConnectionSettings();
    }
    void SetSecondaryKey(const std::vector<UCHAR>& key, bool passPhrase, bool persistent) {
        m_network.SetKey(HostedNetworkKey{key, passPhrase, persistent});
    }
    std::vector<UCHAR> SecondaryKey() const { return m_network.SecondaryKey().bytes; }
    bool SecondaryKeyIsPassPhrase() const { return m_network.SecondaryKey().passPhrase; }
    bool SecondaryKeyPersistent() const { return m_network.SecondaryKey().persistent; }
    void SetStationProfile(const std::wstring& xml) { m_network.SetStationProfile(xml); }
    // The GUID of the virtual adapter that carries the hosted network.
    void SetHostedNetworkDevice(const GUID& guid) { m_network.SetHostedNetworkDevice(guid); }
    WLAN_HOSTED_NETWORK_STATE HostedNetworkState() const { return m_network.Status().state; }
    // What the running network was started with.
    WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS RunningSettings() const {
        return m_network.RunningSettings();
    }
    // A station tries the running network with an SSID and passphrase; true
    // when it associated.
    bool StationConnects(const std::array<UCHAR, 6>& mac, const std::string& ssid,
                         const std::string& passphrase) {
        return m_network.StationConnects(mac, ssid, passphrase);
    }
    // Moves the state machine as the system would on its own and notifies the
    // change (nothing when the state stays).
    void ChangeHostedNetworkState(WLAN_HOSTED_NETWORK_STATE state,
                                  WLAN_HOSTED_NETWORK_REASON reason) {
        m_network.ChangeState(state, reason);
    }
    // A station associates (authenticated) or leaves; notified as a peer
    // state change.
    void PeerJoin(const std::array<UCHAR, 6>& mac) {
        PeerStateChange(mac, kWlanHostedNetworkPeerStateInvalid,
                        kWlanHostedNetworkPeerStateAuthenticated);
    }
    void PeerLeave(const std::array<UCHAR, 6>& mac) {
        PeerStateChange(mac, kWlanHostedNetworkPeerStateAuthenticated,
                        kWlanHostedNetworkPeerStateInvalid);
    }
    void PeerStateChange(const std::array<UCHAR, 6>& mac, WLAN_HOSTED_NETWORK_PEER_AUTH_STATE from,
                         WLAN_HOSTED_NETWORK_PEER_AUTH_STATE to) {
        m_network.PeerStateChange(mac, from, to);
    }
    std::vector<WLAN_HOSTED_NETWORK_PEER_STATE> Peers() const { return m_network.Status().peers; }
    // Queues any notification as it stands (payload copied).
    void Notify(DWORD source, DWORD code, const GUID& iface, const std::vector<BYTE>& payload) {
        m_library.Notify(source, code, iface, payload);
    }
    // Waits until every queued notification has been delivered.
    bool WaitDelivered(std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        return m_library.WaitDelivered(timeout);
    }

    // Client handles.
    std::size_t OpenHandles() const { return m_library.OpenHandles(); }
    // Every open handle becomes invalid (the service restarted): calls with it answer 6.
    void InvalidateHandles() { m_library.InvalidateHandles(); }
    std::size_t Registrations() const { return m_library.Registrations(); }

    // Profiles and connections.
    std::map<std::wstring, std::wstring> Profiles(const GUID& iface) const {
        return m_network.Profiles(iface);
    }
    std::vector<std::wstring> DeletedProfiles() const { return m_network.DeletedProfiles(); }
    std::vector<WlanConnectCall> Connects() const { return m_library.Connects(); }
    std::vector<GUID> Disconnects() const { return m_library.Disconnects(); }
    std::vector<WlanSetCall> Sets() const { return m_library.Sets(); }
    // Reason code of the connection-complete notification after WlanConnect.
    void SetConnectReason(WLAN_REASON_CODE reason) { m_network.SetConnectReason(reason); }

    // Memory handed out and not yet given back, and frees of unknown blocks.
    std::size_t OutstandingAllocations() const { return m_library.OutstandingAllocations(); }
    std::size_t BadFrees() const { return m_library.BadFrees(); }

private:
    SimHostedNetwork m_network;
    WlanLibrary m_library;  // after the network it drives
};

}  // namespace plat
