#include "HostHandoff.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "FirewallHole.h"
#include "HostapdConfig.h"
#include "LinuxAddresses.h"

namespace plat {

HostHandoff::HostHandoff(const std::string& runtimeDir, const std::string& busAddress, Clock& clock,
                         Note note)
    : m_record(runtimeDir + "/interface-taken"),
      m_networkManager(runtimeDir + "/networkmanager-taken", busAddress),
      m_clock(clock),
      m_note(std::move(note)) {}

void HostHandoff::Say(const std::string& text) {
    if (m_note && !text.empty())
        m_note(text);
}

bool HostHandoff::ProcessAlive(int pid) {
    if (pid <= 1 || (kill(pid, 0) != 0 && errno == ESRCH))
        return false;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    std::getline(stat, text);
    const std::size_t close = text.rfind(')');
    return close == std::string::npos || close + 2 >= text.size() || text[close + 2] != 'Z';
}

std::string HostHandoff::RecoverLeftover() {
    std::string iface;
    std::vector<std::string> keep;
    int owner = 0;
    bool record = false;
    {
        std::ifstream in(m_record);
        if (in) {
            record = true;
            std::string first;
            std::getline(in, first);
            if (first.rfind("pid ", 0) == 0) {
                owner = std::atoi(first.c_str() + 4);
                std::getline(in, iface);
            } else {
                iface = first;
            }
            for (std::string line; std::getline(in, line);)
                if (!line.empty())
                    keep.push_back(line);
        }
    }
    // The record of a run that still goes on (the window and lumari-hotspot
    // share the folder) is that run's own: nothing of it is touched.
    if (record && owner != getpid() && ProcessAlive(owner)) {
        Say(iface + " is held by another run of the hotspot (process " + std::to_string(owner) +
            "); it is left alone");
        return {};
    }
    std::string said;
    m_networkManager.GiveBackLeftover(&said);
    Say(said);
    if (!record)
        return {};
    if (!HostapdConfig::ValidInterfaceName(iface)) {
        std::error_code ec;
        std::filesystem::remove(m_record, ec);
        return {};
    }
    Say("giving back " + iface + ", which a run that did not end cleanly left behind");
    Undo(iface, keep);
    return iface;
}

void HostHandoff::Take(const std::string& iface, bool fresh) {
    m_taken = iface;
    LinuxAddresses::List(iface, &m_keep);
    {
        // The record first: a run killed right after the changes is still undone.
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(m_record).parent_path(), ec);
        std::ofstream out(m_record, std::ios::trunc);
        out << "pid " << getpid() << "\n" << iface << "\n";
        for (const std::string& a : m_keep)
            out << a << "\n";
        if (!out.flush())
            Say("cannot write " + m_record + ": a killed run could not be undone");
    }
    if (fresh)
        m_networkManager.WaitForDevice(iface, m_clock, std::chrono::seconds(2));
    std::string said;
    m_networkManager.Take(iface, &said);
    Say(said);
    FirewallHole firewall;
    std::string error;
    if (!firewall.Open(iface, &error))
        Say("DHCP and DNS could not be let in on " + iface + ": " + error);
}

void HostHandoff::GiveBack() {
    if (m_taken.empty())
        return;
    const std::string iface = m_taken;
    m_taken.clear();
    std::string said;
    m_networkManager.GiveBack(&said);
    Say(said);
    Undo(iface, m_keep);
    m_keep.clear();
}

void HostHandoff::Undo(const std::string& iface, const std::vector<std::string>& keep) {
    // The hotspot's address replaced what the interface had; it goes again.
    if (LinuxAddresses::RemoveAllBut(iface, keep) < 0)
        Say("the hotspot's address could not be removed from " + iface);
    FirewallHole firewall;
    std::string error;
    if (firewall.Close(&error) < 0)
        Say("the firewall rules of the hotspot could not be removed: " + error);
    std::string said;
    m_networkManager.GiveBackLeftover(&said);
    Say(said);
    std::error_code ec;
    std::filesystem::remove(m_record, ec);
}

}  // namespace plat
