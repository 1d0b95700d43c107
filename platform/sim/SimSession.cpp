#include "SimSession.h"

#include "SimFaults.h"
#include "platform/common/RegistryStore.h"
#include "platform/facility/OsInfo.h"

namespace plat {

int SimSession::Shutdowns() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_shutdowns;
}

bool SimSession::Awake() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_awake;
}

bool SimSession::HasFirewallRule(const std::wstring& name, std::wstring* path) const {
    std::lock_guard<std::mutex> g(m_lock);
    auto it = m_rules.find(name);
    if (it == m_rules.end())
        return false;
    if (path != nullptr)
        *path = it->second;
    return true;
}

DWORD SimSession::Shutdown(bool) {
    if (auto f = m_faults.Take("ExitWindowsEx"))
        return static_cast<DWORD>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    ++m_shutdowns;
    return 0;
}

void SimSession::KeepAwake(bool on) {
    std::lock_guard<std::mutex> g(m_lock);
    m_awake = on;
}

DWORD SimSession::SetRunAtLogon(const std::string& name, const std::string& command, bool on) {
    if (auto f = m_faults.Take("RegCreateKeyEx"))
        return static_cast<DWORD>(*f);
    // HKEY_LOCAL_MACHINE opens for writing only to an administrator.
    if (m_token != nullptr && !m_token->IsElevated())
        return kErrorAccessDenied;
    m_registry.CreateKey(RegRoot::LocalMachine, kRunKey);
    if (on)
        return static_cast<DWORD>(m_registry.SetValue(RegRoot::LocalMachine, kRunKey, name,
                                                      RegistryStore::String(command)));
    return static_cast<DWORD>(m_registry.DeleteValue(RegRoot::LocalMachine, kRunKey, name));
}

bool SimSession::IsRunAtLogon(const std::string& name) {
    return m_registry.QueryValue(RegRoot::LocalMachine, kRunKey, name, nullptr) == 0;
}

bool SimSession::AcquireInstanceLock(const std::string& name) {
    std::lock_guard<std::mutex> g(m_lock);
    return m_locks.insert(name).second;
}

HRESULT SimSession::AddFirewallException(const std::wstring& name, const std::wstring& path) {
    if (auto f = m_faults.Take("INetFwPolicy2"))
        return static_cast<HRESULT>(*f);
    if (m_token != nullptr && !m_token->IsElevated())
        return kEAccessDenied;
    std::lock_guard<std::mutex> g(m_lock);
    m_rules[name] = path;
    return kSOk;
}

bool SimSession::SignalInstance(const std::string& channel) {
    SessionListener* listener = nullptr;
    {
        std::lock_guard<std::mutex> g(m_lock);
        ++m_handOvers;
        if (m_listener != nullptr && m_channel == channel)
            listener = m_listener;
    }
    if (listener == nullptr)
        return false;
    listener->OnSessionEvent(SessionEvent::HandOver);
    return true;
}

bool SimSession::WatchSession(const std::string& channel, SessionListener* listener) {
    if (listener != nullptr) {
        if (m_faults.Take("WatchSession"))
            return false;
    }
    std::lock_guard<std::mutex> g(m_lock);
    m_channel = listener != nullptr ? channel : std::string();
    m_listener = listener;
    return true;
}

bool SimSession::Raise(SessionEvent event) {
    SessionListener* listener = nullptr;
    {
        std::lock_guard<std::mutex> g(m_lock);
        listener = m_listener;
    }
    return listener != nullptr && listener->OnSessionEvent(event);
}

void SimSession::Wake(bool userPresent) {
    Raise(SessionEvent::ResumeAutomatic);
    if (userPresent)
        Raise(SessionEvent::Resume);
}

int SimSession::HandOvers() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_handOvers;
}

void SimSession::ReleaseInstanceLock(const std::string& name) {
    std::lock_guard<std::mutex> g(m_lock);
    m_locks.erase(name);
}

}  // namespace plat
