#include "SimWlan.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "SimFaults.h"
#include "SimPc.h"
#include "platform/facility/ModuleRegistry.h"
#include "platform/text/TextCodec.h"

namespace plat {

namespace {

constexpr DWORD kErrorNotFound = 1168;
constexpr DWORD kErrorBadProfile = 1206;
constexpr DWORD kErrorServiceNotActive = 1062;
constexpr WLAN_REASON_CODE kReasonCodeInvalidProfileSchema = 0x80000 + 11;
constexpr DOT11_PHY_TYPE kDot11PhyTypeHt = 7;
constexpr ULONG kChannel6Frequency = 2437000;  // kHz
constexpr UCHAR kHostedBssid[6] = {0x02, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};

std::wstring FromWide(LPCWSTR text) {
    if (text == nullptr)
        return {};
    std::size_t n = 0;
    while (text[n] != 0)
        ++n;
    return TextCodec::FromWchars(text, n + 1);
}

// The first <name> element of a profile, with the predefined entities decoded
// as an XML reader would.
bool ProfileName(const std::wstring& xml, std::wstring* name) {
    const std::size_t open = xml.find(L"<name>");
    if (open == std::wstring::npos)
        return false;
    const std::size_t begin = open + 6;
    const std::size_t close = xml.find(L"</name>", begin);
    if (close == std::wstring::npos)
        return false;
    const std::wstring raw = xml.substr(begin, close - begin);
    static const std::pair<const wchar_t*, wchar_t> kEntities[] = {
        {L"&amp;", L'&'}, {L"&lt;", L'<'}, {L"&gt;", L'>'}, {L"&quot;", L'"'}, {L"&apos;", L'\''}};
    name->clear();
    for (std::size_t i = 0; i < raw.size();) {
        bool decoded = false;
        if (raw[i] == L'&') {
            for (const auto& [entity, c] : kEntities) {
                const std::size_t len = std::wcslen(entity);
                if (raw.compare(i, len, entity) == 0) {
                    name->push_back(c);
                    i += len;
                    decoded = true;
                    break;
                }
            }
        }
        if (!decoded)
            name->push_back(raw[i++]);
    }
    return !name->empty();
}

SimWlan* Sim() {
    return SimWlan::Current();
}

// The entry points of wlanapi.dll with their Windows signatures.
DWORD LUMARI_WINAPI SimWlanOpenHandle(DWORD version, PVOID, DWORD* negotiated, HANDLE* handle) {
    SimWlan* s = Sim();
    return s != nullptr ? s->OpenHandle(version, negotiated, handle) : kErrorServiceNotActive;
}
DWORD LUMARI_WINAPI SimWlanCloseHandle(HANDLE handle, PVOID) {
    SimWlan* s = Sim();
    return s != nullptr ? s->CloseHandle(handle) : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI SimWlanRegisterNotification(HANDLE handle, DWORD source, BOOL,
                                                WLAN_NOTIFICATION_CALLBACK callback, PVOID context,
                                                PVOID, DWORD* previous) {
    SimWlan* s = Sim();
    return s != nullptr ? s->RegisterNotification(handle, source, callback, context, previous)
                        : kErrorInvalidHandle;
}
void LUMARI_WINAPI SimWlanFreeMemory(PVOID memory) {
    if (SimWlan* s = Sim())
        s->FreeMemory(memory);
}
DWORD LUMARI_WINAPI SimWlanQueryInterface(HANDLE handle, const GUID* iface, WLAN_INTF_OPCODE op,
                                          PVOID, DWORD* size, PVOID* data,
                                          WLAN_OPCODE_VALUE_TYPE* type) {
    SimWlan* s = Sim();
    return s != nullptr ? s->QueryInterface(handle, iface, op, size, data, type)
                        : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI SimWlanSetInterface(HANDLE handle, const GUID* iface, WLAN_INTF_OPCODE op,
                                        DWORD size, const PVOID data, PVOID) {
    SimWlan* s = Sim();
    return s != nullptr ? s->SetInterface(handle, iface, op, size, data) : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI SimWlanConnect(HANDLE handle, const GUID* iface,
                                   const WLAN_CONNECTION_PARAMETERS* params, PVOID) {
    SimWlan* s = Sim();
    return s != nullptr ? s->Connect(handle, iface, params) : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI SimWlanDisconnect(HANDLE handle, const GUID* iface, PVOID) {
    SimWlan* s = Sim();
    return s != nullptr ? s->Disconnect(handle, iface) : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI SimWlanSetProfile(HANDLE handle, const GUID* iface, DWORD, LPCWSTR xml, LPCWSTR,
                                      BOOL overwrite, PVOID, DWORD* reasonCode) {
    SimWlan* s = Sim();
    return s != nullptr ? s->SetProfile(handle, iface, xml, overwrite, reasonCode)
                        : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI SimWlanEnumInterfaces(HANDLE handle, PVOID, WLAN_INTERFACE_INFO_LIST** list) {
    SimWlan* s = Sim();
    return s != nullptr ? s->EnumInterfaces(handle, list) : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI SimWlanGetProfileList(HANDLE handle, const GUID* iface, PVOID,
                                          WLAN_PROFILE_INFO_LIST** list) {
    SimWlan* s = Sim();
    return s != nullptr ? s->GetProfileList(handle, iface, list) : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI SimWlanDeleteProfile(HANDLE handle, const GUID* iface, LPCWSTR name, PVOID) {
    SimWlan* s = Sim();
    return s != nullptr ? s->DeleteProfile(handle, iface, name) : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI SimWlanGetAvailableNetworkList(HANDLE handle, const GUID* iface, DWORD, PVOID,
                                                   WLAN_AVAILABLE_NETWORK_LIST** list) {
    SimWlan* s = Sim();
    return s != nullptr ? s->GetAvailableNetworkList(handle, iface, list) : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI SimWlanReasonCodeToString(DWORD reason, DWORD size, WCHAR* buffer, PVOID) {
    SimWlan* s = Sim();
    return s != nullptr ? s->ReasonCodeToString(reason, size, buffer) : kErrorInvalidParameter;
}
DWORD LUMARI_WINAPI SimWlanGetInterfaceCapability(HANDLE handle, const GUID* iface, PVOID,
                                                  WLAN_INTERFACE_CAPABILITY** capability) {
    SimWlan* s = Sim();
    return s != nullptr ? s->GetInterfaceCapability(handle, iface, capability)
                        : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI SimWlanHostedNetworkInitSettings(HANDLE handle,
                                                     WLAN_HOSTED_NETWORK_REASON* reason, PVOID) {
    SimWlan* s = Sim();
    return s != nullptr ? s->HostedInitSettings(handle, reason) : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI SimWlanHostedNetworkForceStart(HANDLE handle,
                                                   WLAN_HOSTED_NETWORK_REASON* reason, PVOID) {
    SimWlan* s = Sim();
    return s != nullptr ? s->HostedForceStart(handle, reason, "WlanHostedNetworkForceStart")
                        : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI SimWlanHostedNetworkForceStop(HANDLE handle, WLAN_HOSTED_NETWORK_REASON* reason,
                                                  PVOID) {
    SimWlan* s = Sim();
    return s != nullptr ? s->HostedForceStop(handle, reason, "WlanHostedNetworkForceStop")
                        : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI SimWlanHostedNetworkStartUsing(HANDLE handle,
                                                   WLAN_HOSTED_NETWORK_REASON* reason, PVOID) {
    SimWlan* s = Sim();
    return s != nullptr ? s->HostedForceStart(handle, reason, "WlanHostedNetworkStartUsing")
                        : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI SimWlanHostedNetworkStopUsing(HANDLE handle, WLAN_HOSTED_NETWORK_REASON* reason,
                                                  PVOID) {
    SimWlan* s = Sim();
    return s != nullptr ? s->HostedForceStop(handle, reason, "WlanHostedNetworkStopUsing")
                        : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI SimWlanHostedNetworkQueryStatus(HANDLE handle,
                                                    WLAN_HOSTED_NETWORK_STATUS** status, PVOID) {
    SimWlan* s = Sim();
    return s != nullptr ? s->HostedQueryStatus(handle, status) : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI SimWlanHostedNetworkQueryProperty(HANDLE handle, WLAN_HOSTED_NETWORK_OPCODE op,
                                                      DWORD* size, PVOID* data,
                                                      WLAN_OPCODE_VALUE_TYPE* type, PVOID) {
    SimWlan* s = Sim();
    return s != nullptr ? s->HostedQueryProperty(handle, op, size, data, type)
                        : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI SimWlanHostedNetworkSetProperty(HANDLE handle, WLAN_HOSTED_NETWORK_OPCODE op,
                                                    DWORD size, PVOID data,
                                                    WLAN_HOSTED_NETWORK_REASON* reason, PVOID) {
    SimWlan* s = Sim();
    return s != nullptr ? s->HostedSetProperty(handle, op, size, data, reason)
                        : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI SimWlanHostedNetworkQuerySecondaryKey(HANDLE handle, DWORD* length,
                                                          UCHAR** data, BOOL* passPhrase,
                                                          BOOL* persistent,
                                                          WLAN_HOSTED_NETWORK_REASON* reason,
                                                          PVOID) {
    SimWlan* s = Sim();
    return s != nullptr
               ? s->HostedQuerySecondaryKey(handle, length, data, passPhrase, persistent, reason)
               : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI SimWlanHostedNetworkSetSecondaryKey(HANDLE handle, DWORD length, UCHAR* data,
                                                        BOOL passPhrase, BOOL persistent,
                                                        WLAN_HOSTED_NETWORK_REASON* reason, PVOID) {
    SimWlan* s = Sim();
    return s != nullptr
               ? s->HostedSetSecondaryKey(handle, length, data, passPhrase, persistent, reason)
               : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI SimWlanHostedNetworkRefreshSecuritySettings(HANDLE handle,
                                                                WLAN_HOSTED_NETWORK_REASON* reason,
                                                                PVOID) {
    SimWlan* s = Sim();
    return s != nullptr ? s->HostedRefreshSecuritySettings(handle, reason) : kErrorInvalidHandle;
}

HANDLE ToHandle(std::uintptr_t id) {
    return reinterpret_cast<HANDLE>(id);
}
std::uintptr_t FromHandle(HANDLE h) {
    return reinterpret_cast<std::uintptr_t>(h);
}

}  // namespace

SimWlan::SimWlan(SimFaults& faults, ModuleRegistry& modules)
    : m_faults(faults), m_modules(modules) {
    RegisterModule();
    m_thread = std::jthread([this](std::stop_token stop) { DeliveryLoop(std::move(stop)); });
}

SimWlan::~SimWlan() {
    m_thread.request_stop();
    if (m_thread.joinable())
        m_thread.join();
    std::lock_guard<std::mutex> g(m_lock);
    for (void* p : m_allocations)
        std::free(p);
}

SimWlan* SimWlan::Current() {
    SimPc* pc = SimPc::Current();
    return pc != nullptr ? &pc->wlan : nullptr;
}

void SimWlan::RegisterModule() {
    m_modules.Add(
        L"wlanapi.dll",
        {
            {"WlanOpenHandle", ModuleRegistry::Fn(&SimWlanOpenHandle)},
            {"WlanRegisterNotification", ModuleRegistry::Fn(&SimWlanRegisterNotification)},
            {"WlanCloseHandle", ModuleRegistry::Fn(&SimWlanCloseHandle)},
            {"WlanFreeMemory", ModuleRegistry::Fn(&SimWlanFreeMemory)},
            {"WlanQueryInterface", ModuleRegistry::Fn(&SimWlanQueryInterface)},
            {"WlanSetInterface", ModuleRegistry::Fn(&SimWlanSetInterface)},
            {"WlanConnect", ModuleRegistry::Fn(&SimWlanConnect)},
            {"WlanDisconnect", ModuleRegistry::Fn(&SimWlanDisconnect)},
            {"WlanSetProfile", ModuleRegistry::Fn(&SimWlanSetProfile)},
            {"WlanEnumInterfaces", ModuleRegistry::Fn(&SimWlanEnumInterfaces)},
            {"WlanGetProfileList", ModuleRegistry::Fn(&SimWlanGetProfileList)},
            {"WlanDeleteProfile", ModuleRegistry::Fn(&SimWlanDeleteProfile)},
            {"WlanGetAvailableNetworkList", ModuleRegistry::Fn(&SimWlanGetAvailableNetworkList)},
            {"WlanReasonCodeToString", ModuleRegistry::Fn(&SimWlanReasonCodeToString)},
            {"WlanGetInterfaceCapability", ModuleRegistry::Fn(&SimWlanGetInterfaceCapability)},
            {"WlanHostedNetworkInitSettings",
             ModuleRegistry::Fn(&SimWlanHostedNetworkInitSettings)},
            {"WlanHostedNetworkForceStart", ModuleRegistry::Fn(&SimWlanHostedNetworkForceStart)},
            {"WlanHostedNetworkForceStop", ModuleRegistry::Fn(&SimWlanHostedNetworkForceStop)},
            {"WlanHostedNetworkQueryStatus", ModuleRegistry::Fn(&SimWlanHostedNetworkQueryStatus)},
            {"WlanHostedNetworkQueryProperty",
             ModuleRegistry::Fn(&SimWlanHostedNetworkQueryProperty)},
            {"WlanHostedNetworkQuerySecondaryKey",
             ModuleRegistry::Fn(&SimWlanHostedNetworkQuerySecondaryKey)},
            {"WlanHostedNetworkRefreshSecuritySettings",
             ModuleRegistry::Fn(&SimWlanHostedNetworkRefreshSecuritySettings)},
            {"WlanHostedNetworkSetSecondaryKey",
             ModuleRegistry::Fn(&SimWlanHostedNetworkSetSecondaryKey)},
            {"WlanHostedNetworkSetProperty", ModuleRegistry::Fn(&SimWlanHostedNetworkSetProperty)},
            {"WlanHostedNetworkStartUsing", ModuleRegistry::Fn(&SimWlanHostedNetworkStartUsing)},
            {"WlanHostedNetworkStopUsing", ModuleRegistry::Fn(&SimWlanHostedNetworkStopUsing)},
        });
}

void SimWlan::SetVersion(SimWlanVersion version) {
    RegisterModule();
    static const char* const kHosted[] = {"WlanHostedNetworkInitSettings",
                                          "WlanHostedNetworkForceStart",
                                          "WlanHostedNetworkForceStop",
                                          "WlanHostedNetworkQueryStatus",
                                          "WlanHostedNetworkQueryProperty",
                                          "WlanHostedNetworkQuerySecondaryKey",
                                          "WlanHostedNetworkRefreshSecuritySettings",
                                          "WlanHostedNetworkSetSecondaryKey",
                                          "WlanHostedNetworkSetProperty",
                                          "WlanHostedNetworkStartUsing",
                                          "WlanHostedNetworkStopUsing"};
    if (version != SimWlanVersion::Seven)
        for (const char* name : kHosted)
            m_modules.RemoveFunction(L"wlanapi.dll", name);
    if (version == SimWlanVersion::Xp)
        m_modules.RemoveFunction(L"wlanapi.dll", "WlanGetInterfaceCapability");
    std::lock_guard<std::mutex> g(m_lock);
    m_version = version;
    m_maxClientVersion =
        version == SimWlanVersion::Xp ? kWlanClientVersionXp : kWlanClientVersionVista;
}

void SimWlan::RemoveLibrary() {
    m_modules.Remove(L"wlanapi.dll");
}

void SimWlan::AddInterface(const SimWlanInterface& iface) {
    std::lock_guard<std::mutex> g(m_lock);
    m_interfaces.push_back(iface);
}

bool SimWlan::UpdateInterface(const GUID& guid, const SimWlanInterface& iface) {
    std::lock_guard<std::mutex> g(m_lock);
    SimWlanInterface* i = Find(&guid);
    if (i == nullptr)
        return false;
    *i = iface;
    return true;
}

bool SimWlan::GetInterface(const GUID& guid, SimWlanInterface* out) const {
    std::lock_guard<std::mutex> g(m_lock);
    for (const auto& i : m_interfaces) {
        if (i.guid == guid) {
            *out = i;
            return true;
        }
    }
    return false;
}

void SimWlan::ClearInterfaces() {
    std::lock_guard<std::mutex> g(m_lock);
    m_interfaces.clear();
}

void SimWlan::SetHostedNetworkEnabled(bool enabled) {
    std::lock_guard<std::mutex> g(m_lock);
    ApplyEnabled(enabled, kWlanHostedNetworkReasonUserAction);
}

bool SimWlan::HostedNetworkEnabled() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_hostedEnabled;
}

void SimWlan::SetHostedNetworkSettings(const std::string& ssid, DWORD maxPeers) {
    std::lock_guard<std::mutex> g(m_lock);
    m_settings = {};
    const std::size_t n = std::min(ssid.size(), kDot11SsidMaxLength);
    std::memcpy(m_settings.hostedNetworkSSID.ucSSID, ssid.data(), n);
    m_settings.hostedNetworkSSID.uSSIDLength = static_cast<ULONG>(n);
    m_settings.dwMaxNumberOfPeers = maxPeers;
}

WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS SimWlan::HostedNetworkSettings() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_settings;
}

void SimWlan::SetSecondaryKey(const std::vector<UCHAR>& key, bool passPhrase, bool persistent) {
    std::lock_guard<std::mutex> g(m_lock);
    m_secondaryKey = key;
    m_keyPassPhrase = passPhrase;
    m_keyPersistent = persistent;
}

std::vector<UCHAR> SimWlan::SecondaryKey() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_secondaryKey;
}

bool SimWlan::SecondaryKeyIsPassPhrase() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_keyPassPhrase;
}

bool SimWlan::SecondaryKeyPersistent() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_keyPersistent;
}

void SimWlan::SetStationProfile(const std::wstring& xml) {
    std::lock_guard<std::mutex> g(m_lock);
    m_stationProfile = xml;
}

void SimWlan::SetHostedNetworkDevice(const GUID& guid) {
    std::lock_guard<std::mutex> g(m_lock);
    m_hostedDevice = guid;
}

WLAN_HOSTED_NETWORK_STATE SimWlan::HostedNetworkState() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_hostedState;
}

void SimWlan::ChangeHostedNetworkState(WLAN_HOSTED_NETWORK_STATE state,
                                       WLAN_HOSTED_NETWORK_REASON reason) {
    std::lock_guard<std::mutex> g(m_lock);
    if (state == m_hostedState)
        return;
    QueueStateChange(m_hostedState, state, reason);
    m_hostedState = state;
    if (state != kWlanHostedNetworkActive)
        m_peers.clear();
}

void SimWlan::PeerJoin(const std::array<UCHAR, 6>& mac) {
    PeerStateChange(mac, kWlanHostedNetworkPeerStateInvalid,
                    kWlanHostedNetworkPeerStateAuthenticated);
}

void SimWlan::PeerLeave(const std::array<UCHAR, 6>& mac) {
    PeerStateChange(mac, kWlanHostedNetworkPeerStateAuthenticated,
                    kWlanHostedNetworkPeerStateInvalid);
}

void SimWlan::PeerStateChange(const std::array<UCHAR, 6>& mac,
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
    QueuePeerChange(oldState, newState,
                    to == kWlanHostedNetworkPeerStateInvalid ? kWlanHostedNetworkReasonPeerDeparted
                                                             : kWlanHostedNetworkReasonPeerArrived);
}

std::vector<WLAN_HOSTED_NETWORK_PEER_STATE> SimWlan::Peers() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_peers;
}

void SimWlan::Notify(DWORD source, DWORD code, const GUID& iface,
                     const std::vector<BYTE>& payload) {
    std::lock_guard<std::mutex> g(m_lock);
    Queue(source, code, iface, payload);
}

bool SimWlan::WaitDelivered(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_lock);
    return m_drained.wait_for(lock, timeout, [&] { return m_queue.empty() && !m_delivering; });
}

std::size_t SimWlan::OpenHandles() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_handles.size();
}

void SimWlan::InvalidateHandles() {
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_handles.clear();
        m_registrations.clear();
    }
    WaitForDelivery();
}

std::size_t SimWlan::Registrations() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_registrations.size();
}

std::map<std::wstring, std::wstring> SimWlan::Profiles(const GUID& iface) const {
    std::lock_guard<std::mutex> g(m_lock);
    auto it = m_profiles.find(iface);
    return it == m_profiles.end() ? std::map<std::wstring, std::wstring>{} : it->second;
}

std::vector<std::wstring> SimWlan::DeletedProfiles() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_deletedProfiles;
}

std::vector<SimWlanConnection> SimWlan::Connects() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_connects;
}

std::vector<GUID> SimWlan::Disconnects() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_disconnects;
}

std::vector<SimWlanSet> SimWlan::Sets() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_sets;
}

void SimWlan::SetConnectReason(WLAN_REASON_CODE reason) {
    std::lock_guard<std::mutex> g(m_lock);
    m_connectReason = reason;
}

std::size_t SimWlan::OutstandingAllocations() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_allocations.size();
}

std::size_t SimWlan::BadFrees() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_badFrees;
}

// ---- internals (m_lock held unless said otherwise) ----

void* SimWlan::Alloc(std::size_t bytes) {
    void* p = std::calloc(1, bytes == 0 ? 1 : bytes);
    if (p != nullptr)
        m_allocations.insert(p);
    return p;
}

bool SimWlan::ValidHandle(HANDLE handle) const {
    return m_handles.count(FromHandle(handle)) != 0;
}

SimWlanInterface* SimWlan::Find(const GUID* guid) {
    if (guid == nullptr)
        return nullptr;
    for (auto& i : m_interfaces)
        if (i.guid == *guid)
            return &i;
    return nullptr;
}

void SimWlan::ApplyEnabled(bool enabled, WLAN_HOSTED_NETWORK_REASON reason) {
    // Disabled, the hosted network is unavailable; enabled again, it is idle.
    m_hostedEnabled = enabled;
    WLAN_HOSTED_NETWORK_STATE next = m_hostedState;
    if (!enabled)
        next = kWlanHostedNetworkUnavailable;
    else if (m_hostedState == kWlanHostedNetworkUnavailable)
        next = kWlanHostedNetworkIdle;
    if (next == m_hostedState)
        return;
    QueueStateChange(m_hostedState, next, reason);
    m_hostedState = next;
    if (next != kWlanHostedNetworkActive)
        m_peers.clear();
}

bool SimWlan::AnyCapableInterface() const {
    for (const auto& i : m_interfaces) {
        if (i.hostedNetworkCapable != 1 && i.hostedNetworkCapable != -1)
            continue;
        bool on = true;
        for (const auto& phy : i.phys)
            on = on && phy.hardware == kDot11RadioStateOn && phy.software == kDot11RadioStateOn;
        if (on)
            return true;
    }
    return false;
}

void SimWlan::Queue(DWORD source, DWORD code, const GUID& iface, const std::vector<BYTE>& payload) {
    m_queue.push_back(Event{source, code, iface, payload});
    m_queueChanged.notify_all();
}

void SimWlan::QueueStateChange(WLAN_HOSTED_NETWORK_STATE from, WLAN_HOSTED_NETWORK_STATE to,
                               WLAN_HOSTED_NETWORK_REASON reason) {
    WLAN_HOSTED_NETWORK_STATE_CHANGE change{from, to, reason};
    std::vector<BYTE> payload(sizeof change);
    std::memcpy(payload.data(), &change, sizeof change);
    Queue(kWlanNotificationSourceHnwk, kWlanHostedNetworkStateChange, GUID_NULL_, payload);
}

void SimWlan::QueuePeerChange(const WLAN_HOSTED_NETWORK_PEER_STATE& from,
                              const WLAN_HOSTED_NETWORK_PEER_STATE& to,
                              WLAN_HOSTED_NETWORK_REASON reason) {
    WLAN_HOSTED_NETWORK_DATA_PEER_STATE_CHANGE change{};
    change.OldState = from;
    change.NewState = to;
    change.PeerStateChangeReason = reason;
    std::vector<BYTE> payload(sizeof change);
    std::memcpy(payload.data(), &change, sizeof change);
    Queue(kWlanNotificationSourceHnwk, kWlanHostedNetworkPeerStateChange, GUID_NULL_, payload);
}

void SimWlan::QueueConnection(const GUID& iface, DWORD code, const std::wstring& profile,
                              WLAN_REASON_CODE reason) {
    WLAN_CONNECTION_NOTIFICATION_DATA data{};
    data.wlanConnectionMode = kWlanConnectionModeProfile;
    TextCodec::ToWchars(profile, data.strProfileName, kWlanMaxNameLength);
    data.dot11BssType = kDot11BssTypeIndependent;
    data.wlanReasonCode = reason;
    std::vector<BYTE> payload(sizeof data);
    std::memcpy(payload.data(), &data, sizeof data);
    Queue(kWlanNotificationSourceAcm, code, iface, payload);
}

void SimWlan::WaitForDelivery() {
    // Called without m_lock. A callback that unregisters must not wait for itself.
    if (std::this_thread::get_id() == m_thread.get_id())
        return;
    std::lock_guard<std::mutex> wait(m_deliveryLock);
}

void SimWlan::DeliveryLoop(std::stop_token stop) {
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        m_queueChanged.wait(lock, stop, [&] { return !m_queue.empty(); });
        if (stop.stop_requested())
            return;
        Event event = std::move(m_queue.front());
        m_queue.pop_front();
        m_delivering = true;
        lock.unlock();
        {
            // Held while the callbacks run, so that an unregistration can wait
            // for the delivery it raced with.
            std::lock_guard<std::mutex> delivering(m_deliveryLock);
            std::vector<Registration> targets;
            {
                std::lock_guard<std::mutex> g(m_lock);
                for (const auto& [handle, r] : m_registrations)
                    if ((r.source & event.source) != 0 && r.callback != nullptr)
                        targets.push_back(r);
            }
            for (const Registration& r : targets) {
                // Every callback gets its own copy, as each may keep or change it.
                std::vector<BYTE> payload = event.payload;
                WLAN_NOTIFICATION_DATA data{};
                data.NotificationSource = event.source;
                data.NotificationCode = event.code;
                data.InterfaceGuid = event.iface;
                data.dwDataSize = static_cast<DWORD>(payload.size());
                data.pData = payload.empty() ? nullptr : payload.data();
                r.callback(&data, r.context);
            }
        }
        lock.lock();
        m_delivering = false;
        if (m_queue.empty())
            m_drained.notify_all();
    }
}

// ---- entry points ----

DWORD SimWlan::OpenHandle(DWORD clientVersion, DWORD* negotiated, HANDLE* handle) {
    if (auto f = m_faults.Take("WlanOpenHandle"))
        return static_cast<DWORD>(*f);
    if (negotiated == nullptr || handle == nullptr)
        return kErrorInvalidParameter;
    if (clientVersion != kWlanClientVersionXp && clientVersion != kWlanClientVersionVista)
        return kErrorInvalidParameter;
    std::lock_guard<std::mutex> g(m_lock);
    *negotiated = std::min(clientVersion, m_maxClientVersion);
    const std::uintptr_t id = m_nextHandle++;
    m_handles.insert(id);
    *handle = ToHandle(id);
    return 0;
}

DWORD SimWlan::CloseHandle(HANDLE handle) {
    if (auto f = m_faults.Take("WlanCloseHandle"))
        return static_cast<DWORD>(*f);
    {
        std::lock_guard<std::mutex> g(m_lock);
        if (!ValidHandle(handle))
            return kErrorInvalidHandle;
        m_handles.erase(FromHandle(handle));
        m_registrations.erase(FromHandle(handle));
    }
    WaitForDelivery();
    return 0;
}

DWORD SimWlan::RegisterNotification(HANDLE handle, DWORD source,
                                    WLAN_NOTIFICATION_CALLBACK callback, PVOID context,
                                    DWORD* previous) {
    if (auto f = m_faults.Take("WlanRegisterNotification"))
        return static_cast<DWORD>(*f);
    {
        std::lock_guard<std::mutex> g(m_lock);
        if (!ValidHandle(handle))
            return kErrorInvalidHandle;
        auto it = m_registrations.find(FromHandle(handle));
        if (previous != nullptr)
            *previous = it != m_registrations.end() ? it->second.source : 0;
        if (source != kWlanNotificationSourceNone) {
            if (callback == nullptr)
                return kErrorInvalidParameter;
            m_registrations[FromHandle(handle)] = Registration{source, callback, context};
            return 0;
        }
        if (it != m_registrations.end())
            m_registrations.erase(it);
    }
    WaitForDelivery();
    return 0;
}

void SimWlan::FreeMemory(PVOID memory) {
    m_faults.Take("WlanFreeMemory");
    if (memory == nullptr)
        return;
    std::lock_guard<std::mutex> g(m_lock);
    if (m_allocations.erase(memory) == 0) {
        ++m_badFrees;
        return;
    }
    std::free(memory);
}

DWORD SimWlan::EnumInterfaces(HANDLE handle, WLAN_INTERFACE_INFO_LIST** list) {
    if (auto f = m_faults.Take("WlanEnumInterfaces"))
        return static_cast<DWORD>(*f);
    if (list == nullptr)
        return kErrorInvalidParameter;
    std::lock_guard<std::mutex> g(m_lock);
    if (!ValidHandle(handle))
        return kErrorInvalidHandle;
    const std::size_t n = m_interfaces.size();
    auto* out = static_cast<WLAN_INTERFACE_INFO_LIST*>(
        Alloc(offsetof(WLAN_INTERFACE_INFO_LIST, InterfaceInfo) +
              std::max<std::size_t>(n, 1) * sizeof(WLAN_INTERFACE_INFO)));
    if (out == nullptr)
        return kErrorNotEnoughMemory;
    out->dwNumberOfItems = static_cast<DWORD>(n);
    for (std::size_t i = 0; i < n; ++i) {
        WLAN_INTERFACE_INFO& info = out->InterfaceInfo[i];
        info.InterfaceGuid = m_interfaces[i].guid;
        TextCodec::ToWchars(m_interfaces[i].description, info.strInterfaceDescription,
                            kWlanMaxNameLength);
        info.isState = m_interfaces[i].state;
    }
    *list = out;
    return 0;
}

DWORD SimWlan::QueryInterface(HANDLE handle, const GUID* guid, WLAN_INTF_OPCODE opcode, DWORD* size,
                              PVOID* data, WLAN_OPCODE_VALUE_TYPE* type) {
    if (auto f = m_faults.Take("WlanQueryInterface"))
        return static_cast<DWORD>(*f);
    if (auto f = m_faults.Take("WlanQueryInterface#" + std::to_string(opcode)))
        return static_cast<DWORD>(*f);
    if (guid == nullptr || size == nullptr || data == nullptr)
        return kErrorInvalidParameter;
    std::lock_guard<std::mutex> g(m_lock);
    if (!ValidHandle(handle))
        return kErrorInvalidHandle;
    SimWlanInterface* iface = Find(guid);
    if (iface == nullptr)
        return kErrorNotFound;

    auto answer = [&](const void* value, std::size_t bytes) -> DWORD {
        void* out = Alloc(bytes);
        if (out == nullptr)
            return kErrorNotEnoughMemory;
        std::memcpy(out, value, bytes);
        *data = out;
        *size = static_cast<DWORD>(bytes);
        if (type != nullptr)
            *type = kWlanOpcodeValueTypeSetByUser;
        return 0;
    };
    switch (opcode) {
        case kWlanIntfOpcodeAutoconfEnabled: {
            const BOOL v = iface->autoConf ? TRUE_ : FALSE_;
            return answer(&v, sizeof v);
        }
        case kWlanIntfOpcodeRadioState: {
            // Exactly as many PHY entries as the interface has.
            const std::size_t n = std::min(iface->phys.size(), kWlanMaxPhyIndex);
            std::vector<BYTE> bytes(offsetof(WLAN_RADIO_STATE, PhyRadioState) +
                                    n * sizeof(WLAN_PHY_RADIO_STATE));
            const DWORD count = static_cast<DWORD>(n);
            std::memcpy(bytes.data(), &count, sizeof count);
            for (std::size_t i = 0; i < n; ++i) {
                const WLAN_PHY_RADIO_STATE phy{static_cast<DWORD>(i), iface->phys[i].software,
                                               iface->phys[i].hardware};
                std::memcpy(bytes.data() + offsetof(WLAN_RADIO_STATE, PhyRadioState) +
                                i * sizeof(WLAN_PHY_RADIO_STATE),
                            &phy, sizeof phy);
            }
            return answer(bytes.data(), bytes.size());
        }
        case kWlanIntfOpcodeBssType:
            return answer(&iface->bssType, sizeof iface->bssType);
        case kWlanIntfOpcodeInterfaceState:
            return answer(&iface->state, sizeof iface->state);
        case kWlanIntfOpcodeCurrentOperationMode:
            return answer(&iface->operationMode, sizeof iface->operationMode);
        case kWlanIntfOpcodeHostedNetworkCapable:
            if (m_version != SimWlanVersion::Seven)
                return kErrorInvalidParameter;
            return answer(&iface->hostedNetworkCapable, sizeof iface->hostedNetworkCapable);
        default:
            return kErrorInvalidParameter;
    }
}

DWORD SimWlan::SetInterface(HANDLE handle, const GUID* guid, WLAN_INTF_OPCODE opcode, DWORD size,
                            const void* data) {
    {
        std::lock_guard<std::mutex> g(m_lock);
        SimWlanSet set;
        set.iface = guid != nullptr ? *guid : GUID{};
        set.opcode = opcode;
        if (data != nullptr)
            set.data.assign(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
        m_sets.push_back(std::move(set));
    }
    if (auto f = m_faults.Take("WlanSetInterface"))
        return static_cast<DWORD>(*f);
    if (auto f = m_faults.Take("WlanSetInterface#" + std::to_string(opcode)))
        return static_cast<DWORD>(*f);
    if (guid == nullptr || data == nullptr)
        return kErrorInvalidParameter;
    std::lock_guard<std::mutex> g(m_lock);
    if (!ValidHandle(handle))
        return kErrorInvalidHandle;
    SimWlanInterface* iface = Find(guid);
    if (iface == nullptr)
        return kErrorNotFound;
    DWORD value = 0;
    switch (opcode) {
        case kWlanIntfOpcodeAutoconfEnabled:
            if (size != sizeof(BOOL))
                return kErrorInvalidParameter;
            std::memcpy(&value, data, sizeof value);
            iface->autoConf = value != 0;
            return 0;
        case kWlanIntfOpcodeRadioState: {
            if (size != sizeof(WLAN_PHY_RADIO_STATE))
                return kErrorInvalidParameter;
            WLAN_PHY_RADIO_STATE phy{};
            std::memcpy(&phy, data, sizeof phy);
            if (phy.dwPhyIndex >= iface->phys.size())
                return kErrorInvalidParameter;
            if (iface->softRadioSetError != 0)
                return iface->softRadioSetError;
            iface->phys[phy.dwPhyIndex].software = phy.dot11SoftwareRadioState;
            return 0;
        }
        case kWlanIntfOpcodeBssType:
            if (size != sizeof(DOT11_BSS_TYPE))
                return kErrorInvalidParameter;
            std::memcpy(&value, data, sizeof value);
            if (value < kDot11BssTypeInfrastructure || value > kDot11BssTypeAny)
                return kErrorInvalidParameter;
            iface->bssType = value;
            return 0;
        case kWlanIntfOpcodeCurrentOperationMode:
            if (size != sizeof(ULONG))
                return kErrorInvalidParameter;
            std::memcpy(&iface->operationMode, data, sizeof(ULONG));
            return 0;
        default:
            return kErrorInvalidParameter;
    }
}

DWORD SimWlan::Connect(HANDLE handle, const GUID* guid, const WLAN_CONNECTION_PARAMETERS* params) {
    {
        std::lock_guard<std::mutex> g(m_lock);
        SimWlanConnection c;
        c.iface = guid != nullptr ? *guid : GUID{};
        if (params != nullptr) {
            c.mode = params->wlanConnectionMode;
            c.profile = FromWide(params->strProfile);
            c.hasSsid = params->pDot11Ssid != nullptr;
            c.hasBssidList = params->pDesiredBssidList != nullptr;
            c.bssType = params->dot11BssType;
            c.flags = params->dwFlags;
        }
        m_connects.push_back(c);
    }
    if (auto f = m_faults.Take("WlanConnect"))
        return static_cast<DWORD>(*f);
    if (guid == nullptr || params == nullptr)
        return kErrorInvalidParameter;
    std::lock_guard<std::mutex> g(m_lock);
    if (!ValidHandle(handle))
        return kErrorInvalidHandle;
    SimWlanInterface* iface = Find(guid);
    if (iface == nullptr)
        return kErrorNotFound;
    const std::wstring profile = FromWide(params->strProfile);
    if (params->wlanConnectionMode == kWlanConnectionModeProfile) {
        const auto& profiles = m_profiles[*guid];
        if (profiles.find(profile) == profiles.end())
            return kErrorNotFound;
    }
    m_connected[*guid] = profile;
    iface->state = params->dot11BssType == kDot11BssTypeIndependent
                       ? kWlanInterfaceAdHocNetworkFormed
                       : kWlanInterfaceConnected;
    QueueConnection(*guid, kWlanNotificationAcmConnectionComplete, profile, m_connectReason);
    return 0;
}

DWORD SimWlan::Disconnect(HANDLE handle, const GUID* guid) {
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_disconnects.push_back(guid != nullptr ? *guid : GUID{});
    }
    if (auto f = m_faults.Take("WlanDisconnect"))
        return static_cast<DWORD>(*f);
    if (guid == nullptr)
        return kErrorInvalidParameter;
    std::lock_guard<std::mutex> g(m_lock);
    if (!ValidHandle(handle))
        return kErrorInvalidHandle;
    SimWlanInterface* iface = Find(guid);
    if (iface == nullptr)
        return kErrorNotFound;
    auto it = m_connected.find(*guid);
    if (it != m_connected.end()) {
        QueueConnection(*guid, kWlanNotificationAcmDisconnected, it->second, 0);
        m_connected.erase(it);
    }
    iface->state = kWlanInterfaceDisconnected;
    return 0;
}

DWORD SimWlan::SetProfile(HANDLE handle, const GUID* guid, LPCWSTR xml, BOOL overwrite,
                          DWORD* reasonCode) {
    if (auto f = m_faults.Take("WlanSetProfile"))
        return static_cast<DWORD>(*f);
    if (guid == nullptr || xml == nullptr || reasonCode == nullptr)
        return kErrorInvalidParameter;
    std::lock_guard<std::mutex> g(m_lock);
    if (!ValidHandle(handle))
        return kErrorInvalidHandle;
    if (Find(guid) == nullptr)
        return kErrorNotFound;
    const std::wstring text = FromWide(xml);
    std::wstring name;
    *reasonCode = 0;
    if (!ProfileName(text, &name)) {
        *reasonCode = kReasonCodeInvalidProfileSchema;
        return kErrorBadProfile;
    }
    auto& profiles = m_profiles[*guid];
    if (!overwrite && profiles.count(name) != 0)
        return kErrorAlreadyExists;
    profiles[name] = text;
    return 0;
}

DWORD SimWlan::GetProfileList(HANDLE handle, const GUID* guid, WLAN_PROFILE_INFO_LIST** list) {
    if (auto f = m_faults.Take("WlanGetProfileList"))
        return static_cast<DWORD>(*f);
    if (guid == nullptr || list == nullptr)
        return kErrorInvalidParameter;
    std::lock_guard<std::mutex> g(m_lock);
    if (!ValidHandle(handle))
        return kErrorInvalidHandle;
    if (Find(guid) == nullptr)
        return kErrorNotFound;
    const auto& profiles = m_profiles[*guid];
    auto* out = static_cast<WLAN_PROFILE_INFO_LIST*>(
        Alloc(offsetof(WLAN_PROFILE_INFO_LIST, ProfileInfo) +
              std::max<std::size_t>(profiles.size(), 1) * sizeof(WLAN_PROFILE_INFO)));
    if (out == nullptr)
        return kErrorNotEnoughMemory;
    out->dwNumberOfItems = static_cast<DWORD>(profiles.size());
    std::size_t i = 0;
    for (const auto& [name, xml] : profiles)
        TextCodec::ToWchars(name, out->ProfileInfo[i++].strProfileName, kWlanMaxNameLength);
    *list = out;
    return 0;
}

DWORD SimWlan::DeleteProfile(HANDLE handle, const GUID* guid, LPCWSTR name) {
    if (auto f = m_faults.Take("WlanDeleteProfile"))
        return static_cast<DWORD>(*f);
    if (guid == nullptr || name == nullptr)
        return kErrorInvalidParameter;
    std::lock_guard<std::mutex> g(m_lock);
    if (!ValidHandle(handle))
        return kErrorInvalidHandle;
    if (Find(guid) == nullptr)
        return kErrorNotFound;
    const std::wstring text = FromWide(name);
    m_deletedProfiles.push_back(text);
    if (m_profiles[*guid].erase(text) == 0)
        return kErrorNotFound;
    return 0;
}

DWORD SimWlan::GetAvailableNetworkList(HANDLE handle, const GUID* guid,
                                       WLAN_AVAILABLE_NETWORK_LIST** list) {
    if (auto f = m_faults.Take("WlanGetAvailableNetworkList"))
        return static_cast<DWORD>(*f);
    if (guid == nullptr || list == nullptr)
        return kErrorInvalidParameter;
    std::lock_guard<std::mutex> g(m_lock);
    if (!ValidHandle(handle))
        return kErrorInvalidHandle;
    if (Find(guid) == nullptr)
        return kErrorNotFound;
    // The simulated air carries no other networks.
    auto* out =
        static_cast<WLAN_AVAILABLE_NETWORK_LIST*>(Alloc(sizeof(WLAN_AVAILABLE_NETWORK_LIST)));
    if (out == nullptr)
        return kErrorNotEnoughMemory;
    *list = out;
    return 0;
}

DWORD SimWlan::ReasonCodeToString(DWORD reason, DWORD size, WCHAR* buffer) {
    if (auto f = m_faults.Take("WlanReasonCodeToString"))
        return static_cast<DWORD>(*f);
    if (buffer == nullptr || size == 0)
        return kErrorInvalidParameter;
    const std::wstring text = reason == 0 ? std::wstring(L"The operation was successful.")
                                          : L"Reason code " + std::to_wstring(reason) + L".";
    TextCodec::ToWchars(text, buffer, size);
    return 0;
}

DWORD SimWlan::GetInterfaceCapability(HANDLE handle, const GUID* guid,
                                      WLAN_INTERFACE_CAPABILITY** capability) {
    if (auto f = m_faults.Take("WlanGetInterfaceCapability"))
        return static_cast<DWORD>(*f);
    if (guid == nullptr || capability == nullptr)
        return kErrorInvalidParameter;
    std::lock_guard<std::mutex> g(m_lock);
    if (!ValidHandle(handle))
        return kErrorInvalidHandle;
    SimWlanInterface* iface = Find(guid);
    if (iface == nullptr)
        return kErrorNotFound;
    auto* out = static_cast<WLAN_INTERFACE_CAPABILITY*>(Alloc(sizeof(WLAN_INTERFACE_CAPABILITY)));
    if (out == nullptr)
        return kErrorNotEnoughMemory;
    out->dwMaxDesiredSsidListSize = 1;
    out->dwNumberOfSupportedPhys =
        static_cast<DWORD>(std::min(iface->phys.size(), kWlanMaxPhyIndex));
    for (DWORD i = 0; i < out->dwNumberOfSupportedPhys; ++i)
        out->dot11PhyTypes[i] = kDot11PhyTypeHt;
    *capability = out;
    return 0;
}

DWORD SimWlan::HostedInitSettings(HANDLE handle, WLAN_HOSTED_NETWORK_REASON* reason) {
    if (reason != nullptr)
        *reason = kWlanHostedNetworkReasonSuccess;
    if (auto f = m_faults.Take("WlanHostedNetworkInitSettings"))
        return static_cast<DWORD>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    if (!ValidHandle(handle))
        return kErrorInvalidHandle;
    return 0;
}

DWORD SimWlan::HostedForceStart(HANDLE handle, WLAN_HOSTED_NETWORK_REASON* reason,
                                const char* name) {
    if (reason != nullptr)
        *reason = kWlanHostedNetworkReasonSuccess;
    if (auto f = m_faults.Take(name)) {
        if (reason != nullptr)
            *reason = kWlanHostedNetworkReasonUnspecified;
        return static_cast<DWORD>(*f);
    }
    std::lock_guard<std::mutex> g(m_lock);
    if (!ValidHandle(handle))
        return kErrorInvalidHandle;
    if (!m_hostedEnabled || !AnyCapableInterface()) {
        if (reason != nullptr)
            *reason = kWlanHostedNetworkReasonInterfaceUnavailable;
        return kErrorInvalidState;
    }
    if (m_hostedState != kWlanHostedNetworkActive) {
        QueueStateChange(m_hostedState, kWlanHostedNetworkActive, kWlanHostedNetworkReasonSuccess);
        m_hostedState = kWlanHostedNetworkActive;
    }
    return 0;
}

DWORD SimWlan::HostedForceStop(HANDLE handle, WLAN_HOSTED_NETWORK_REASON* reason,
                               const char* name) {
    if (reason != nullptr)
        *reason = kWlanHostedNetworkReasonSuccess;
    if (auto f = m_faults.Take(name)) {
        if (reason != nullptr)
            *reason = kWlanHostedNetworkReasonUnspecified;
        return static_cast<DWORD>(*f);
    }
    std::lock_guard<std::mutex> g(m_lock);
    if (!ValidHandle(handle))
        return kErrorInvalidHandle;
    if (m_hostedState == kWlanHostedNetworkActive) {
        QueueStateChange(m_hostedState, kWlanHostedNetworkIdle, kWlanHostedNetworkReasonUserAction);
        m_hostedState = kWlanHostedNetworkIdle;
        m_peers.clear();
    }
    return 0;
}

DWORD SimWlan::HostedQueryStatus(HANDLE handle, WLAN_HOSTED_NETWORK_STATUS** status) {
    if (auto f = m_faults.Take("WlanHostedNetworkQueryStatus"))
        return static_cast<DWORD>(*f);
    if (status == nullptr)
        return kErrorInvalidParameter;
    std::lock_guard<std::mutex> g(m_lock);
    if (!ValidHandle(handle))
        return kErrorInvalidHandle;
    auto* out = static_cast<WLAN_HOSTED_NETWORK_STATUS*>(
        Alloc(offsetof(WLAN_HOSTED_NETWORK_STATUS, PeerList) +
              std::max<std::size_t>(m_peers.size(), 1) * sizeof(WLAN_HOSTED_NETWORK_PEER_STATE)));
    if (out == nullptr)
        return kErrorNotEnoughMemory;
    out->HostedNetworkState = m_hostedState;
    // The other fields are meaningful only while the hosted network is available.
    if (m_hostedState != kWlanHostedNetworkUnavailable) {
        out->IPDeviceID = m_hostedDevice;
        std::memcpy(out->wlanHostedNetworkBSSID, kHostedBssid, 6);
        out->dot11PhyType = kDot11PhyTypeHt;
        out->ulChannelFrequency = kChannel6Frequency;
        out->dwNumberOfPeers = static_cast<DWORD>(m_peers.size());
        for (std::size_t i = 0; i < m_peers.size(); ++i)
            out->PeerList[i] = m_peers[i];
    }
    *status = out;
    return 0;
}

DWORD SimWlan::HostedQueryProperty(HANDLE handle, WLAN_HOSTED_NETWORK_OPCODE opcode, DWORD* size,
                                   PVOID* data, WLAN_OPCODE_VALUE_TYPE* type) {
    if (auto f = m_faults.Take("WlanHostedNetworkQueryProperty"))
        return static_cast<DWORD>(*f);
    if (auto f = m_faults.Take("WlanHostedNetworkQueryProperty#" + std::to_string(opcode)))
        return static_cast<DWORD>(*f);
    if (size == nullptr || data == nullptr || type == nullptr)
        return kErrorInvalidParameter;
    std::lock_guard<std::mutex> g(m_lock);
    if (!ValidHandle(handle))
        return kErrorInvalidHandle;
    auto answer = [&](const void* value, std::size_t bytes) -> DWORD {
        void* out = Alloc(bytes);
        if (out == nullptr)
            return kErrorNotEnoughMemory;
        std::memcpy(out, value, bytes);
        *data = out;
        *size = static_cast<DWORD>(bytes);
        *type = kWlanOpcodeValueTypeSetByUser;
        return 0;
    };
    switch (opcode) {
        case kWlanHostedNetworkOpcodeConnectionSettings:
            return answer(&m_settings, sizeof m_settings);
        case kWlanHostedNetworkOpcodeSecuritySettings: {
            constexpr DOT11_AUTH_ALGORITHM kRsnaPsk = 7;
            constexpr DOT11_CIPHER_ALGORITHM kCcmp = 4;
            const WLAN_HOSTED_NETWORK_SECURITY_SETTINGS security{kRsnaPsk, kCcmp};
            return answer(&security, sizeof security);
        }
        case kWlanHostedNetworkOpcodeStationProfile: {
            std::vector<WCHAR> text(m_stationProfile.size() * 2 + 1, 0);
            TextCodec::ToWchars(m_stationProfile, text.data(), text.size());
            std::size_t n = 0;
            while (text[n] != 0)
                ++n;
            return answer(text.data(), (n + 1) * sizeof(WCHAR));
        }
        case kWlanHostedNetworkOpcodeEnable: {
            const BOOL v = m_hostedEnabled ? TRUE_ : FALSE_;
            return answer(&v, sizeof v);
        }
        default:
            return kErrorInvalidParameter;
    }
}

DWORD SimWlan::HostedSetProperty(HANDLE handle, WLAN_HOSTED_NETWORK_OPCODE opcode, DWORD size,
                                 const void* data, WLAN_HOSTED_NETWORK_REASON* reason) {
    if (reason != nullptr)
        *reason = kWlanHostedNetworkReasonSuccess;
    if (auto f = m_faults.Take("WlanHostedNetworkSetProperty"))
        return static_cast<DWORD>(*f);
    if (auto f = m_faults.Take("WlanHostedNetworkSetProperty#" + std::to_string(opcode)))
        return static_cast<DWORD>(*f);
    if (data == nullptr)
        return kErrorInvalidParameter;
    std::lock_guard<std::mutex> g(m_lock);
    if (!ValidHandle(handle))
        return kErrorInvalidHandle;
    auto bad = [&]() -> DWORD {
        if (reason != nullptr)
            *reason = kWlanHostedNetworkReasonBadParameters;
        return kErrorInvalidParameter;
    };
    switch (opcode) {
        case kWlanHostedNetworkOpcodeConnectionSettings: {
            if (size < sizeof(WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS))
                return bad();
            WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS settings{};
            std::memcpy(&settings, data, sizeof settings);
            if (settings.hostedNetworkSSID.uSSIDLength == 0 ||
                settings.hostedNetworkSSID.uSSIDLength > kDot11SsidMaxLength)
                return bad();
            m_settings = settings;
            return 0;
        }
        case kWlanHostedNetworkOpcodeEnable: {
            if (size < sizeof(BOOL))
                return bad();
            BOOL v = 0;
            std::memcpy(&v, data, sizeof v);
            ApplyEnabled(v != 0, kWlanHostedNetworkReasonPropertiesChange);
            return 0;
        }
        default:
            return bad();  // security settings and station profile are read-only
    }
}

DWORD SimWlan::HostedQuerySecondaryKey(HANDLE handle, DWORD* length, UCHAR** data, BOOL* passPhrase,
                                       BOOL* persistent, WLAN_HOSTED_NETWORK_REASON* reason) {
    if (reason != nullptr)
        *reason = kWlanHostedNetworkReasonSuccess;
    if (auto f = m_faults.Take("WlanHostedNetworkQuerySecondaryKey"))
        return static_cast<DWORD>(*f);
    if (length == nullptr || data == nullptr || passPhrase == nullptr || persistent == nullptr)
        return kErrorInvalidParameter;
    std::lock_guard<std::mutex> g(m_lock);
    if (!ValidHandle(handle))
        return kErrorInvalidHandle;
    *length = static_cast<DWORD>(m_secondaryKey.size());
    *data = nullptr;
    if (!m_secondaryKey.empty()) {
        auto* out = static_cast<UCHAR*>(Alloc(m_secondaryKey.size()));
        if (out == nullptr)
            return kErrorNotEnoughMemory;
        std::memcpy(out, m_secondaryKey.data(), m_secondaryKey.size());
        *data = out;
    }
    *passPhrase = m_keyPassPhrase ? TRUE_ : FALSE_;
    *persistent = m_keyPersistent ? TRUE_ : FALSE_;
    return 0;
}

DWORD SimWlan::HostedSetSecondaryKey(HANDLE handle, DWORD length, const UCHAR* data,
                                     BOOL passPhrase, BOOL persistent,
                                     WLAN_HOSTED_NETWORK_REASON* reason) {
    if (reason != nullptr)
        *reason = kWlanHostedNetworkReasonSuccess;
    if (auto f = m_faults.Take("WlanHostedNetworkSetSecondaryKey"))
        return static_cast<DWORD>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    if (!ValidHandle(handle))
        return kErrorInvalidHandle;
    auto bad = [&]() -> DWORD {
        if (reason != nullptr)
            *reason = kWlanHostedNetworkReasonBadParameters;
        return kErrorInvalidParameter;
    };
    if (length == 0) {
        if (data != nullptr)
            return bad();
        m_secondaryKey.clear();
        return 0;
    }
    if (data == nullptr)
        return bad();
    if (passPhrase != 0) {
        // 8 to 63 characters followed by the terminator.
        if (length < 9 || length > 64 || data[length - 1] != 0)
            return bad();
        for (DWORD i = 0; i + 1 < length; ++i)
            if (data[i] < 0x20 || data[i] > 0x7E)
                return bad();
    } else if (length != 32) {
        return bad();
    }
    m_secondaryKey.assign(data, data + length);
    m_keyPassPhrase = passPhrase != 0;
    m_keyPersistent = persistent != 0;
    return 0;
}

DWORD SimWlan::HostedRefreshSecuritySettings(HANDLE handle, WLAN_HOSTED_NETWORK_REASON* reason) {
    if (reason != nullptr)
        *reason = kWlanHostedNetworkReasonSuccess;
    if (auto f = m_faults.Take("WlanHostedNetworkRefreshSecuritySettings"))
        return static_cast<DWORD>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    if (!ValidHandle(handle))
        return kErrorInvalidHandle;
    return 0;
}

}  // namespace plat
