// Power and session on Windows: shutdown with the shutdown privilege, the
// execution state, the Run key, a named mutex for the single instance.
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

private:
    std::mutex m_lock;
    std::map<std::string, void*> m_mutexes;
};

}  // namespace plat
