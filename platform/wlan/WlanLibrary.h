// The Native Wi-Fi library's own layer (wlanapi.dll) for the backends that do
// not have the system's: the entry points with their Windows signatures,
// registered in a module table under "wlanapi.dll"; client handles and the
// version each negotiated; argument and record checks; every buffer handed out
// tracked until WlanFreeMemory takes it back; notifications delivered on the
// library's own thread, never on the caller's, to the callbacks registered per
// client handle. Unregistering (or closing the handle) waits for a delivery in
// progress to end, as the system does, unless it is called from inside a
// callback.
//
// Below it a `HostedNetworkDriver` keeps the interfaces and the hosted network.
// Faults are taken through the optional hook by function name
// ("WlanHostedNetworkForceStart") and, for the interface and hosted-network
// queries and sets, by name and opcode ("WlanQueryInterface#4").
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "HostedNetworkDriver.h"
#include "platform/records/WlanTypes.h"

namespace plat {

class ModuleRegistry;

// Which Windows the library comes with. A client names the highest version of
// the interface it speaks: XP's library speaks only version 1 and refuses 2;
// Vista's and 7's speak both and answer with the version asked for. On a
// handle of version 1 the calls XP does not have answer 50.
enum class WlanLibraryVersion {
    Xp,     // the Native Wi-Fi update for XP: no capability query, no hosted network
    Vista,  // no hosted network
    Seven,  // everything
};

// One WlanConnect as the library received it.
struct WlanConnectCall {
    GUID iface{};
    WLAN_CONNECTION_MODE mode = 0;
    std::wstring profile;
    bool hasSsid = false;
    bool hasBssidList = false;
    DOT11_BSS_TYPE bssType = 0;
    DWORD flags = 0;
};

// One WlanSetInterface as the library received it.
struct WlanSetCall {
    GUID iface{};
    WLAN_INTF_OPCODE opcode = 0;
    std::vector<BYTE> data;
};

class WlanLibrary : public HostedNetworkEvents {
public:
    // Answers the injected result of the named call, if one is due.
    using FaultHook = std::function<std::optional<std::int64_t>(const std::string& function)>;

    WlanLibrary(ModuleRegistry& modules, HostedNetworkDriver& driver, FaultHook faults = {});
    ~WlanLibrary();
    WlanLibrary(const WlanLibrary&) = delete;
    WlanLibrary& operator=(const WlanLibrary&) = delete;

    // The entry points reach this library from now on.
    void MakeCurrent();
    static WlanLibrary* Current();

    // The library as the Windows version has it (present in full unless changed).
    void SetVersion(WlanLibraryVersion version);
    void RemoveLibrary();

    // Queues any notification as it stands (payload copied).
    void Notify(DWORD source, DWORD code, const GUID& iface, const std::vector<BYTE>& payload);
    // Waits until every queued notification has been delivered.
    bool WaitDelivered(std::chrono::milliseconds timeout = std::chrono::seconds(10));

    // Client handles.
    std::size_t OpenHandles() const;
    // Every open handle becomes invalid (as when the service restarts): calls
    // with it answer 6.
    void InvalidateHandles();
    std::size_t Registrations() const;

    // What the library received.
    std::vector<WlanConnectCall> Connects() const;
    std::vector<GUID> Disconnects() const;
    std::vector<WlanSetCall> Sets() const;

    // Memory handed out and not yet given back, and frees of unknown blocks.
    std::size_t OutstandingAllocations() const;
    std::size_t BadFrees() const;

    // HostedNetworkEvents.
    void HostedNetworkStateChanged(WLAN_HOSTED_NETWORK_STATE from, WLAN_HOSTED_NETWORK_STATE to,
                                   WLAN_HOSTED_NETWORK_REASON reason) override;
    void PeerStateChanged(const WLAN_HOSTED_NETWORK_PEER_STATE& from,
                          const WLAN_HOSTED_NETWORK_PEER_STATE& to,
                          WLAN_HOSTED_NETWORK_REASON reason) override;
    void HostedNetworkRadioChanged(DOT11_RADIO_STATE software, DOT11_RADIO_STATE hardware) override;
    void ConnectionChanged(const GUID& iface, DWORD code, const std::wstring& profile,
                           DOT11_BSS_TYPE bssType, WLAN_REASON_CODE reason) override;
    void ServiceStopped() override;

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
        // The handles registered for it when it happened: a client that
        // registers later does not hear of it.
        std::vector<std::uintptr_t> targets;
        // Not a notification: the registrations of the stopped service end here.
        bool serviceEnd = false;
    };

    // Registers the entry points the version has (WlanLibraryExports.cpp).
    void RegisterModule();
    std::optional<std::int64_t> Fault(const std::string& function);
    bool Valid(HANDLE handle) const;
    // 0, or what a call with `handle` answers: 6 for a handle that is not
    // open, 50 for a call of the Windows 7 library on a handle that
    // negotiated the XP version.
    DWORD Check(HANDLE handle, bool needsVersion2) const;
    // Copies `bytes` into a tracked buffer.
    void* Hand(const void* value, std::size_t bytes);
    // Under m_lock.
    void* Alloc(std::size_t bytes);
    bool ValidHandle(HANDLE handle) const;
    void Queue(DWORD source, DWORD code, const GUID& iface, const std::vector<BYTE>& payload);
    // Waits for a delivery in progress, unless called on the delivering thread.
    void WaitForDelivery();
    void DeliveryLoop();

    ModuleRegistry& m_modules;
    HostedNetworkDriver& m_driver;
    FaultHook m_faults;

    mutable std::mutex m_lock;
    std::map<std::uintptr_t, DWORD> m_handles;  // open handles and their negotiated version
    std::uintptr_t m_nextHandle = 0x1000;
    WlanLibraryVersion m_version = WlanLibraryVersion::Seven;
    DWORD m_maxClientVersion = kWlanClientVersionVista;
    std::map<std::uintptr_t, Registration> m_registrations;
    std::set<void*> m_allocations;
    std::size_t m_badFrees = 0;

    std::vector<WlanConnectCall> m_connects;
    std::vector<GUID> m_disconnects;
    std::vector<WlanSetCall> m_sets;

    // Delivery: events in order, delivered one at a time on m_thread.
    std::deque<Event> m_queue;
    bool m_delivering = false;
    // A flag under m_lock rather than the thread's stop token: a wait on a
    // stop token can miss its wake-up in the MinGW-w64 C++ runtime, which has
    // no futex to wait on (the destructor's join then hangs).
    bool m_stopping = false;
    std::condition_variable m_queueChanged;
    std::condition_variable m_drained;
    std::mutex m_deliveryLock;  // held by the delivering thread during callbacks
    std::jthread m_thread;
};

}  // namespace plat
