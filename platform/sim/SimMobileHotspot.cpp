#include "SimMobileHotspot.h"

#include "SimClock.h"
#include "SimFaults.h"
#include "SimNetwork.h"
#include "SimNlm.h"
#include "SimOs.h"
#include "platform/facility/NetworkListManager.h"
#include "platform/text/TextCodec.h"

namespace plat {

namespace {

// The first Windows 10 build with the no-connections timeout setting (2004).
constexpr DWORD kTimeoutSettingBuild = 19041;

struct OperationState {
    std::mutex lock;
    bool hasStatus = true;
    bool done = false;
    bool canceled = false;
    std::int32_t asyncStatus = tethering::kAsyncStarted;
    std::int32_t status = tethering::kStatusSuccess;
    HRESULT error = kSOk;
    bool handlerSet = false;
    std::function<void(std::int32_t)> handler;
};

class SimProfile : public ConnectionProfile {
public:
    SimProfile(const GUID& adapter, std::wstring name)
        : m_adapter(adapter), m_name(std::move(name)) {}
    HRESULT GetProfileName(std::wstring* name) override {
        *name = m_name;
        return kSOk;
    }
    HRESULT GetNetworkAdapterId(GUID* id) override {
        *id = m_adapter;
        return kSOk;
    }
    const GUID& Adapter() const { return m_adapter; }

private:
    GUID m_adapter;
    std::wstring m_name;
};

bool ReachesInternet(const SimNlmConnection& c) {
    return (c.connectivity & (kNlmConnectivityIpv4Internet | kNlmConnectivityIpv6Internet)) != 0;
}

}  // namespace

struct SimMobileHotspot::Operation : TetheringOperation {
    std::shared_ptr<OperationState> s = std::make_shared<OperationState>();

    HRESULT PutCompleted(std::function<void(std::int32_t)> handler) override {
        std::function<void(std::int32_t)> now;
        std::int32_t status;
        {
            std::lock_guard<std::mutex> g(s->lock);
            if (s->handlerSet)
                return kEIllegalDelegateAssignment;
            s->handlerSet = true;
            if (!s->done) {
                s->handler = std::move(handler);
                return kSOk;
            }
            now = std::move(handler);
            status = s->asyncStatus;
        }
        if (now)
            now(status);
        return kSOk;
    }
    HRESULT GetResults(std::int32_t* status, std::wstring* message) override {
        std::lock_guard<std::mutex> g(s->lock);
        if (!s->done)
            return kEIllegalMethodCall;
        if (s->asyncStatus == tethering::kAsyncCanceled)
            return kEAbort;
        if (s->asyncStatus == tethering::kAsyncError)
            return s->error;
        if (status != nullptr)
            *status = s->status;
        if (message != nullptr)
            message->clear();
        return kSOk;
    }
    HRESULT GetErrorCode(HRESULT* code) override {
        std::lock_guard<std::mutex> g(s->lock);
        *code = s->error;
        return kSOk;
    }
    HRESULT Cancel() override {
        std::lock_guard<std::mutex> g(s->lock);
        if (!s->done)
            s->canceled = true;
        return kSOk;
    }
};

class SimMobileHotspot::Manager : public TetheringManager {
public:
    explicit Manager(SimMobileHotspot& hotspot) : m_h(hotspot) {}

    HRESULT GetMaxClientCount(std::uint32_t* count) override {
        *count = kMaxClients;
        return kSOk;
    }
    HRESULT GetClientCount(std::uint32_t* count) override {
        std::lock_guard<std::mutex> g(m_h.m_lock);
        m_h.ExpireLocked();
        *count = static_cast<std::uint32_t>(m_h.m_clients.size());
        return kSOk;
    }
    HRESULT GetOperationalState(std::int32_t* state) override {
        if (auto f = m_h.m_faults.Take("GetTetheringOperationalState"))
            return static_cast<HRESULT>(*f);
        std::lock_guard<std::mutex> g(m_h.m_lock);
        m_h.ExpireLocked();
        *state = m_h.m_state;
        return kSOk;
    }
    HRESULT GetCurrentAccessPointConfiguration(AccessPointConfig* config) override {
        if (auto f = m_h.m_faults.Take("GetCurrentAccessPointConfiguration"))
            return static_cast<HRESULT>(*f);
        *config = m_h.Config();
        return kSOk;
    }
    HRESULT IsBandSupported(std::int32_t band, bool* supported) override {
        if (auto f = m_h.m_faults.Take("IsBandSupported"))
            return static_cast<HRESULT>(*f);
        if (!m_h.HasTimeoutSetting())
            return kENoInterface;  // the band came with the same release
        std::lock_guard<std::mutex> g(m_h.m_lock);
        auto it = m_h.m_bands.find(band);
        *supported = it != m_h.m_bands.end() && it->second;
        return kSOk;
    }
    HRESULT ConfigureAccessPointAsync(const AccessPointConfig& config,
                                      std::unique_ptr<TetheringOperation>* action) override {
        return m_h.Configure(config, action);
    }
    HRESULT StartTetheringAsync(std::unique_ptr<TetheringOperation>* operation) override {
        return m_h.Start(operation);
    }
    HRESULT StopTetheringAsync(std::unique_ptr<TetheringOperation>* operation) override {
        return m_h.Stop(operation);
    }
    HRESULT GetTetheringClients(std::vector<TetheringClientInfo>* clients) override {
        if (auto f = m_h.m_faults.Take("GetTetheringClients"))
            return static_cast<HRESULT>(*f);
        *clients = m_h.Clients();
        return kSOk;
    }

private:
    SimMobileHotspot& m_h;
};

SimMobileHotspot::SimMobileHotspot(SimFaults& faults, SimClock& clock, SimOs& os,
                                   SimNetwork& network, SimNlm& nlm)
    : m_faults(faults), m_clock(clock), m_os(os), m_network(network), m_nlm(nlm) {}

SimMobileHotspot::~SimMobileHotspot() {
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_hold = false;
    }
    m_changed.notify_all();
    for (std::thread& t : m_threads)
        if (t.joinable())
            t.join();
}

