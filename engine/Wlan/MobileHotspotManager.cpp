#include "MobileHotspotManager.h"

#include <glog/logging.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cwctype>
#include <set>

#include "Common/Interruption.h"
#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/text/TextCodec.h"
#include "platform/winapi/Win32Api.h"

namespace tet = plat::tethering;

namespace {

// The longest the manager waits for one operation of the system.
constexpr std::chrono::seconds kOperationLimit{60};
constexpr int kErrorTimeout = 1460;       // ERROR_TIMEOUT
constexpr int kErrorInvalidState = 5023;  // ERROR_INVALID_STATE: the engine waits and retries
constexpr std::size_t kMaxSsidBytes = 32;
constexpr std::size_t kMinKeyChars = 8;
constexpr std::size_t kMaxKeyChars = 63;

std::string Hex(plat::HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text;
}

std::string Utf8(const std::wstring& text) {
    return plat::TextCodec::WideToUtf8(text);
}

plat::Clock& Time() {
    return plat::Platform::Current().Time();
}

// The MAC as the system writes it ("aa:bb:cc:dd:ee:ff", "AA-BB-..." or bare
// digits) in the engine's form; empty when it is no MAC.
std::wstring NormalMac(const std::wstring& text) {
    std::wstring digits;
    for (wchar_t c : text) {
        if (c == L':' || c == L'-')
            continue;
        if (!std::iswxdigit(static_cast<wint_t>(c)))
            return std::wstring();
        digits += static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    }
    if (digits.size() != 12)
        return std::wstring();
    std::wstring mac;
    for (std::size_t i = 0; i < 12; i += 2) {
        if (!mac.empty())
            mac += L'-';
        mac += digits.substr(i, 2);
    }
    return mac;
}

const char* CapabilityReason(std::int32_t capability) {
    switch (capability) {
        case tet::kCapabilityDisabledByGroupPolicy:
            return "disabled by group policy";
        case tet::kCapabilityDisabledByHardwareLimitation:
            return "no Wi-Fi adapter can carry it";
        case tet::kCapabilityDisabledByOperator:
            return "disabled by the network operator";
        case tet::kCapabilityDisabledBySku:
            return "not offered by this account's services";
        case tet::kCapabilityDisabledByRequiredAppNotInstalled:
            return "an app it needs is not installed";
        case tet::kCapabilityDisabledDueToUnknownCause:
            return "disabled for an unknown cause";
        case tet::kCapabilityDisabledBySystemCapability:
            return "disabled by the system capability (the program may not control Wi-Fi)";
        default:
            return "refused";
    }
}

const char* StatusReason(std::int32_t status) {
    switch (status) {
        case tet::kStatusUnknown:
            return "unknown failure";
        case tet::kStatusMobileBroadbandDeviceOff:
            return "the mobile broadband device is off";
        case tet::kStatusWiFiDeviceOff:
            return "Wi-Fi is turned off";
        case tet::kStatusEntitlementCheckTimeout:
            return "the operator's entitlement check timed out";
        case tet::kStatusEntitlementCheckFailure:
            return "no cellular entitlement for tethering";
        case tet::kStatusOperationInProgress:
            return "another operation is in progress";
        case tet::kStatusBluetoothDeviceOff:
            return "Bluetooth is turned off";
        case tet::kStatusNetworkLimitedConnectivity:
            return "the shared connection has limited connectivity";
        case tet::kStatusRadioRestriction:
            return "the radio cannot use the band";
        case tet::kStatusBandInterference:
            return "the band interferes with the shared connection";
        default:
            return "unknown status";
    }
}

}  // namespace

struct CMobileHotspotManager::Wait {
    std::mutex lock;
    std::condition_variable_any changed;
    bool done = false;
    std::int32_t asyncStatus = tet::kAsyncStarted;
};

namespace {

// Subscribes to the completion of `op`; null when the system refuses the handler.
std::shared_ptr<CMobileHotspotManager::Wait> Subscribe(plat::TetheringOperation& op,
                                                       const char* what) {
    auto w = std::make_shared<CMobileHotspotManager::Wait>();
    const plat::HRESULT hr = op.PutCompleted([w](std::int32_t status) {
        {
            std::lock_guard<std::mutex> g(w->lock);
            w->done = true;
            w->asyncStatus = status;
        }
        w->changed.notify_all();
    });
    if (hr < 0) {
        LOG(ERROR) << what << " completion handler refused: " << Hex(hr);
        return nullptr;
    }
    return w;
}

// Waits for the completion; false when the wait ended first (a stop request
// when interruptible, or the operation limit).
bool WaitFor(CMobileHotspotManager::Wait& w, bool interruptible) {
    std::unique_lock<std::mutex> l(w.lock);
    plat::Clock& clock = Time();
    const std::stop_token stop = interruptible ? CInterruption::Current() : std::stop_token();
    return clock.WaitUntil(l, w.changed, stop, clock.Now() + kOperationLimit,
                           [&w] { return w.done; });
}

std::int32_t AsyncStatusOf(CMobileHotspotManager::Wait& w) {
    std::lock_guard<std::mutex> g(w.lock);
    return w.asyncStatus;
}

}  // namespace

