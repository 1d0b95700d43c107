// The simulated PC's Native Wi-Fi library (wlanapi.dll): wireless interfaces
// with their radios per PHY, the hosted network with its state machine
// (unavailable, idle, active), its settings, secondary key and peers, WLAN
// profiles and connections. The entry points have the Windows signatures and
// are registered in the PC's module table under "wlanapi.dll".
//
// Notifications are delivered on the library's own thread, never on the
// caller's, to the callbacks registered per client handle. Unregistering (or
// closing the handle) waits for a delivery in progress to end, as the system
// does, unless it is called from inside a callback.
//
// Every buffer handed out is tracked until WlanFreeMemory takes it back, so
// tests can check that nothing leaks. Faults are taken by function name
// ("WlanHostedNetworkForceStart") and, for the interface queries and sets, by
// name and opcode ("WlanQueryInterface#4").
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/records/WlanTypes.h"

namespace plat {

class SimFaults;
class ModuleRegistry;

struct SimWlanPhy {
    DOT11_RADIO_STATE software = kDot11RadioStateOn;
    DOT11_RADIO_STATE hardware = kDot11RadioStateOn;
};

struct SimWlanInterface {
    GUID guid{};
    std::wstring description;
    WLAN_INTERFACE_STATE state = kWlanInterfaceDisconnected;
    std::vector<SimWlanPhy> phys{SimWlanPhy{}};
    // The value answered for the hosted-network-capable query (a BOOL the
    // drivers fill loosely: 1, -1 and other values occur).
    std::int32_t hostedNetworkCapable = 1;
    bool autoConf = true;
    // Setting the software radio on fails with this code when not 0.
    DWORD softRadioSetError = 0;
    DOT11_BSS_TYPE bssType = kDot11BssTypeInfrastructure;
    ULONG operationMode = kDot11OperationModeExtensibleStation;
};

// One WlanConnect as the library received it.
struct SimWlanConnection {
    GUID iface{};
    WLAN_CONNECTION_MODE mode = 0;
    std::wstring profile;
    bool hasSsid = false;
    bool hasBssidList = false;
    DOT11_BSS_TYPE bssType = 0;
    DWORD flags = 0;
};

// One WlanSetInterface as the library received it.
struct SimWlanSet {
    GUID iface{};
    WLAN_INTF_OPCODE opcode = 0;
    std::vector<BYTE> data;
};

enum class SimWlanVersion {
    Xp,     // the Native Wi-Fi update for XP: no capability query, no hosted network
    Vista,  // no hosted network
    Seven,  // everything
};

class SimWlan {
public:
    SimWlan(SimFaults& faults, ModuleRegistry& modules);
    ~SimWlan();
    SimWlan(const SimWlan&) = delete;
    SimWlan& operator=(const SimWlan&) = delete;

    // The library: present in the full version unless changed.
    void SetVersion(SimWlanVersion version);
    void RemoveLibrary();
    void AddInterface(const SimWlanInterface& iface);
    bool UpdateInterface(const GUID& guid, const SimWlanInterface& iface);
    bool GetInterface(const GUID& guid, SimWlanInterface* out) const;
    void ClearInterfaces();

    // The hosted network.
    void SetHostedNetworkEnabled(bool enabled);
    bool HostedNetworkEnabled() const;
    void SetHostedNetworkSettings(const std::string& ssid, DWORD maxPeers);
    WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS HostedNetworkSettings() const;
    void SetSecondaryKey(const std::vector<UCHAR>& key, bool passPhrase, bool persistent);
    std::vector<UCHAR> SecondaryKey() const;
    bool SecondaryKeyIsPassPhrase() const;
    bool SecondaryKeyPersistent() const;
    void SetStationProfile(const std::wstring& xml);
    // The GUID of the virtual adapter that carries the hosted network.
    void SetHostedNetworkDevice(const GUID& guid);
    WLAN_HOSTED_NETWORK_STATE HostedNetworkState() const;
    // Moves the state machine as the system would on its own and notifies the
    // change (nothing when the state stays).
    void ChangeHostedNetworkState(WLAN_HOSTED_NETWORK_STATE state,
                                  WLAN_HOSTED_NETWORK_REASON reason);
    // A station associates (authenticated) or leaves; notified as a peer
    // state change.
    void PeerJoin(const std::array<UCHAR, 6>& mac);
    void PeerLeave(const std::array<UCHAR, 6>& mac);
    void PeerStateChange(const std::array<UCHAR, 6>& mac, WLAN_HOSTED_NETWORK_PEER_AUTH_STATE from,
                         WLAN_HOSTED_NETWORK_PEER_AUTH_STATE to);
    std::vector<WLAN_HOSTED_NETWORK_PEER_STATE> Peers() const;
    // Queues any notification as it stands (payload copied).
    void Notify(DWORD source, DWORD code, const GUID& iface, const std::vector<BYTE>& payload);
    // Waits until every queued notification has been delivered.
    bool WaitDelivered(std::chrono::milliseconds timeout = std::chrono::seconds(10));

