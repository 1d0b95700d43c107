// Telling NetworkManager (where it runs) to leave the access point's interface
// alone while the hotspot uses it, and handing the interface back: the
// device's "Managed" property over D-Bus, which NetworkManager does not keep
// across its own restart or a reboot.
//
// A record in the runtime folder names the interface while it is taken, so a
// run that was killed gives it back at the next start (`GiveBackLeftover`).
#pragma once

#include <chrono>
#include <string>

struct sd_bus;

namespace plat {

class Clock;

class NetworkManagerHandoff {
public:
    // `busAddress` empty: the system bus.
    explicit NetworkManagerHandoff(std::string recordFile, std::string busAddress = "");
    ~NetworkManagerHandoff();
    NetworkManagerHandoff(const NetworkManagerHandoff&) = delete;
    NetworkManagerHandoff& operator=(const NetworkManagerHandoff&) = delete;

    // NetworkManager runs (its name is owned on the bus).
    bool Running();
    // Whether NetworkManager manages `iface`. 0, ENODEV when it does not know
    // the interface, or an errno value (ENOTCONN: no bus or no NetworkManager).
    int Managed(const std::string& iface, bool* managed);
    int SetManaged(const std::string& iface, bool managed);
    // Waits on `clock`, at most `limit`, while NetworkManager runs but does
    // not know `iface` yet (an interface just made); true once it knows it.
    bool WaitForDevice(const std::string& iface, Clock& clock, std::chrono::milliseconds limit);

    // Takes `iface` from NetworkManager if it manages it; true when taken
    // (the record names it). Nothing happens without NetworkManager.
    bool Take(const std::string& iface, std::string* diagnostic);
    // Gives back what Take took (and the record's interface after a crash).
    void GiveBack(std::string* diagnostic);
    // A record left by a run that did not end cleanly: that interface is given back.
    void GiveBackLeftover(std::string* diagnostic);

private:
    sd_bus* Bus();
    int DevicePath(const std::string& iface, std::string* path);

    std::string m_recordFile;
    std::string m_address;
    sd_bus* m_bus = nullptr;
    bool m_connectFailed = false;
    std::string m_taken;
};

}  // namespace plat
