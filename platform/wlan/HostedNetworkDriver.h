// The driver below the Native Wi-Fi library's own layer (`WlanLibrary`): the
// wireless interfaces the library lists and sets, their profiles and
// connections, and the hosted network with its state machine, settings, key
// and peers.
//
// The library layer does everything a Windows program sees of wlanapi.dll
// itself: client handles and their version, argument and record checks,
// buffers handed out and freed, notification delivery on the library's own
// thread. A driver only keeps the network's state and reports what changes
// through `HostedNetworkEvents`; it never sees a handle or a buffer. Arguments
// reach it checked: a GUID may name no interface (answer 1168), everything
// else is well formed.
//
// Drivers: the simulated PC's in-memory network (`SimHostedNetwork`), and on
// Linux hostapd through its control interface.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/records/WlanTypes.h"

namespace plat {

struct WlanPhyRadio {
    DOT11_RADIO_STATE software = kDot11RadioStateOn;
    DOT11_RADIO_STATE hardware = kDot11RadioStateOn;
};

// One wireless interface as the driver keeps it.
struct WlanInterfaceRecord {
    GUID guid{};
    std::wstring description;
    WLAN_INTERFACE_STATE state = kWlanInterfaceDisconnected;
    std::vector<WlanPhyRadio> phys = std::vector<WlanPhyRadio>(1);
    // The value answered for the hosted-network-capable query (a BOOL the
    // drivers fill loosely: 1, -1 and other values occur).
    std::int32_t hostedNetworkCapable = 1;
    bool autoConf = true;
    DOT11_BSS_TYPE bssType = kDot11BssTypeInfrastructure;
    ULONG operationMode = kDot11OperationModeExtensibleStation;
};

// The hosted network's status; the fields after `state` mean something only
// while it is not unavailable.
struct HostedNetworkStatusRecord {
    WLAN_HOSTED_NETWORK_STATE state = kWlanHostedNetworkIdle;
    GUID device{};  // the virtual adapter that carries the network
    std::array<UCHAR, 6> bssid{};
    DOT11_PHY_TYPE phyType = 0;
    ULONG channelFrequency = 0;  // kHz
    std::vector<WLAN_HOSTED_NETWORK_PEER_STATE> peers;
};

// The secondary key: a passphrase of 8 to 63 printable characters followed by
// its terminator, or 32 key bytes.
struct HostedNetworkKey {
    std::vector<UCHAR> bytes;
    bool passPhrase = true;
    bool persistent = true;
};

// Where a driver reports the changes it makes or sees; the library turns them
// into notifications with their Windows records, in the order reported.
class HostedNetworkEvents {
public:
    virtual ~HostedNetworkEvents() = default;
    virtual void HostedNetworkStateChanged(WLAN_HOSTED_NETWORK_STATE from,
                                           WLAN_HOSTED_NETWORK_STATE to,
                                           WLAN_HOSTED_NETWORK_REASON reason) = 0;
    virtual void PeerStateChanged(const WLAN_HOSTED_NETWORK_PEER_STATE& from,
                                  const WLAN_HOSTED_NETWORK_PEER_STATE& to,
                                  WLAN_HOSTED_NETWORK_REASON reason) = 0;
    // The radio of the interface that carries the hosted network changed.
    virtual void HostedNetworkRadioChanged(DOT11_RADIO_STATE software,
                                           DOT11_RADIO_STATE hardware) = 0;
    // A connection of an interface completed (code 10) or ended (code 21).
    virtual void ConnectionChanged(const GUID& iface, DWORD code, const std::wstring& profile,
                                   DOT11_BSS_TYPE bssType, WLAN_REASON_CODE reason) = 0;
    // The WLAN service stopped: every client handle is dead at once; the
    // changes reported before still reach the callbacks registered then.
    virtual void ServiceStopped() = 0;
};

class HostedNetworkDriver {
public:
    virtual ~HostedNetworkDriver() = default;

    // Reports go to `events` from now on (null: nowhere). Called with the
    // driver's changes not yet under way.
    virtual void Attach(HostedNetworkEvents* events) = 0;
    // Whether the WLAN service runs; while it does not, a client cannot open
    // a handle (1062).
    virtual bool ServiceRunning() const = 0;

    // Wireless interfaces.
    virtual std::vector<WlanInterfaceRecord> Interfaces() const = 0;
    virtual bool Interface(const GUID& guid, WlanInterfaceRecord* out) const = 0;
    virtual DWORD SetAutoConf(const GUID& guid, bool enabled) = 0;
    virtual DWORD SetSoftwareRadio(const GUID& guid, DWORD phyIndex, DOT11_RADIO_STATE state) = 0;
    virtual DWORD SetBssType(const GUID& guid, DOT11_BSS_TYPE type) = 0;
    virtual DWORD SetOperationMode(const GUID& guid, ULONG mode) = 0;

    // Profiles (by name, with their XML) and connections of an interface.
    virtual DWORD SetProfile(const GUID& guid, const std::wstring& name, const std::wstring& xml,
                             bool overwrite) = 0;
    virtual DWORD ProfileNames(const GUID& guid, std::vector<std::wstring>* names) const = 0;
    virtual DWORD DeleteProfile(const GUID& guid, const std::wstring& name) = 0;
    virtual DWORD Connect(const GUID& guid, WLAN_CONNECTION_MODE mode, const std::wstring& profile,
                          DOT11_BSS_TYPE bssType) = 0;
    virtual DWORD Disconnect(const GUID& guid) = 0;

    // The hosted network. `reason` is always written. It is available only
    // while the service runs, its mode is allowed (Enabled), an interface that
    // can carry it is there with its radio on, and its adapters are enabled.
    // Settings and key set while it is active take effect at its next start.
    virtual DWORD Start(WLAN_HOSTED_NETWORK_REASON* reason) = 0;
    virtual DWORD Stop(WLAN_HOSTED_NETWORK_REASON* reason) = 0;
    virtual HostedNetworkStatusRecord Status() const = 0;
    virtual WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS ConnectionSettings() const = 0;
    virtual DWORD SetConnectionSettings(const WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS& settings,
                                        WLAN_HOSTED_NETWORK_REASON* reason) = 0;
    virtual bool Enabled() const = 0;
    virtual DWORD SetEnabled(bool enabled, WLAN_HOSTED_NETWORK_REASON* reason) = 0;
    virtual HostedNetworkKey SecondaryKey() const = 0;
    virtual DWORD SetSecondaryKey(const HostedNetworkKey& key,
                                  WLAN_HOSTED_NETWORK_REASON* reason) = 0;
    virtual std::wstring StationProfile() const = 0;
    virtual DWORD RefreshSecuritySettings(WLAN_HOSTED_NETWORK_REASON* reason) = 0;
};

}  // namespace plat
