// Power and session: shutdown, keeping the system awake, run at logon, the
// single-instance lock with the hand-over to the running instance, power and
// session events, and the firewall exception of the program.
#pragma once

#include <cstdint>
#include <string>

#include "platform/records/WinTypes.h"

namespace plat {

// What the system tells a running program about its session.
enum class SessionEvent {
    HandOver,         // a second instance asked the running one to come forward
    QuerySuspend,     // the system asks whether it may suspend (Windows XP)
    Suspend,          // the system is about to suspend or go to standby
    ResumeAutomatic,  // the system resumed (told on every resume)
    Resume,           // the system resumed and the user is present (told after
                      // user activity, so not after a wake by timer or network)
    QueryEndSession,  // the session is about to end
    EndSession,       // the session ends now
};

class SessionListener {
public:
    virtual ~SessionListener() = default;
    // Delivered on the backend's thread: the window's own on Windows, a
    // listening thread on Linux, the caller's on the simulated PC. For
    // QuerySuspend the answer true refuses the suspend; otherwise ignored.
    virtual bool OnSessionEvent(SessionEvent event) = 0;
};

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

    // The second instance's hand-over: asks the instance that watches
    // `channel` to come forward (a broadcast window message on Windows, a
    // local socket on Linux). False when nobody could be told.
    virtual bool SignalInstance(const std::string& channel) = 0;
    // Delivers hand-overs on `channel` and the power and session events to
    // `listener` until called again with null. False when the hand-over
    // channel could not be opened (power events may still arrive).
    virtual bool WatchSession(const std::string& channel, SessionListener* listener) = 0;
    // Windows: a message that reached the program's window. Answers whether it
    // was a session message, with the window procedure's result in *result.
    // Other backends deliver their events themselves and answer false.
    virtual bool DispatchWindowMessage(void* /*msg*/, std::intptr_t* /*result*/) { return false; }
};

}  // namespace plat
