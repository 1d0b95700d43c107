#include "WlanLibrary.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "platform/facility/ModuleRegistry.h"
#include "platform/text/TextCodec.h"

namespace plat {

namespace {

constexpr DWORD kErrorBadProfile = 1206;
constexpr WLAN_REASON_CODE kReasonCodeInvalidProfileSchema = 0x80000 + 11;
// The security module's "key length does not fit the cipher".
constexpr WLAN_REASON_CODE kReasonCodeKeyLength = 0x40000 + 3;

std::atomic<WlanLibrary*> g_current{nullptr};

std::wstring FromWide(LPCWSTR text) {
    if (text == nullptr)
        return {};
    std::size_t n = 0;
    while (text[n] != 0)
        ++n;
    return TextCodec::FromWchars(text, n + 1);
}

// The text of the first <tag> element of a profile, with the predefined
// entities decoded as an XML reader would; false when there is none.
bool ElementText(const std::wstring& xml, const std::wstring& tag, std::wstring* text) {
    const std::wstring openTag = L"<" + tag + L">";
    const std::size_t open = xml.find(openTag);
    if (open == std::wstring::npos)
        return false;
    const std::size_t begin = open + openTag.size();
    const std::size_t close = xml.find(L"</" + tag + L">", begin);
    if (close == std::wstring::npos)
        return false;
    const std::wstring raw = xml.substr(begin, close - begin);
    static const std::pair<const wchar_t*, wchar_t> kEntities[] = {
        {L"&amp;", L'&'}, {L"&lt;", L'<'}, {L"&gt;", L'>'}, {L"&quot;", L'"'}, {L"&apos;", L'\''}};
    text->clear();
    for (std::size_t i = 0; i < raw.size();) {
        bool decoded = false;
        if (raw[i] == L'&') {
            for (const auto& [entity, c] : kEntities) {
                const std::size_t len = std::wcslen(entity);
                if (raw.compare(i, len, entity) == 0) {
                    text->push_back(c);
                    i += len;
                    decoded = true;
                    break;
                }
            }
        }
        if (!decoded)
            text->push_back(raw[i++]);
    }
    return true;
}

bool ProfileName(const std::wstring& xml, std::wstring* name) {
    return ElementText(xml, L"name", name) && !name->empty();
}

bool AllHex(const std::wstring& text) {
    return std::all_of(text.begin(), text.end(), [](wchar_t c) {
        return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
    });
}

// A clear-text network key the profile's cipher can take: WEP 5 or 13
// characters or 10 or 26 hexadecimal digits; WPA 8 to 63 characters or 64
// hexadecimal digits. A profile without a key is not judged here.
bool KeyFitsCipher(const std::wstring& xml) {
    std::wstring key, encryption, keyType, isProtected;
    if (!ElementText(xml, L"keyMaterial", &key) || !ElementText(xml, L"encryption", &encryption))
        return true;
    if (ElementText(xml, L"protected", &isProtected) && isProtected == L"true")
        return true;  // enciphered key material: its length says nothing
    ElementText(xml, L"keyType", &keyType);
    if (encryption == L"WEP") {
        if (keyType != L"networkKey")
            return false;
        return key.size() == 5 || key.size() == 13 ||
               ((key.size() == 10 || key.size() == 26) && AllHex(key));
    }
    if (encryption == L"TKIP" || encryption == L"AES") {
        if (keyType == L"passPhrase")
            return key.size() >= 8 && key.size() <= 63;
        return keyType == L"networkKey" && key.size() == 64 && AllHex(key);
    }
    return true;
}

HANDLE ToHandle(std::uintptr_t id) {
    return reinterpret_cast<HANDLE>(id);
}
std::uintptr_t FromHandle(HANDLE h) {
    return reinterpret_cast<std::uintptr_t>(h);
}

template <class Record>
std::vector<BYTE> Bytes(const Record& record) {
    std::vector<BYTE> payload(sizeof record);
    std::memcpy(payload.data(), &record, sizeof record);
    return payload;
}

}  // namespace

WlanLibrary::WlanLibrary(ModuleRegistry& modules, HostedNetworkDriver& driver, FaultHook faults)
    : m_modules(modules), m_driver(driver), m_faults(std::move(faults)) {
    RegisterModule();
    m_thread = std::jthread([this] { DeliveryLoop(); });
    m_driver.Attach(this);
}

WlanLibrary::~WlanLibrary() {
    m_driver.Attach(nullptr);
    WlanLibrary* self = this;
    g_current.compare_exchange_strong(self, nullptr);
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_stopping = true;
    }
    m_queueChanged.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    std::lock_guard<std::mutex> g(m_lock);
    for (void* p : m_allocations)
        std::free(p);
}