CMobileHotspotManager::CMobileHotspotManager(CWiFiEventCallback* callback)
    : CWiFiManager(callback), m_hotspot(plat::Platform::Current().Hotspot()) {
    m_nMode = kWiFiModeMobileHotspot;
    // The runtime is reached on first use; whether it exists shows in Init.
    m_bApiReady = true;
}

CMobileHotspotManager::~CMobileHotspotManager() {
    StopPolling();
}

int CMobileHotspotManager::MapCapability(std::int32_t capability) {
    LOG(ERROR) << "Mobile hotspot refused for " << Utf8(m_profileName) << ": "
               << CapabilityReason(capability) << " (capability " << capability << ")";
    return capability == tet::kCapabilityDisabledByHardwareLimitation ? kWiFiNoInterface
                                                                      : kWiFiNotInitialized;
}

int CMobileHotspotManager::Init() {
    // A running hotspot keeps the manager and profile it was started with.
    if (m_bStarted)
        return kWiFiOk;
    m_bInitialized = false;
    m_manager.reset();
    m_profile.reset();

    plat::HRESULT hr = m_hotspot.GetInternetConnectionProfile(&m_profile);
    if (hr < 0) {
        LOG(ERROR) << "Mobile hotspot not supported: " << Hex(hr);
        return static_cast<int>(plat::kErrorNotSupported);
    }
    if (m_profile == nullptr) {
        LOG(ERROR) << "Mobile hotspot: no connection reaches the Internet";
        return kWiFiNotInitialized;
    }
    m_profileName.clear();
    m_profile->GetProfileName(&m_profileName);

    std::int32_t capability = tet::kCapabilityEnabled;
    hr = m_hotspot.GetTetheringCapabilityFromConnectionProfile(*m_profile, &capability);
    if (hr < 0) {
        LOG(ERROR) << "GetTetheringCapability failed: " << Hex(hr);
        return kWiFiNotInitialized;
    }
    if (capability != tet::kCapabilityEnabled)
        return MapCapability(capability);

    hr = m_hotspot.CreateFromConnectionProfile(*m_profile, &m_manager);
    if (hr < 0 || m_manager == nullptr) {
        LOG(ERROR) << "CreateFromConnectionProfile failed: " << Hex(hr);
        m_manager.reset();
        return kWiFiNotInitialized;
    }
    LOG(INFO) << "Mobile hotspot shares " << Utf8(m_profileName);
    m_bInitialized = true;
    return kWiFiOk;
}

bool CMobileHotspotManager::SetSsid(const std::wstring& ssid) {
    m_strSsid = ssid;
    std::string bytes;
    if (!plat::TextCodec::WideToUtf8(ssid, &bytes)) {
        LOG(ERROR) << "ssid is no text";
        return false;
    }
    // The system takes the name as text and puts it on the air as UTF-8,
    // whatever encoding was asked for.
    if (bytes.empty() || bytes.size() > kMaxSsidBytes) {
        LOG(ERROR) << "ssid must be 1 to 32 bytes: " << bytes.size();
        return false;
    }
    LOG(INFO) << "ssid is " << bytes << " length:" << bytes.size();
    return true;
}

bool CMobileHotspotManager::SetKey(const std::wstring& key) {
    m_strKey = key;
    if (key.size() < kMinKeyChars || key.size() > kMaxKeyChars) {
        LOG(ERROR) << "key must be 8 to 63 characters: " << key.size();
        return false;
    }
    LOG(INFO) << "key length:" << key.size();
    return true;
}

std::wstring CMobileHotspotManager::GetSsid() {
    plat::AccessPointConfig config;
    m_strSsid.clear();
    if (m_manager != nullptr && m_manager->GetCurrentAccessPointConfiguration(&config) >= 0)
        m_strSsid = config.ssid;
    return m_strSsid;
}

std::wstring CMobileHotspotManager::GetKey() {
    plat::AccessPointConfig config;
    m_strKey.clear();
    if (m_manager != nullptr && m_manager->GetCurrentAccessPointConfiguration(&config) >= 0)
        m_strKey = config.passphrase;
    return m_strKey;
}

int CMobileHotspotManager::GetAdapterGuid(plat::GUID* out) {
    if (out != nullptr)
        *out = plat::GUID{};
    return kWiFiOk;
}

std::vector<CMobileHotspotManager::Station> CMobileHotspotManager::GetStations() {
    std::lock_guard<std::mutex> g(m_stationsLock);
    return m_stations;
}

