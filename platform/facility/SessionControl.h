// Power and session: shutdown, keeping the system awake, run at logon, the
// single-instance lock, and the firewall exception of the program.
#pragma once

#include <string>

#include "platform/records/WinTypes.h"

namespace plat {

class SessionControl {
public:
    virtual ~SessionControl() = default;
    // Shutdown with the shutdown privilege; Windows code.
    virtual DWORD Shutdown(bool force) = 0;
    // SetThreadExecutionState: keep the system from sleeping while set.
    virtual void KeepAwake(bool on) = 0;
    // Run-at-logon entry of the program (registry Run key on Windows).
    virtual DWORD SetRunAtLogon(const std::string& name, const std::string& command, bool on) = 0;
    virtual bool IsRunAtLogon(const std::string& name) = 0;
    // Named single-instance lock; false when another process holds it.
    virtual bool AcquireInstanceLock(const std::string& name) = 0;
    // Inbound firewall allow rule for the program; HRESULT.
    virtual HRESULT AddFirewallException(const std::wstring& name, const std::wstring& path) = 0;
};

}  // namespace plat
