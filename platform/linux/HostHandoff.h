// What the PC hands over to the access point around one run, and takes back:
// NetworkManager leaves the interface alone, the host firewall lets DHCP and
// DNS in on it, and the addresses the hotspot gives it are removed again at
// the stop. A record in the runtime folder names the interface and the
// addresses it had before, so a run that was killed is undone at the next
// start (`RecoverLeftover`); the record names the process of the run, so the
// record of a run that still goes on (the window's beside lumari-hotspot's)
// is left alone.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "NetworkManagerHandoff.h"

namespace plat {

class Clock;

class HostHandoff {
public:
    using Note = std::function<void(const std::string&)>;

    // `busAddress` empty: NetworkManager on the system bus. `clock` times the
    // wait for NetworkManager to see a new interface.
    HostHandoff(const std::string& runtimeDir, const std::string& busAddress, Clock& clock,
                Note note);

    // Undoes what a run that did not end cleanly left; the interface it named,
    // or empty.
    std::string RecoverLeftover();
    // Before the access point starts on `iface`; `fresh`: the interface was
    // just made, and NetworkManager is given a moment to see it first (else
    // it would take the new interface over once it does).
    void Take(const std::string& iface, bool fresh = false);
    // At the stop: everything Take did is undone.
    void GiveBack();

    std::string RecordFile() const { return m_record; }

    // A process that still runs (a zombie does not count).
    static bool ProcessAlive(int pid);

private:
    void Undo(const std::string& iface, const std::vector<std::string>& keep);
    void Say(const std::string& text);

    std::string m_record;
    NetworkManagerHandoff m_networkManager;
    Clock& m_clock;
    Note m_note;
    std::string m_taken;
    std::vector<std::string> m_keep;
};

}  // namespace plat