int CMobileHotspotManager::MapStatus(std::int32_t status, const char* what) {
    LOG(ERROR) << what << " failed: " << StatusReason(status) << " (status " << status << ")";
    switch (status) {
        case tet::kStatusWiFiDeviceOff:
            return kWiFiSoftRadioOff;
        case tet::kStatusOperationInProgress:
            return kErrorInvalidState;
        default:
            return kWiFiNotInitialized;
    }
}

void CMobileHotspotManager::KeepUpWithoutClients() {
    bool enabled = false;
    plat::HRESULT hr = m_hotspot.IsNoConnectionsTimeoutEnabled(&enabled);
    if (hr >= 0 && enabled)
        hr = m_hotspot.DisableNoConnectionsTimeout();
    if (hr < 0) {
        LOG(WARNING) << "No-connections timeout cannot be disabled (" << Hex(hr)
                     << "): Windows stops the hotspot five minutes after the last client leaves";
        return;
    }
    if (enabled) {
        m_timeoutDisabledHere = true;
        LOG(INFO) << "No-connections timeout disabled";
    }
}

void CMobileHotspotManager::RestoreTimeout() {
    if (!m_timeoutDisabledHere)
        return;
    // The user's setting comes back once the program no longer needs it off.
    const plat::HRESULT hr = m_hotspot.EnableNoConnectionsTimeout();
    if (hr < 0)
        LOG(WARNING) << "No-connections timeout not restored: " << Hex(hr);
    else
        m_timeoutDisabledHere = false;
}

int CMobileHotspotManager::StartAp() {
    if (!m_bInitialized || m_manager == nullptr)
        return kWiFiNotInitialized;

    plat::AccessPointConfig config;
    config.ssid = m_strSsid;
    config.passphrase = m_strKey;
    std::unique_ptr<plat::TetheringOperation> configure;
    plat::HRESULT hr = m_manager->ConfigureAccessPointAsync(config, &configure);
    if (hr < 0 || configure == nullptr) {
        LOG(ERROR) << "ConfigureAccessPointAsync failed: " << Hex(hr);
        return kWiFiSetSsidFailed;
    }
    auto w = Subscribe(*configure, "ConfigureAccessPoint");
    if (w == nullptr)
        return kWiFiSetSsidFailed;
    if (!WaitFor(*w, true)) {
        const bool interrupted = CInterruption::Requested();
        configure->Cancel();
        LOG(INFO) << "CMobileHotspotManager::StartAp"
                  << (interrupted ? " thread_interrupted" : " configuration timed out");
        return interrupted ? kWiFiInterrupted : kErrorTimeout;
    }
    if (AsyncStatusOf(*w) != tet::kAsyncCompleted) {
        plat::HRESULT error = 0;
        configure->GetErrorCode(&error);
        LOG(ERROR) << "ConfigureAccessPoint failed: " << Hex(error);
        return kWiFiSetSsidFailed;
    }
    LOG(INFO) << "ConfigureAccessPoint succeed";

    KeepUpWithoutClients();

    std::unique_ptr<plat::TetheringOperation> start;
    hr = m_manager->StartTetheringAsync(&start);
    if (hr < 0 || start == nullptr) {
        LOG(ERROR) << "StartTetheringAsync failed: " << Hex(hr);
        RestoreTimeout();
        return kWiFiNotInitialized;
    }
    w = Subscribe(*start, "StartTethering");
    if (w == nullptr) {
        RestoreTimeout();
        return kWiFiNotInitialized;
    }
    std::int32_t status = tet::kStatusUnknown;
    if (!WaitFor(*w, true)) {
        const bool interrupted = CInterruption::Requested();
        start->Cancel();
        LOG(INFO) << "CMobileHotspotManager::StartAp"
                  << (interrupted ? " thread_interrupted" : " start timed out");
        // A start the system completes all the same must not leave the
        // hotspot up behind the engine's back.
        if (WaitFor(*w, false) && AsyncStatusOf(*w) == tet::kAsyncCompleted &&
            start->GetResults(&status, nullptr) >= 0 && status == tet::kStatusSuccess) {
            LOG(INFO) << "StartTethering completed after it was abandoned; stopping it";
            StopTethering();
        }
        RestoreTimeout();
        return interrupted ? kWiFiInterrupted : kErrorTimeout;
    }
    const std::int32_t async = AsyncStatusOf(*w);
    std::wstring message;
    if (async != tet::kAsyncCompleted || (hr = start->GetResults(&status, &message)) < 0) {
        plat::HRESULT error = hr;
        if (async != tet::kAsyncCompleted)
            start->GetErrorCode(&error);
        LOG(ERROR) << "StartTethering failed: " << Hex(error);
        RestoreTimeout();
        return kWiFiNotInitialized;
    }
    if (status != tet::kStatusSuccess && status != tet::kStatusAlreadyOn) {
        if (!message.empty())
            LOG(ERROR) << "StartTethering message: " << Utf8(message);
        RestoreTimeout();
        return MapStatus(status, "StartTethering");
    }
    LOG(INFO) << "StartTethering succeed";
    m_bStarted = true;
    StartPolling();
    if (m_pCallback != nullptr)
        m_pCallback->OnWiFiStarted();
    return kWiFiOk;
}