void SimMobileHotspot::SetRadio(SimHotspotRadio radio) {
    std::lock_guard<std::mutex> g(m_lock);
    m_radio = radio;
}

void SimMobileHotspot::SetCapability(std::optional<std::int32_t> capability) {
    std::lock_guard<std::mutex> g(m_lock);
    m_capability = capability;
}

void SimMobileHotspot::SetBandSupported(std::int32_t band, bool supported) {
    std::lock_guard<std::mutex> g(m_lock);
    m_bands[band] = supported;
}

void SimMobileHotspot::HoldOperations(int after) {
    std::lock_guard<std::mutex> g(m_lock);
    m_hold = true;
    m_holdAfter = after;
}

void SimMobileHotspot::ReleaseOperations() {
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_hold = false;
    }
    m_changed.notify_all();
}

int SimMobileHotspot::PendingOperations() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_pending;
}

bool SimMobileHotspot::WaitIdle() {
    std::unique_lock<std::mutex> l(m_lock);
    return m_changed.wait_for(l, std::chrono::seconds(10), [this] { return m_pending == 0; });
}

bool SimMobileHotspot::AddClient(const std::wstring& mac, std::vector<std::wstring> hostNames) {
    std::lock_guard<std::mutex> g(m_lock);
    ExpireLocked();
    if (m_state != tethering::kStateOn || m_clients.size() >= kMaxClients)
        return false;
    for (const auto& c : m_clients)
        if (c.mac == mac)
            return false;
    m_clients.push_back({mac, std::move(hostNames)});
    return true;
}

bool SimMobileHotspot::RemoveClient(const std::wstring& mac) {
    std::lock_guard<std::mutex> g(m_lock);
    ExpireLocked();
    for (auto it = m_clients.begin(); it != m_clients.end(); ++it) {
        if (it->mac == mac) {
            m_clients.erase(it);
            if (m_clients.empty())
                m_idleSince = m_clock.Now();
            return true;
        }
    }
    return false;
}

void SimMobileHotspot::TurnOffOutside() {
    std::lock_guard<std::mutex> g(m_lock);
    m_state = tethering::kStateOff;
    m_clients.clear();
}

std::int32_t SimMobileHotspot::OperationalState() {
    std::lock_guard<std::mutex> g(m_lock);
    ExpireLocked();
    return m_state;
}

AccessPointConfig SimMobileHotspot::Config() const {
    std::lock_guard<std::mutex> g(m_lock);
    if (m_configured)
        return m_config;
    // Until configured, the system's own name and a pass phrase it made up.
    AccessPointConfig c;
    c.ssid = TextCodec::Utf8ToWide(m_os.ComputerName() + " 4821");
    c.passphrase = L"7r2K9pq4";
    return c;
}

bool SimMobileHotspot::NoConnectionsTimeoutEnabled() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_timeoutEnabled;
}

std::vector<TetheringClientInfo> SimMobileHotspot::Clients() {
    std::lock_guard<std::mutex> g(m_lock);
    ExpireLocked();
    return m_clients;
}

bool SimMobileHotspot::HasRuntime() const {
    return m_os.Version().major >= 10;
}

bool SimMobileHotspot::HasTimeoutSetting() const {
    const OsVersion v = m_os.Version();
    return v.major >= 10 && v.build >= kTimeoutSettingBuild;
}

