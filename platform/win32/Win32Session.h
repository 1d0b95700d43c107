// Power and session on Windows: shutdown with the shutdown privilege, the
// execution state, the Run key, a named mutex for the single instance, the
// registered hand-over message broadcast to the running instance's window, the
// power and session messages that reach that window, and the program's inbound
// firewall rule (the firewall's COM interfaces, the XP ones when the newer are
// missing).
#pragma once

#include <map>
#include <mutex>
#include <string>

#include "platform/facility/SessionControl.h"

namespace plat {

class Win32Session : public SessionControl {
public:
    ~Win32Session() override;
    DWORD Shutdown(bool force) override;
    void KeepAwake(bool on) override;
    DWORD SetRunAtLogon(const std::string& name, const std::string& command, bool on) override;
    bool IsRunAtLogon(const std::string& name) override;
    bool AcquireInstanceLock(const std::string& name) override;
    HRESULT AddFirewallException(const std::wstring& name, const std::wstring& path) override;
    bool SignalInstance(const std::string& channel) override;
    bool WatchSession(const std::string& channel, SessionListener* listener) override;
    bool DispatchWindowMessage(void* msg, std::intptr_t* result) override;

private:
    std::mutex m_lock;
    std::map<std::string, void*> m_mutexes;
    unsigned m_handOverId = 0;
    SessionListener* m_listener = nullptr;
};

}  // namespace plat