int CMobileHotspotManager::StopTethering() {
    std::unique_ptr<plat::TetheringOperation> stop;
    plat::HRESULT hr = m_manager->StopTetheringAsync(&stop);
    if (hr < 0 || stop == nullptr) {
        LOG(ERROR) << "StopTetheringAsync failed: " << Hex(hr);
        return kWiFiNotInitialized;
    }
    auto w = Subscribe(*stop, "StopTethering");
    if (w == nullptr)
        return kWiFiNotInitialized;
    // A stop runs to its end: the user's stop request is what brought it.
    if (!WaitFor(*w, false)) {
        stop->Cancel();
        LOG(ERROR) << "StopTethering timed out";
        return kErrorTimeout;
    }
    std::int32_t status = tet::kStatusUnknown;
    if (AsyncStatusOf(*w) != tet::kAsyncCompleted ||
        (hr = stop->GetResults(&status, nullptr)) < 0) {
        plat::HRESULT error = hr;
        stop->GetErrorCode(&error);
        LOG(ERROR) << "StopTethering failed: " << Hex(error);
        return kWiFiNotInitialized;
    }
    if (status != tet::kStatusSuccess)
        return MapStatus(status, "StopTethering");
    LOG(INFO) << "StopTethering succeed";
    m_bStarted = false;
    return kWiFiOk;
}

int CMobileHotspotManager::StopAp() {
    // No poll reports the system's own stop of this stop.
    StopPolling();
    if (m_manager == nullptr)
        return kWiFiNotInitialized;
    const int code = StopTethering();
    RestoreTimeout();
    {
        std::lock_guard<std::mutex> g(m_stationsLock);
        m_stations.clear();
    }
    return code;
}

void CMobileHotspotManager::StartPolling() {
    StopPolling();
    m_pollThread = std::jthread([this](std::stop_token token) { _PollThread(std::move(token)); });
}

void CMobileHotspotManager::StopPolling() {
    m_pollThread.request_stop();
    if (m_pollThread.joinable())
        m_pollThread.join();
}

void CMobileHotspotManager::_PollThread(std::stop_token token) {
    CInterruption::Scope scope(token);
    std::set<std::wstring> known;
    while (!token.stop_requested()) {
        std::vector<plat::TetheringClientInfo> clients;
        // A list that cannot be read this round says nothing about who left.
        if (m_manager->GetTetheringClients(&clients) >= 0) {
            std::vector<Station> stations;
            std::set<std::wstring> seen;
            for (const plat::TetheringClientInfo& c : clients) {
                const std::wstring mac = NormalMac(c.mac);
                if (mac.empty()) {
                    LOG(WARNING) << "Mobile hotspot client with an unreadable MAC: " << Utf8(c.mac);
                    continue;
                }
                if (!seen.insert(mac).second)
                    continue;
                stations.push_back({mac, c.hostNames});
            }
            {
                std::lock_guard<std::mutex> g(m_stationsLock);
                m_stations = stations;
            }
            for (const Station& s : stations) {
                if (known.count(s.mac) == 0) {
                    LOG(INFO) << "CMobileHotspotManager::OnStationJoin " << Utf8(s.mac);
                    if (m_pCallback != nullptr)
                        m_pCallback->OnStationJoin(s.mac);
                }
            }
            for (const std::wstring& mac : known) {
                if (seen.count(mac) == 0) {
                    LOG(INFO) << "CMobileHotspotManager::OnStationLeave " << Utf8(mac);
                    if (m_pCallback != nullptr)
                        m_pCallback->OnStationLeave(mac);
                }
            }
            known = std::move(seen);
        }
        std::int32_t state = tet::kStateOn;
        if (m_manager->GetOperationalState(&state) >= 0 && state == tet::kStateOff) {
            // Windows (or the user in its settings) turned the hotspot off.
            LOG(INFO) << "CMobileHotspotManager::OnHotspotStopped";
            plat::OutputDebugStringW(L"[Lumari] CMobileHotspotManager::OnHotspotStopped");
            {
                std::lock_guard<std::mutex> g(m_stationsLock);
                m_stations.clear();
            }
            if (m_pCallback != nullptr)
                m_pCallback->OnWiFiStopped();
            break;
        }
        if (!CInterruption::Sleep(std::chrono::seconds(1)))
            break;
    }
}