void SimMobileHotspot::ExpireLocked() {
    if (m_state == tethering::kStateOn && m_timeoutEnabled && m_clients.empty() &&
        m_clock.Now() - m_idleSince >= kNoConnectionsTimeout)
        m_state = tethering::kStateOff;
}

HRESULT SimMobileHotspot::GetInternetConnectionProfile(
    std::unique_ptr<ConnectionProfile>* profile) {
    if (!HasRuntime())
        return kRegdbEClassNotReg;
    if (auto f = m_faults.Take("GetInternetConnectionProfile"))
        return static_cast<HRESULT>(*f);
    profile->reset();
    for (const SimNlmConnection& c : m_nlm.Current()) {
        if (!ReachesInternet(c))
            continue;
        AdapterInfo a;
        m_network.FindAdapter(c.adapterId, &a);
        *profile = std::make_unique<SimProfile>(c.adapterId, a.friendlyName);
        break;
    }
    return kSOk;
}

HRESULT SimMobileHotspot::GetConnectionProfiles(
    std::vector<std::unique_ptr<ConnectionProfile>>* profiles) {
    if (!HasRuntime())
        return kRegdbEClassNotReg;
    if (auto f = m_faults.Take("GetConnectionProfiles"))
        return static_cast<HRESULT>(*f);
    profiles->clear();
    for (const SimNlmConnection& c : m_nlm.Current()) {
        AdapterInfo a;
        m_network.FindAdapter(c.adapterId, &a);
        profiles->push_back(std::make_unique<SimProfile>(c.adapterId, a.friendlyName));
    }
    return kSOk;
}

HRESULT SimMobileHotspot::GetTetheringCapabilityFromConnectionProfile(ConnectionProfile& profile,
                                                                      std::int32_t* capability) {
    if (!HasRuntime())
        return kRegdbEClassNotReg;
    if (auto f = m_faults.Take("GetTetheringCapabilityFromConnectionProfile"))
        return static_cast<HRESULT>(*f);
    if (dynamic_cast<SimProfile*>(&profile) == nullptr)
        return kEInvalidArg;
    std::lock_guard<std::mutex> g(m_lock);
    if (m_capability)
        *capability = *m_capability;
    else if (m_radio == SimHotspotRadio::None)
        *capability = tethering::kCapabilityDisabledByHardwareLimitation;
    else
        *capability = tethering::kCapabilityEnabled;
    return kSOk;
}

HRESULT SimMobileHotspot::CreateFromConnectionProfile(ConnectionProfile& profile,
                                                      std::unique_ptr<TetheringManager>* manager) {
    if (!HasRuntime())
        return kRegdbEClassNotReg;
    if (auto f = m_faults.Take("CreateFromConnectionProfile"))
        return static_cast<HRESULT>(*f);
    if (dynamic_cast<SimProfile*>(&profile) == nullptr)
        return kEInvalidArg;
    *manager = std::make_unique<Manager>(*this);
    return kSOk;
}

HRESULT SimMobileHotspot::IsNoConnectionsTimeoutEnabled(bool* enabled) {
    if (!HasRuntime())
        return kRegdbEClassNotReg;
    if (!HasTimeoutSetting())
        return kENoInterface;
    if (auto f = m_faults.Take("IsNoConnectionsTimeoutEnabled"))
        return static_cast<HRESULT>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    *enabled = m_timeoutEnabled;
    return kSOk;
}

HRESULT SimMobileHotspot::EnableNoConnectionsTimeout() {
    if (!HasRuntime())
        return kRegdbEClassNotReg;
    if (!HasTimeoutSetting())
        return kENoInterface;
    if (auto f = m_faults.Take("EnableNoConnectionsTimeout"))
        return static_cast<HRESULT>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    if (!m_timeoutEnabled)
        m_idleSince = m_clock.Now();  // the five minutes count from now
    m_timeoutEnabled = true;
    return kSOk;
}

HRESULT SimMobileHotspot::DisableNoConnectionsTimeout() {
    if (!HasRuntime())
        return kRegdbEClassNotReg;
    if (!HasTimeoutSetting())
        return kENoInterface;
    if (auto f = m_faults.Take("DisableNoConnectionsTimeout"))
        return static_cast<HRESULT>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    ExpireLocked();
    m_timeoutEnabled = false;
    return kSOk;
}