void WlanLibrary::MakeCurrent() {
    g_current = this;
}

WlanLibrary* WlanLibrary::Current() {
    return g_current.load();
}

void WlanLibrary::Notify(DWORD source, DWORD code, const GUID& iface,
                         const std::vector<BYTE>& payload) {
    std::lock_guard<std::mutex> g(m_lock);
    Queue(source, code, iface, payload);
}

bool WlanLibrary::WaitDelivered(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_lock);
    return m_drained.wait_for(lock, timeout, [&] { return m_queue.empty() && !m_delivering; });
}

std::size_t WlanLibrary::OpenHandles() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_handles.size();
}

void WlanLibrary::InvalidateHandles() {
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_handles.clear();
        m_registrations.clear();
    }
    WaitForDelivery();
}

std::size_t WlanLibrary::Registrations() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_registrations.size();
}

std::vector<WlanConnectCall> WlanLibrary::Connects() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_connects;
}

std::vector<GUID> WlanLibrary::Disconnects() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_disconnects;
}

std::vector<WlanSetCall> WlanLibrary::Sets() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_sets;
}

std::size_t WlanLibrary::OutstandingAllocations() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_allocations.size();
}

std::size_t WlanLibrary::BadFrees() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_badFrees;
}

// ---- reports of the driver ----

void WlanLibrary::HostedNetworkStateChanged(WLAN_HOSTED_NETWORK_STATE from,
                                            WLAN_HOSTED_NETWORK_STATE to,
                                            WLAN_HOSTED_NETWORK_REASON reason) {
    const WLAN_HOSTED_NETWORK_STATE_CHANGE change{from, to, reason};
    Notify(kWlanNotificationSourceHnwk, kWlanHostedNetworkStateChange, GUID_NULL_, Bytes(change));
}

void WlanLibrary::PeerStateChanged(const WLAN_HOSTED_NETWORK_PEER_STATE& from,
                                   const WLAN_HOSTED_NETWORK_PEER_STATE& to,
                                   WLAN_HOSTED_NETWORK_REASON reason) {
    WLAN_HOSTED_NETWORK_DATA_PEER_STATE_CHANGE change{};
    change.OldState = from;
    change.NewState = to;
    change.PeerStateChangeReason = reason;
    Notify(kWlanNotificationSourceHnwk, kWlanHostedNetworkPeerStateChange, GUID_NULL_,
           Bytes(change));
}

void WlanLibrary::HostedNetworkRadioChanged(DOT11_RADIO_STATE software,
                                            DOT11_RADIO_STATE hardware) {
    const WLAN_HOSTED_NETWORK_RADIO_STATE radio{software, hardware};
    Notify(kWlanNotificationSourceHnwk, kWlanHostedNetworkRadioStateChange, GUID_NULL_,
           Bytes(radio));
}

void WlanLibrary::ServiceStopped() {
    std::lock_guard<std::mutex> g(m_lock);
    m_handles.clear();
    Event end;
    end.serviceEnd = true;
    m_queue.push_back(std::move(end));
    m_queueChanged.notify_all();
}

void WlanLibrary::ConnectionChanged(const GUID& iface, DWORD code, const std::wstring& profile,
                                    DOT11_BSS_TYPE bssType, WLAN_REASON_CODE reason) {
    WLAN_CONNECTION_NOTIFICATION_DATA data{};
    data.wlanConnectionMode = kWlanConnectionModeProfile;
    TextCodec::ToWchars(profile, data.strProfileName, kWlanMaxNameLength);
    data.dot11BssType = bssType;
    data.wlanReasonCode = reason;
    Notify(kWlanNotificationSourceAcm, code, iface, Bytes(data));
}

// ---- internals ----

std::optional<std::int64_t> WlanLibrary::Fault(const std::string& function) {
    if (!m_faults)
        return std::nullopt;
    return m_faults(function);
}

bool WlanLibrary::Valid(HANDLE handle) const {
    std::lock_guard<std::mutex> g(m_lock);
    return ValidHandle(handle);
}

void* WlanLibrary::Hand(const void* value, std::size_t bytes) {
    std::lock_guard<std::mutex> g(m_lock);
    void* out = Alloc(bytes);
    if (out != nullptr && bytes != 0)
        std::memcpy(out, value, bytes);
    return out;
}

void* WlanLibrary::Alloc(std::size_t bytes) {
    void* p = std::calloc(1, bytes == 0 ? 1 : bytes);
    if (p != nullptr)
        m_allocations.insert(p);
    return p;
}

bool WlanLibrary::ValidHandle(HANDLE handle) const {
    return m_handles.count(FromHandle(handle)) != 0;
}

