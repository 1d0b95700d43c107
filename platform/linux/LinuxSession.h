// Power and session on Linux: poweroff through systemd, the XDG autostart
// entry for run at logon, a lock file for the single instance. There is no
// system firewall API to call.
#pragma once

#include <map>
#include <mutex>
#include <string>

#include "platform/facility/SessionControl.h"

namespace plat {

class LinuxSession : public SessionControl {
public:
    ~LinuxSession() override;
    DWORD Shutdown(bool force) override;
    void KeepAwake(bool on) override;
    DWORD SetRunAtLogon(const std::string& name, const std::string& command, bool on) override;
    bool IsRunAtLogon(const std::string& name) override;
    bool AcquireInstanceLock(const std::string& name) override;
    HRESULT AddFirewallException(const std::wstring& name, const std::wstring& path) override;

private:
    static std::string AutostartFile(const std::string& name);
    std::mutex m_lock;
    std::map<std::string, int> m_lockFds;
};

}  // namespace plat
