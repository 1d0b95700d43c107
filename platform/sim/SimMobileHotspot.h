// The mobile hotspot of the simulated PC (Windows 10 and later), following
// the system's documented rules: its connection profiles are the Network List
// Manager's connections (the Internet profile is the first that reaches the
// Internet; none, none); the configured SSID and pass phrase persist across
// managers and runs and are checked as the system checks them (SSID 1 to 32
// bytes of UTF-8, pass phrase 8 to 63 characters); a start without a capable
// radio fails; at most 8 clients; with no client for five minutes of the
// simulated clock the system turns the hotspot off, unless the no-connections
// timeout is disabled. Every operation completes on a thread of its own, which
// a test may hold back to keep the operation pending. Before Windows 10 the
// runtime class does not exist. Every step is a fault hook by its name; the
// hooks "StartTetheringResult", "StopTetheringResult" set the status an
// operation completes with and "ConfigureAccessPointResult" the error code the
// configuration fails with.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/facility/Clock.h"
#include "platform/facility/MobileHotspot.h"

namespace plat {

class SimFaults;
class SimClock;
class SimOs;
class SimNetwork;
class SimNlm;

enum class SimHotspotRadio { Capable, Off, None };

class SimMobileHotspot : public MobileHotspot {
public:
    static constexpr std::uint32_t kMaxClients = 8;
    static constexpr std::chrono::minutes kNoConnectionsTimeout{5};

    SimMobileHotspot(SimFaults& faults, SimClock& clock, SimOs& os, SimNetwork& network,
                     SimNlm& nlm);
    ~SimMobileHotspot() override;
    SimMobileHotspot(const SimMobileHotspot&) = delete;
    SimMobileHotspot& operator=(const SimMobileHotspot&) = delete;

    // The PC's state, set by tests.
    void SetRadio(SimHotspotRadio radio);
    // A refusal the system reports for every profile (group policy, the
    // operator, the SKU...); nothing: the system decides from the radio.
    void SetCapability(std::optional<std::int32_t> capability);
    void SetBandSupported(std::int32_t band, bool supported);
    // Operations wait before completing until ReleaseOperations; the first
    // `after` operations launched from now on still complete at once.
    void HoldOperations(int after = 0);
    void ReleaseOperations();
    // Operations started and not completed yet.
    int PendingOperations() const;
    // Waits in real time (at most 10 s) until no operation is pending.
    bool WaitIdle();
    // A device joins (false when the hotspot is off or full) or leaves.
    bool AddClient(const std::wstring& mac, std::vector<std::wstring> hostNames = {});
    bool RemoveClient(const std::wstring& mac);
    // The user turns the hotspot off in the system's settings.
    void TurnOffOutside();

    // What tests inspect.
    std::int32_t OperationalState();
    AccessPointConfig Config() const;
    bool NoConnectionsTimeoutEnabled() const;
    std::vector<TetheringClientInfo> Clients();

    HRESULT GetInternetConnectionProfile(std::unique_ptr<ConnectionProfile>* profile) override;
    HRESULT GetConnectionProfiles(
        std::vector<std::unique_ptr<ConnectionProfile>>* profiles) override;
    HRESULT GetTetheringCapabilityFromConnectionProfile(ConnectionProfile& profile,
                                                        std::int32_t* capability) override;
    HRESULT CreateFromConnectionProfile(ConnectionProfile& profile,
                                        std::unique_ptr<TetheringManager>* manager) override;
    HRESULT IsNoConnectionsTimeoutEnabled(bool* enabled) override;
    HRESULT EnableNoConnectionsTimeout() override;
    HRESULT DisableNoConnectionsTimeout() override;

    struct Operation;
    class Manager;

private:
    friend class Manager;
    bool HasRuntime() const;
    bool HasTimeoutSetting() const;
    // Turns the hotspot off when the no-connections timeout has run out.
    // Called with m_lock held.
    void ExpireLocked();
    // Starts an operation's thread; `apply` runs when it completes (under the
    // hotspot's lock), told whether the operation was canceled, and gives its
    // status, or an error code through `error`.
    std::unique_ptr<TetheringOperation> Launch(
        bool hasStatus, std::function<std::int32_t(bool canceled, HRESULT* error)> apply);
    HRESULT Configure(const AccessPointConfig& config, std::unique_ptr<TetheringOperation>* out);
    HRESULT Start(std::unique_ptr<TetheringOperation>* out);
    HRESULT Stop(std::unique_ptr<TetheringOperation>* out);

    SimFaults& m_faults;
    SimClock& m_clock;
    SimOs& m_os;
    SimNetwork& m_network;
    SimNlm& m_nlm;

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    SimHotspotRadio m_radio = SimHotspotRadio::Capable;
    std::optional<std::int32_t> m_capability;
    std::map<std::int32_t, bool> m_bands{{tethering::kBandAuto, true},
                                         {tethering::kBand24GHz, true},
                                         {tethering::kBand5GHz, true},
                                         {tethering::kBand6GHz, false}};
    AccessPointConfig m_config;
    bool m_configured = false;
    std::int32_t m_state = tethering::kStateOff;
    bool m_timeoutEnabled = true;
    Clock::Steady m_idleSince{};
    std::vector<TetheringClientInfo> m_clients;
    bool m_hold = false;
    int m_holdAfter = 0;
    int m_pending = 0;
    std::vector<std::thread> m_threads;
};

}  // namespace plat