DWORD WlanLibrary::Check(HANDLE handle, bool needsVersion2) const {
    std::lock_guard<std::mutex> g(m_lock);
    auto it = m_handles.find(FromHandle(handle));
    if (it == m_handles.end())
        return kErrorInvalidHandle;
    if (needsVersion2 && it->second < kWlanClientVersionVista)
        return kErrorNotSupported;
    return 0;
}

void WlanLibrary::Queue(DWORD source, DWORD code, const GUID& iface,
                        const std::vector<BYTE>& payload) {
    Event event{source, code, iface, payload, {}, false};
    for (const auto& [handle, r] : m_registrations)
        if ((r.source & source) != 0 && r.callback != nullptr)
            event.targets.push_back(handle);
    m_queue.push_back(std::move(event));
    m_queueChanged.notify_all();
}

void WlanLibrary::WaitForDelivery() {
    // Called without m_lock. A callback that unregisters must not wait for itself.
    if (std::this_thread::get_id() == m_thread.get_id())
        return;
    std::lock_guard<std::mutex> wait(m_deliveryLock);
}

void WlanLibrary::DeliveryLoop() {
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        m_queueChanged.wait(lock, [&] { return m_stopping || !m_queue.empty(); });
        if (m_stopping)
            return;
        Event event = std::move(m_queue.front());
        m_queue.pop_front();
        if (event.serviceEnd) {
            m_registrations.clear();
            if (m_queue.empty())
                m_drained.notify_all();
            continue;
        }
        m_delivering = true;
        lock.unlock();
        {
            // Held while the callbacks run, so that an unregistration can wait
            // for the delivery it raced with.
            std::lock_guard<std::mutex> delivering(m_deliveryLock);
            // Those registered when it happened and still registered now.
            std::vector<Registration> targets;
            {
                std::lock_guard<std::mutex> g(m_lock);
                for (std::uintptr_t handle : event.targets) {
                    auto it = m_registrations.find(handle);
                    if (it != m_registrations.end() && (it->second.source & event.source) != 0 &&
                        it->second.callback != nullptr)
                        targets.push_back(it->second);
                }
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

DWORD WlanLibrary::OpenHandle(DWORD clientVersion, DWORD* negotiated, HANDLE* handle) {
    if (auto f = Fault("WlanOpenHandle"))
        return static_cast<DWORD>(*f);
    if (negotiated == nullptr || handle == nullptr)
        return kErrorInvalidParameter;
    if (clientVersion != kWlanClientVersionXp && clientVersion != kWlanClientVersionVista)
        return kErrorInvalidParameter;
    if (!m_driver.ServiceRunning())
        return kErrorServiceNotActive;
    std::lock_guard<std::mutex> g(m_lock);
    if (clientVersion > m_maxClientVersion)
        return kErrorInvalidParameter;
    *negotiated = clientVersion;
    const std::uintptr_t id = m_nextHandle++;
    m_handles[id] = clientVersion;
    *handle = ToHandle(id);
    return 0;
}

DWORD WlanLibrary::CloseHandle(HANDLE handle) {
    if (auto f = Fault("WlanCloseHandle"))
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

DWORD WlanLibrary::RegisterNotification(HANDLE handle, DWORD source,
                                        WLAN_NOTIFICATION_CALLBACK callback, PVOID context,
                                        DWORD* previous) {
    if (auto f = Fault("WlanRegisterNotification"))
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

void WlanLibrary::FreeMemory(PVOID memory) {
    Fault("WlanFreeMemory");
    if (memory == nullptr)
        return;
    std::lock_guard<std::mutex> g(m_lock);
    if (m_allocations.erase(memory) == 0) {
        ++m_badFrees;
        return;
    }
    std::free(memory);
}

DWORD WlanLibrary::EnumInterfaces(HANDLE handle, WLAN_INTERFACE_INFO_LIST** list) {
    if (auto f = Fault("WlanEnumInterfaces"))
        return static_cast<DWORD>(*f);
    if (list == nullptr)
        return kErrorInvalidParameter;
    if (!Valid(handle))
        return kErrorInvalidHandle;
    const std::vector<WlanInterfaceRecord> interfaces = m_driver.Interfaces();
    const std::size_t n = interfaces.size();
    std::lock_guard<std::mutex> g(m_lock);
    auto* out = static_cast<WLAN_INTERFACE_INFO_LIST*>(
        Alloc(offsetof(WLAN_INTERFACE_INFO_LIST, InterfaceInfo) +
              std::max<std::size_t>(n, 1) * sizeof(WLAN_INTERFACE_INFO)));
    if (out == nullptr)
        return kErrorNotEnoughMemory;
    out->dwNumberOfItems = static_cast<DWORD>(n);
    for (std::size_t i = 0; i < n; ++i) {
        WLAN_INTERFACE_INFO& info = out->InterfaceInfo[i];
        info.InterfaceGuid = interfaces[i].guid;
        TextCodec::ToWchars(interfaces[i].description, info.strInterfaceDescription,
                            kWlanMaxNameLength);
        info.isState = interfaces[i].state;
    }
    *list = out;
    return 0;
}

DWORD WlanLibrary::QueryInterface(HANDLE handle, const GUID* guid, WLAN_INTF_OPCODE opcode,
                                  DWORD* size, PVOID* data, WLAN_OPCODE_VALUE_TYPE* type) {
    if (auto f = Fault("WlanQueryInterface"))
        return static_cast<DWORD>(*f);
    if (auto f = Fault("WlanQueryInterface#" + std::to_string(opcode)))
        return static_cast<DWORD>(*f);
    if (guid == nullptr || size == nullptr || data == nullptr)
        return kErrorInvalidParameter;
    if (!Valid(handle))
        return kErrorInvalidHandle;
    WlanInterfaceRecord iface;
    if (!m_driver.Interface(*guid, &iface))
        return kErrorNotFound;

    auto answer = [&](const void* value, std::size_t bytes) -> DWORD {
        void* out = Hand(value, bytes);
        if (out == nullptr)
            return kErrorNotEnoughMemory;
        *data = out;
        *size = static_cast<DWORD>(bytes);
        if (type != nullptr)
            *type = kWlanOpcodeValueTypeSetByUser;
        return 0;
    };
    switch (opcode) {
        case kWlanIntfOpcodeAutoconfEnabled: {
            const BOOL v = iface.autoConf ? TRUE_ : FALSE_;
            return answer(&v, sizeof v);
        }
        case kWlanIntfOpcodeRadioState: {
            // Exactly as many PHY entries as the interface has.
            const std::size_t n = std::min(iface.phys.size(), kWlanMaxPhyIndex);
            std::vector<BYTE> bytes(offsetof(WLAN_RADIO_STATE, PhyRadioState) +
                                    n * sizeof(WLAN_PHY_RADIO_STATE));
            const DWORD count = static_cast<DWORD>(n);
            std::memcpy(bytes.data(), &count, sizeof count);
            for (std::size_t i = 0; i < n; ++i) {
                const WLAN_PHY_RADIO_STATE phy{static_cast<DWORD>(i), iface.phys[i].software,
                                               iface.phys[i].hardware};
                std::memcpy(bytes.data() + offsetof(WLAN_RADIO_STATE, PhyRadioState) +
                                i * sizeof(WLAN_PHY_RADIO_STATE),
                            &phy, sizeof phy);
            }
            return answer(bytes.data(), bytes.size());
        }
        case kWlanIntfOpcodeBssType:
            return answer(&iface.bssType, sizeof iface.bssType);
        case kWlanIntfOpcodeInterfaceState:
            return answer(&iface.state, sizeof iface.state);
        case kWlanIntfOpcodeCurrentOperationMode:
            return answer(&iface.operationMode, sizeof iface.operationMode);
        case kWlanIntfOpcodeHostedNetworkCapable: {
            std::unique_lock<std::mutex> g(m_lock);
            if (m_version != WlanLibraryVersion::Seven)
                return kErrorInvalidParameter;
            g.unlock();
            return answer(&iface.hostedNetworkCapable, sizeof iface.hostedNetworkCapable);
        }
        default:
            return kErrorInvalidParameter;
    }
}

DWORD WlanLibrary::SetInterface(HANDLE handle, const GUID* guid, WLAN_INTF_OPCODE opcode,
                                DWORD size, const void* data) {
    {
        std::lock_guard<std::mutex> g(m_lock);
        WlanSetCall set;
        set.iface = guid != nullptr ? *guid : GUID{};
        set.opcode = opcode;
        if (data != nullptr)
            set.data.assign(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
        m_sets.push_back(std::move(set));
    }
    if (auto f = Fault("WlanSetInterface"))
        return static_cast<DWORD>(*f);
    if (auto f = Fault("WlanSetInterface#" + std::to_string(opcode)))
        return static_cast<DWORD>(*f);
    if (guid == nullptr || data == nullptr)
        return kErrorInvalidParameter;
    if (!Valid(handle))
        return kErrorInvalidHandle;
    WlanInterfaceRecord iface;
    if (!m_driver.Interface(*guid, &iface))
        return kErrorNotFound;
    DWORD value = 0;
    switch (opcode) {
        case kWlanIntfOpcodeAutoconfEnabled:
            if (size != sizeof(BOOL))
                return kErrorInvalidParameter;
            std::memcpy(&value, data, sizeof value);
            return m_driver.SetAutoConf(*guid, value != 0);
        case kWlanIntfOpcodeRadioState: {
            if (size != sizeof(WLAN_PHY_RADIO_STATE))
                return kErrorInvalidParameter;
            WLAN_PHY_RADIO_STATE phy{};
            std::memcpy(&phy, data, sizeof phy);
            if (phy.dwPhyIndex >= iface.phys.size())
                return kErrorInvalidParameter;
            return m_driver.SetSoftwareRadio(*guid, phy.dwPhyIndex, phy.dot11SoftwareRadioState);
        }
        case kWlanIntfOpcodeBssType:
            if (size != sizeof(DOT11_BSS_TYPE))
                return kErrorInvalidParameter;
            std::memcpy(&value, data, sizeof value);
            if (value < kDot11BssTypeInfrastructure || value > kDot11BssTypeAny)
                return kErrorInvalidParameter;
            return m_driver.SetBssType(*guid, value);
        case kWlanIntfOpcodeCurrentOperationMode: {
            if (size != sizeof(ULONG))
                return kErrorInvalidParameter;
            ULONG mode = 0;
            std::memcpy(&mode, data, sizeof mode);
            return m_driver.SetOperationMode(*guid, mode);
        }
        default:
            return kErrorInvalidParameter;
    }
}

DWORD WlanLibrary::Connect(HANDLE handle, const GUID* guid,
                           const WLAN_CONNECTION_PARAMETERS* params) {
    {
        std::lock_guard<std::mutex> g(m_lock);
        WlanConnectCall c;
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
    if (auto f = Fault("WlanConnect"))
        return static_cast<DWORD>(*f);
    if (guid == nullptr || params == nullptr)
        return kErrorInvalidParameter;
    if (!Valid(handle))
        return kErrorInvalidHandle;
    return m_driver.Connect(*guid, params->wlanConnectionMode, FromWide(params->strProfile),
                            params->dot11BssType);
}

DWORD WlanLibrary::Disconnect(HANDLE handle, const GUID* guid) {
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_disconnects.push_back(guid != nullptr ? *guid : GUID{});
    }
    if (auto f = Fault("WlanDisconnect"))
        return static_cast<DWORD>(*f);
    if (guid == nullptr)
        return kErrorInvalidParameter;
    if (!Valid(handle))
        return kErrorInvalidHandle;
    return m_driver.Disconnect(*guid);
}

DWORD WlanLibrary::SetProfile(HANDLE handle, const GUID* guid, LPCWSTR xml, BOOL overwrite,
                              DWORD* reasonCode) {
    if (auto f = Fault("WlanSetProfile"))
        return static_cast<DWORD>(*f);
    if (guid == nullptr || xml == nullptr || reasonCode == nullptr)
        return kErrorInvalidParameter;
    if (!Valid(handle))
        return kErrorInvalidHandle;
    WlanInterfaceRecord iface;
    if (!m_driver.Interface(*guid, &iface))
        return kErrorNotFound;
    const std::wstring text = FromWide(xml);
    std::wstring name;
    *reasonCode = 0;
    if (!ProfileName(text, &name)) {
        *reasonCode = kReasonCodeInvalidProfileSchema;
        return kErrorBadProfile;
    }
    if (!KeyFitsCipher(text)) {
        *reasonCode = kReasonCodeKeyLength;
        return kErrorBadProfile;
    }
    return m_driver.SetProfile(*guid, name, text, overwrite != 0);
}

DWORD WlanLibrary::GetProfileList(HANDLE handle, const GUID* guid, WLAN_PROFILE_INFO_LIST** list) {
    if (auto f = Fault("WlanGetProfileList"))
        return static_cast<DWORD>(*f);
    if (guid == nullptr || list == nullptr)
        return kErrorInvalidParameter;
    if (!Valid(handle))
        return kErrorInvalidHandle;
    std::vector<std::wstring> names;
    if (const DWORD e = m_driver.ProfileNames(*guid, &names); e != 0)
        return e;
    std::lock_guard<std::mutex> g(m_lock);
    auto* out = static_cast<WLAN_PROFILE_INFO_LIST*>(
        Alloc(offsetof(WLAN_PROFILE_INFO_LIST, ProfileInfo) +
              std::max<std::size_t>(names.size(), 1) * sizeof(WLAN_PROFILE_INFO)));
    if (out == nullptr)
        return kErrorNotEnoughMemory;
    out->dwNumberOfItems = static_cast<DWORD>(names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        TextCodec::ToWchars(names[i], out->ProfileInfo[i].strProfileName, kWlanMaxNameLength);
    *list = out;
    return 0;
}

DWORD WlanLibrary::DeleteProfile(HANDLE handle, const GUID* guid, LPCWSTR name) {
    if (auto f = Fault("WlanDeleteProfile"))
        return static_cast<DWORD>(*f);
    if (guid == nullptr || name == nullptr)
        return kErrorInvalidParameter;
    if (!Valid(handle))
        return kErrorInvalidHandle;
    return m_driver.DeleteProfile(*guid, FromWide(name));
}

DWORD WlanLibrary::GetAvailableNetworkList(HANDLE handle, const GUID* guid,
                                           WLAN_AVAILABLE_NETWORK_LIST** list) {
    if (auto f = Fault("WlanGetAvailableNetworkList"))
        return static_cast<DWORD>(*f);
    if (guid == nullptr || list == nullptr)
        return kErrorInvalidParameter;
    if (!Valid(handle))
        return kErrorInvalidHandle;
    WlanInterfaceRecord iface;
    if (!m_driver.Interface(*guid, &iface))
        return kErrorNotFound;
    // No scan results are kept: the list is empty.
    std::lock_guard<std::mutex> g(m_lock);
    auto* out =
        static_cast<WLAN_AVAILABLE_NETWORK_LIST*>(Alloc(sizeof(WLAN_AVAILABLE_NETWORK_LIST)));
    if (out == nullptr)
        return kErrorNotEnoughMemory;
    *list = out;
    return 0;
}

DWORD WlanLibrary::ReasonCodeToString(DWORD reason, DWORD size, WCHAR* buffer) {
    if (auto f = Fault("WlanReasonCodeToString"))
        return static_cast<DWORD>(*f);
    if (buffer == nullptr || size == 0)
        return kErrorInvalidParameter;
    const std::wstring text = reason == 0 ? std::wstring(L"The operation was successful.")
                                          : L"Reason code " + std::to_wstring(reason) + L".";
    TextCodec::ToWchars(text, buffer, size);
    return 0;
}

DWORD WlanLibrary::GetInterfaceCapability(HANDLE handle, const GUID* guid,
                                          WLAN_INTERFACE_CAPABILITY** capability) {
    if (auto f = Fault("WlanGetInterfaceCapability"))
        return static_cast<DWORD>(*f);
    if (guid == nullptr || capability == nullptr)
        return kErrorInvalidParameter;
    if (const DWORD e = Check(handle, true); e != 0)
        return e;
    WlanInterfaceRecord iface;
    if (!m_driver.Interface(*guid, &iface))
        return kErrorNotFound;
    WLAN_INTERFACE_CAPABILITY record{};
    record.dwMaxDesiredSsidListSize = 1;
    record.dwNumberOfSupportedPhys =
        static_cast<DWORD>(std::min(iface.phys.size(), kWlanMaxPhyIndex));
    for (DWORD i = 0; i < record.dwNumberOfSupportedPhys; ++i)
        record.dot11PhyTypes[i] = kDot11PhyTypeHt;
    void* out = Hand(&record, sizeof record);
    if (out == nullptr)
        return kErrorNotEnoughMemory;
    *capability = static_cast<WLAN_INTERFACE_CAPABILITY*>(out);
    return 0;
}

DWORD WlanLibrary::HostedInitSettings(HANDLE handle, WLAN_HOSTED_NETWORK_REASON* reason) {
    if (reason != nullptr)
        *reason = kWlanHostedNetworkReasonSuccess;
    if (auto f = Fault("WlanHostedNetworkInitSettings"))
        return static_cast<DWORD>(*f);
    if (const DWORD e = Check(handle, true); e != 0)
        return e;
    return 0;
}

DWORD WlanLibrary::HostedForceStart(HANDLE handle, WLAN_HOSTED_NETWORK_REASON* reason,
                                    const char* name) {
    if (reason != nullptr)
        *reason = kWlanHostedNetworkReasonSuccess;
    if (auto f = Fault(name)) {
        if (reason != nullptr)
            *reason = kWlanHostedNetworkReasonUnspecified;
        return static_cast<DWORD>(*f);
    }
    if (const DWORD e = Check(handle, true); e != 0)
        return e;
    WLAN_HOSTED_NETWORK_REASON why = kWlanHostedNetworkReasonSuccess;
    const DWORD e = m_driver.Start(&why);
    if (reason != nullptr)
        *reason = why;
    return e;
}

DWORD WlanLibrary::HostedForceStop(HANDLE handle, WLAN_HOSTED_NETWORK_REASON* reason,
                                   const char* name) {
    if (reason != nullptr)
        *reason = kWlanHostedNetworkReasonSuccess;
    if (auto f = Fault(name)) {
        if (reason != nullptr)
            *reason = kWlanHostedNetworkReasonUnspecified;
        return static_cast<DWORD>(*f);
    }
    if (const DWORD e = Check(handle, true); e != 0)
        return e;
    WLAN_HOSTED_NETWORK_REASON why = kWlanHostedNetworkReasonSuccess;
    const DWORD e = m_driver.Stop(&why);
    if (reason != nullptr)
        *reason = why;
    return e;
}

DWORD WlanLibrary::HostedQueryStatus(HANDLE handle, WLAN_HOSTED_NETWORK_STATUS** status) {
    if (auto f = Fault("WlanHostedNetworkQueryStatus"))
        return static_cast<DWORD>(*f);
    if (status == nullptr)
        return kErrorInvalidParameter;
    if (const DWORD e = Check(handle, true); e != 0)
        return e;
    const HostedNetworkStatusRecord now = m_driver.Status();
    std::lock_guard<std::mutex> g(m_lock);
    auto* out = static_cast<WLAN_HOSTED_NETWORK_STATUS*>(
        Alloc(offsetof(WLAN_HOSTED_NETWORK_STATUS, PeerList) +
              std::max<std::size_t>(now.peers.size(), 1) * sizeof(WLAN_HOSTED_NETWORK_PEER_STATE)));
    if (out == nullptr)
        return kErrorNotEnoughMemory;
    out->HostedNetworkState = now.state;
    // The other fields are meaningful only while the hosted network is available.
    if (now.state != kWlanHostedNetworkUnavailable) {
        out->IPDeviceID = now.device;
        std::memcpy(out->wlanHostedNetworkBSSID, now.bssid.data(), 6);
        out->dot11PhyType = now.phyType;
        out->ulChannelFrequency = now.channelFrequency;
        out->dwNumberOfPeers = static_cast<DWORD>(now.peers.size());
        for (std::size_t i = 0; i < now.peers.size(); ++i)
            out->PeerList[i] = now.peers[i];
    }
    *status = out;
    return 0;
}

DWORD WlanLibrary::HostedQueryProperty(HANDLE handle, WLAN_HOSTED_NETWORK_OPCODE opcode,
                                       DWORD* size, PVOID* data, WLAN_OPCODE_VALUE_TYPE* type) {
    if (auto f = Fault("WlanHostedNetworkQueryProperty"))
        return static_cast<DWORD>(*f);
    if (auto f = Fault("WlanHostedNetworkQueryProperty#" + std::to_string(opcode)))
        return static_cast<DWORD>(*f);
    if (size == nullptr || data == nullptr || type == nullptr)
        return kErrorInvalidParameter;
    if (const DWORD e = Check(handle, true); e != 0)
        return e;
    auto answer = [&](const void* value, std::size_t bytes) -> DWORD {
        void* out = Hand(value, bytes);
        if (out == nullptr)
            return kErrorNotEnoughMemory;
        *data = out;
        *size = static_cast<DWORD>(bytes);
        *type = kWlanOpcodeValueTypeSetByUser;
        return 0;
    };
    switch (opcode) {
        case kWlanHostedNetworkOpcodeConnectionSettings: {
            const WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS settings = m_driver.ConnectionSettings();
            return answer(&settings, sizeof settings);
        }
        case kWlanHostedNetworkOpcodeSecuritySettings: {
            // The hosted network always runs WPA2-Personal with AES.
            constexpr DOT11_AUTH_ALGORITHM kRsnaPsk = 7;
            constexpr DOT11_CIPHER_ALGORITHM kCcmp = 4;
            const WLAN_HOSTED_NETWORK_SECURITY_SETTINGS security{kRsnaPsk, kCcmp};
            return answer(&security, sizeof security);
        }
        case kWlanHostedNetworkOpcodeStationProfile: {
            const std::wstring profile = m_driver.StationProfile();
            std::vector<WCHAR> text(profile.size() * 2 + 1, 0);
            TextCodec::ToWchars(profile, text.data(), text.size());
            std::size_t n = 0;
            while (text[n] != 0)
                ++n;
            return answer(text.data(), (n + 1) * sizeof(WCHAR));
        }
        case kWlanHostedNetworkOpcodeEnable: {
            const BOOL v = m_driver.Enabled() ? TRUE_ : FALSE_;
            return answer(&v, sizeof v);
        }
        default:
            return kErrorInvalidParameter;
    }
}

DWORD WlanLibrary::HostedSetProperty(HANDLE handle, WLAN_HOSTED_NETWORK_OPCODE opcode, DWORD size,
                                     const void* data, WLAN_HOSTED_NETWORK_REASON* reason) {
    if (reason != nullptr)
        *reason = kWlanHostedNetworkReasonSuccess;
    if (auto f = Fault("WlanHostedNetworkSetProperty"))
        return static_cast<DWORD>(*f);
    if (auto f = Fault("WlanHostedNetworkSetProperty#" + std::to_string(opcode)))
        return static_cast<DWORD>(*f);
    if (data == nullptr)
        return kErrorInvalidParameter;
    if (const DWORD e = Check(handle, true); e != 0)
        return e;
    auto bad = [&]() -> DWORD {
        if (reason != nullptr)
            *reason = kWlanHostedNetworkReasonBadParameters;
        return kErrorInvalidParameter;
    };
    WLAN_HOSTED_NETWORK_REASON why = kWlanHostedNetworkReasonSuccess;
    DWORD e = 0;
    switch (opcode) {
        case kWlanHostedNetworkOpcodeConnectionSettings: {
            if (size < sizeof(WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS))
                return bad();
            WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS settings{};
            std::memcpy(&settings, data, sizeof settings);
            if (settings.hostedNetworkSSID.uSSIDLength == 0 ||
                settings.hostedNetworkSSID.uSSIDLength > kDot11SsidMaxLength)
                return bad();
            e = m_driver.SetConnectionSettings(settings, &why);
            break;
        }
        case kWlanHostedNetworkOpcodeEnable: {
            if (size < sizeof(BOOL))
                return bad();
            BOOL v = 0;
            std::memcpy(&v, data, sizeof v);
            e = m_driver.SetEnabled(v != 0, &why);
            break;
        }
        default:
            return bad();  // security settings and station profile are read-only
    }
    if (reason != nullptr)
        *reason = why;
    return e;
}

DWORD WlanLibrary::HostedQuerySecondaryKey(HANDLE handle, DWORD* length, UCHAR** data,
                                           BOOL* passPhrase, BOOL* persistent,
                                           WLAN_HOSTED_NETWORK_REASON* reason) {
    if (reason != nullptr)
        *reason = kWlanHostedNetworkReasonSuccess;
    if (auto f = Fault("WlanHostedNetworkQuerySecondaryKey"))
        return static_cast<DWORD>(*f);
    if (length == nullptr || data == nullptr || passPhrase == nullptr || persistent == nullptr)
        return kErrorInvalidParameter;
    if (const DWORD e = Check(handle, true); e != 0)
        return e;
    const HostedNetworkKey key = m_driver.SecondaryKey();
    *length = static_cast<DWORD>(key.bytes.size());
    *data = nullptr;
    if (!key.bytes.empty()) {
        void* out = Hand(key.bytes.data(), key.bytes.size());
        if (out == nullptr)
            return kErrorNotEnoughMemory;
        *data = static_cast<UCHAR*>(out);
    }
    *passPhrase = key.passPhrase ? TRUE_ : FALSE_;
    *persistent = key.persistent ? TRUE_ : FALSE_;
    return 0;
}

DWORD WlanLibrary::HostedSetSecondaryKey(HANDLE handle, DWORD length, const UCHAR* data,
                                         BOOL passPhrase, BOOL persistent,
                                         WLAN_HOSTED_NETWORK_REASON* reason) {
    if (reason != nullptr)
        *reason = kWlanHostedNetworkReasonSuccess;
    if (auto f = Fault("WlanHostedNetworkSetSecondaryKey"))
        return static_cast<DWORD>(*f);
    if (const DWORD e = Check(handle, true); e != 0)
        return e;
    auto bad = [&]() -> DWORD {
        if (reason != nullptr)
            *reason = kWlanHostedNetworkReasonBadParameters;
        return kErrorInvalidParameter;
    };
    HostedNetworkKey key;
    if (length == 0) {
        if (data != nullptr)
            return bad();
    } else {
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
        key.bytes.assign(data, data + length);
        key.passPhrase = passPhrase != 0;
        key.persistent = persistent != 0;
    }
    WLAN_HOSTED_NETWORK_REASON why = kWlanHostedNetworkReasonSuccess;
    const DWORD e = m_driver.SetSecondaryKey(key, &why);
    if (reason != nullptr)
        *reason = why;
    return e;
}

DWORD WlanLibrary::HostedRefreshSecuritySettings(HANDLE handle,
                                                 WLAN_HOSTED_NETWORK_REASON* reason) {
    if (reason != nullptr)
        *reason = kWlanHostedNetworkReasonSuccess;
    if (auto f = Fault("WlanHostedNetworkRefreshSecuritySettings"))
        return static_cast<DWORD>(*f);
    if (const DWORD e = Check(handle, true); e != 0)
        return e;
    WLAN_HOSTED_NETWORK_REASON why = kWlanHostedNetworkReasonSuccess;
    const DWORD e = m_driver.RefreshSecuritySettings(&why);
    if (reason != nullptr)
        *reason = why;
    return e;
}

}  // namespace plat
