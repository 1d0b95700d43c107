// Power and session of the simulated PC: records shutdowns, the keep-awake
// state, run-at-logon entries (in the simulated registry), the instance lock,
// firewall rules and the hand-over channels; tests raise power and session
// events, which reach the watching listener on the test's thread.
#pragma once

#include <map>
#include <mutex>
#include <set>
#include <string>

#include "platform/facility/SessionControl.h"

namespace plat {

class SimFaults;
class RegistryStore;
class OsInfo;

class SimSession : public SessionControl {
public:
    // With `token`, the writes that need administrator rights (the
    // machine-wide Run key, the firewall) are refused without them.
    SimSession(SimFaults& faults, RegistryStore& registry, OsInfo* token = nullptr)
        : m_faults(faults), m_registry(registry), m_token(token) {}

    int Shutdowns() const;
    bool Awake() const;
    bool HasFirewallRule(const std::wstring& name, std::wstring* path) const;

    DWORD Shutdown(bool force) override;
    void KeepAwake(bool on) override;
    DWORD SetRunAtLogon(const std::string& name, const std::string& command, bool on) override;
    bool IsRunAtLogon(const std::string& name) override;
    bool AcquireInstanceLock(const std::string& name) override;
    HRESULT AddFirewallException(const std::wstring& name, const std::wstring& path) override;
    bool SignalInstance(const std::string& channel) override;
    bool WatchSession(const std::string& channel, SessionListener* listener) override;

    // Delivers `event` to the watching listener; its answer, false when
    // nobody watches.
    bool Raise(SessionEvent event);
    // A resume as Windows tells it: "resumed automatically" always, then
    // "resumed by the user" only when someone uses the PC (not after a wake
    // by timer or over the network).
    void Wake(bool userPresent);
    // Hand-overs signalled so far, delivered or not.
    int HandOvers() const;
    // Lets go of an instance lock, as the end of its process would.
    void ReleaseInstanceLock(const std::string& name);

    static constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

private:
    SimFaults& m_faults;
    RegistryStore& m_registry;
    OsInfo* m_token;
    mutable std::mutex m_lock;
    int m_shutdowns = 0;
    bool m_awake = false;
    std::set<std::string> m_locks;
    std::map<std::wstring, std::wstring> m_rules;
    std::string m_channel;
    SessionListener* m_listener = nullptr;
    int m_handOvers = 0;
};

}  // namespace plat