    // Client handles.
    std::size_t OpenHandles() const;
    // Every open handle becomes invalid (the service restarted): calls with it answer 6.
    void InvalidateHandles();
    std::size_t Registrations() const;

    // Profiles and connections.
    std::map<std::wstring, std::wstring> Profiles(const GUID& iface) const;
    std::vector<std::wstring> DeletedProfiles() const;
    std::vector<SimWlanConnection> Connects() const;
    std::vector<GUID> Disconnects() const;
    std::vector<SimWlanSet> Sets() const;
    // Reason code of the connection-complete notification after WlanConnect.
    void SetConnectReason(WLAN_REASON_CODE reason);

    // Memory handed out and not yet given back, and frees of unknown blocks.
    std::size_t OutstandingAllocations() const;
    std::size_t BadFrees() const;

    // The entry points (called through the module table).
    DWORD OpenHandle(DWORD clientVersion, DWORD* negotiated, HANDLE* handle);
    DWORD CloseHandle(HANDLE handle);
    DWORD RegisterNotification(HANDLE handle, DWORD source, WLAN_NOTIFICATION_CALLBACK callback,
                               PVOID context, DWORD* previous);
    void FreeMemory(PVOID memory);
    DWORD EnumInterfaces(HANDLE handle, WLAN_INTERFACE_INFO_LIST** list);
    DWORD QueryInterface(HANDLE handle, const GUID* iface, WLAN_INTF_OPCODE opcode, DWORD* size,
                         PVOID* data, WLAN_OPCODE_VALUE_TYPE* type);
    DWORD SetInterface(HANDLE handle, const GUID* iface, WLAN_INTF_OPCODE opcode, DWORD size,
                       const void* data);
    DWORD Connect(HANDLE handle, const GUID* iface, const WLAN_CONNECTION_PARAMETERS* params);
    DWORD Disconnect(HANDLE handle, const GUID* iface);
    DWORD SetProfile(HANDLE handle, const GUID* iface, LPCWSTR xml, BOOL overwrite,
                     DWORD* reasonCode);
    DWORD GetProfileList(HANDLE handle, const GUID* iface, WLAN_PROFILE_INFO_LIST** list);
    DWORD DeleteProfile(HANDLE handle, const GUID* iface, LPCWSTR name);
    DWORD GetAvailableNetworkList(HANDLE handle, const GUID* iface,
                                  WLAN_AVAILABLE_NETWORK_LIST** list);
    DWORD ReasonCodeToString(DWORD reason, DWORD size, WCHAR* buffer);
    DWORD GetInterfaceCapability(HANDLE handle, const GUID* iface,
                                 WLAN_INTERFACE_CAPABILITY** capability);
    DWORD HostedInitSettings(HANDLE handle, WLAN_HOSTED_NETWORK_REASON* reason);
    DWORD HostedForceStart(HANDLE handle, WLAN_HOSTED_NETWORK_REASON* reason, const char* name);
    DWORD HostedForceStop(HANDLE handle, WLAN_HOSTED_NETWORK_REASON* reason, const char* name);
    DWORD HostedQueryStatus(HANDLE handle, WLAN_HOSTED_NETWORK_STATUS** status);
    DWORD HostedQueryProperty(HANDLE handle, WLAN_HOSTED_NETWORK_OPCODE opcode, DWORD* size,
                              PVOID* data, WLAN_OPCODE_VALUE_TYPE* type);
    DWORD HostedSetProperty(HANDLE handle, WLAN_HOSTED_NETWORK_OPCODE opcode, DWORD size,
                            const void* data, WLAN_HOSTED_NETWORK_REASON* reason);
    DWORD HostedQuerySecondaryKey(HANDLE handle, DWORD* length, UCHAR** data, BOOL* passPhrase,
                                  BOOL* persistent, WLAN_HOSTED_NETWORK_REASON* reason);
    DWORD HostedSetSecondaryKey(HANDLE handle, DWORD length, const UCHAR* data, BOOL passPhrase,
                                BOOL persistent, WLAN_HOSTED_NETWORK_REASON* reason);
    DWORD HostedRefreshSecuritySettings(HANDLE handle, WLAN_HOSTED_NETWORK_REASON* reason);

