// Power and session on Linux: poweroff and sleep inhibition through logind
// (on the system bus, where there is one), the XDG autostart
// entry for run at logon, a lock file for the single instance and a local
// socket beside it for the hand-over, and logind's sleep signal (on the system
// bus) for suspend and resume. There is no system firewall API to call.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <thread>

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
    bool SignalInstance(const std::string& channel) override;
    bool WatchSession(const std::string& channel, SessionListener* listener) override;

    // Where the hand-over socket of `channel` lives (in the user's runtime
    // directory, or /tmp with the user id in its name).
    static std::string ChannelPath(const std::string& channel);
    // Whether a logind inhibitor lock keeps the system awake.
    bool IsKeptAwake();

private:
    static std::string AutostartFile(const std::string& name);
    void StopWatching();
    void Watch(std::stop_token stop, int listenFd, int wakeFd, SessionListener* listener);
    std::mutex m_lock;
    std::map<std::string, int> m_lockFds;
    int m_inhibitFd = -1;  // logind's sleep inhibitor, while held
    std::mutex m_watchLock;
    std::jthread m_watcher;
    int m_wakeFd = -1;
    std::string m_channelPath;
};

}  // namespace plat