std::unique_ptr<TetheringOperation> SimMobileHotspot::Launch(
    bool hasStatus, std::function<std::int32_t(bool canceled, HRESULT* error)> apply) {
    auto op = std::make_unique<Operation>();
    op->s->hasStatus = hasStatus;
    std::shared_ptr<OperationState> s = op->s;
    std::lock_guard<std::mutex> g(m_lock);
    ++m_pending;
    const bool held = m_holdAfter <= 0;
    if (m_holdAfter > 0)
        --m_holdAfter;
    m_threads.emplace_back([this, s, held, apply = std::move(apply)] {
        std::int32_t status = tethering::kStatusSuccess;
        HRESULT error = kSOk;
        bool canceled;
        {
            std::unique_lock<std::mutex> l(m_lock);
            m_changed.wait(l, [this, held] { return !held || !m_hold; });
            {
                std::lock_guard<std::mutex> sg(s->lock);
                canceled = s->canceled;
            }
            status = apply(canceled, &error);
        }
        std::function<void(std::int32_t)> handler;
        std::int32_t asyncStatus;
        {
            std::lock_guard<std::mutex> sg(s->lock);
            s->done = true;
            s->status = status;
            s->error = canceled ? kEAbort : error;
            s->asyncStatus = canceled        ? tethering::kAsyncCanceled
                             : error != kSOk ? tethering::kAsyncError
                                             : tethering::kAsyncCompleted;
            asyncStatus = s->asyncStatus;
            handler = std::move(s->handler);
        }
        if (handler)
            handler(asyncStatus);
        {
            std::lock_guard<std::mutex> l(m_lock);
            --m_pending;
        }
        m_changed.notify_all();
    });
    return op;
}

HRESULT SimMobileHotspot::Configure(const AccessPointConfig& config,
                                    std::unique_ptr<TetheringOperation>* out) {
    if (auto f = m_faults.Take("ConfigureAccessPointAsync"))
        return static_cast<HRESULT>(*f);
    *out = Launch(false, [this, config](bool canceled, HRESULT* error) -> std::int32_t {
        if (canceled)
            return tethering::kStatusUnknown;
        if (auto f = m_faults.Take("ConfigureAccessPointResult")) {
            *error = static_cast<HRESULT>(*f);
            return tethering::kStatusUnknown;
        }
        const std::size_t ssidBytes = TextCodec::WideToUtf8(config.ssid).size();
        const std::size_t keyChars = config.passphrase.size();
        auto band = m_bands.find(config.band);
        if (ssidBytes < 1 || ssidBytes > 32 || keyChars < 8 || keyChars > 63 ||
            band == m_bands.end() || !band->second) {
            *error = kEInvalidArg;
            return tethering::kStatusUnknown;
        }
        m_config = config;
        m_configured = true;
        return tethering::kStatusSuccess;
    });
    return kSOk;
}

HRESULT SimMobileHotspot::Start(std::unique_ptr<TetheringOperation>* out) {
    if (auto f = m_faults.Take("StartTetheringAsync"))
        return static_cast<HRESULT>(*f);
    std::int32_t before;
    {
        std::lock_guard<std::mutex> g(m_lock);
        ExpireLocked();
        before = m_state;
        m_state = tethering::kStateInTransition;
    }
    *out = Launch(true, [this, before](bool canceled, HRESULT*) -> std::int32_t {
        const std::int32_t undone =
            before == tethering::kStateInTransition ? tethering::kStateOff : before;
        if (canceled) {
            m_state = undone;
            return tethering::kStatusUnknown;
        }
        std::int32_t status = tethering::kStatusSuccess;
        if (auto f = m_faults.Take("StartTetheringResult"))
            status = static_cast<std::int32_t>(*f);
        else if (m_radio == SimHotspotRadio::None)
            status = tethering::kStatusUnknown;
        else if (m_radio == SimHotspotRadio::Off)
            status = tethering::kStatusWiFiDeviceOff;
        if (status == tethering::kStatusSuccess) {
            if (before != tethering::kStateOn)
                m_idleSince = m_clock.Now();
            m_state = tethering::kStateOn;
        } else {
            m_state = undone;
        }
        return status;
    });
    return kSOk;
}

HRESULT SimMobileHotspot::Stop(std::unique_ptr<TetheringOperation>* out) {
    if (auto f = m_faults.Take("StopTetheringAsync"))
        return static_cast<HRESULT>(*f);
    std::int32_t before;
    {
        std::lock_guard<std::mutex> g(m_lock);
        ExpireLocked();
        before = m_state;
        m_state = tethering::kStateInTransition;
    }
    *out = Launch(true, [this, before](bool canceled, HRESULT*) -> std::int32_t {
        if (canceled) {
            m_state = before;
            return tethering::kStatusUnknown;
        }
        std::int32_t status = tethering::kStatusSuccess;
        if (auto f = m_faults.Take("StopTetheringResult"))
            status = static_cast<std::int32_t>(*f);
        if (status == tethering::kStatusSuccess) {
            m_state = tethering::kStateOff;
            m_clients.clear();
        } else {
            m_state = before;
        }
        return status;
    });
    return kSOk;
}

}  // namespace plat