    // The simulated PC's own instance, for the entry points.
    static SimWlan* Current();

private:
    struct Registration {
        DWORD source = 0;
        WLAN_NOTIFICATION_CALLBACK callback = nullptr;
        PVOID context = nullptr;
    };
    struct Event {
        DWORD source = 0;
        DWORD code = 0;
        GUID iface{};
        std::vector<BYTE> payload;
    };

    void RegisterModule();
    void* Alloc(std::size_t bytes);
    // Under m_lock.
    bool ValidHandle(HANDLE handle) const;
    SimWlanInterface* Find(const GUID* guid);
    void Queue(DWORD source, DWORD code, const GUID& iface, const std::vector<BYTE>& payload);
    void QueueStateChange(WLAN_HOSTED_NETWORK_STATE from, WLAN_HOSTED_NETWORK_STATE to,
                          WLAN_HOSTED_NETWORK_REASON reason);
    void QueuePeerChange(const WLAN_HOSTED_NETWORK_PEER_STATE& from,
                         const WLAN_HOSTED_NETWORK_PEER_STATE& to,
                         WLAN_HOSTED_NETWORK_REASON reason);
    void QueueConnection(const GUID& iface, DWORD code, const std::wstring& profile,
                         WLAN_REASON_CODE reason);
    bool AnyCapableInterface() const;
    void ApplyEnabled(bool enabled, WLAN_HOSTED_NETWORK_REASON reason);
    // Waits for a delivery in progress, unless called on the delivering thread.
    void WaitForDelivery();
    void DeliveryLoop(std::stop_token stop);

    SimFaults& m_faults;
    ModuleRegistry& m_modules;

    mutable std::mutex m_lock;
    std::vector<SimWlanInterface> m_interfaces;
    std::set<std::uintptr_t> m_handles;
    std::uintptr_t m_nextHandle = 0x1000;
    SimWlanVersion m_version = SimWlanVersion::Seven;
    DWORD m_maxClientVersion = kWlanClientVersionVista;
    std::map<std::uintptr_t, Registration> m_registrations;
    std::set<void*> m_allocations;
    std::size_t m_badFrees = 0;

    bool m_hostedEnabled = true;
    WLAN_HOSTED_NETWORK_STATE m_hostedState = kWlanHostedNetworkIdle;
    WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS m_settings{};
    std::vector<UCHAR> m_secondaryKey;
    bool m_keyPassPhrase = true;
    bool m_keyPersistent = true;
    std::wstring m_stationProfile;
    GUID m_hostedDevice{};
    std::vector<WLAN_HOSTED_NETWORK_PEER_STATE> m_peers;

    std::map<GUID, std::map<std::wstring, std::wstring>> m_profiles;
    std::vector<std::wstring> m_deletedProfiles;
    std::vector<SimWlanConnection> m_connects;
    std::vector<GUID> m_disconnects;
    std::vector<SimWlanSet> m_sets;
    std::map<GUID, std::wstring> m_connected;
    WLAN_REASON_CODE m_connectReason = 0;

    // Delivery: events in order, delivered one at a time on m_thread.
    std::deque<Event> m_queue;
    bool m_delivering = false;
    std::condition_variable_any m_queueChanged;
    std::condition_variable m_drained;
    std::mutex m_deliveryLock;  // held by the delivering thread during callbacks
    std::jthread m_thread;
};

}  // namespace plat
