// The access point of a wired port (an Ethernet port to share to, or a veth of
// the test bed): there is no radio and no authentication. A start brings the
// link up; the devices seen on it are the stations: a neighbour entry of the
// port with a link-layer address makes a station join, the last one of that
// address going away (deleted, failed, flushed when the carrier is lost)
// makes it leave. The port going away or being set down ends the run. A link
// this run brought up is set down again at the stop.
#pragma once

#include <linux/netlink.h>

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>

#include "AccessPoint.h"

namespace plat {

struct NeighbourEntry {
    int ifindex = 0;
    int family = 0;
    std::string address;  // the protocol address as bytes
    MacAddress mac{};
    bool hasMac = false;
    bool usable = false;  // the entry names a device seen on the link
    bool deleted = false;
};

class WiredAccessPoint : public AccessPoint {
public:
    WiredAccessPoint() = default;
    ~WiredAccessPoint() override;

    DWORD Start(const AccessPointSettings& settings, AccessPointEvents* events,
                std::string* failure) override;
    void Stop() override;
    std::vector<MacAddress> Stations() override;
    AccessPointInfo Info() override;

    // An RTM_NEWNEIGH or RTM_DELNEIGH message; false for anything else.
    static bool ParseNeighbour(const nlmsghdr& message, NeighbourEntry* out);

private:
    void Run(std::stop_token stop);
    // Reads what the kernel sent; false once the run has ended.
    bool Receive();
    // Applies one neighbour entry (under m_lock); the joins and leaves it makes.
    void Apply(const NeighbourEntry& entry, std::vector<MacAddress>* joined,
               std::vector<MacAddress>* left);
    // Reads the whole neighbour table of the port again (after a lost message).
    bool Resync(std::vector<MacAddress>* joined, std::vector<MacAddress>* left);
    void Report(const std::string& why);

    AccessPointSettings m_settings;
    AccessPointEvents* m_events = nullptr;
    int m_ifindex = 0;
    bool m_broughtUp = false;
    int m_monitor = -1;  // netlink socket on the link and neighbour groups
    int m_stopFd = -1;
    std::jthread m_thread;

    std::mutex m_lock;
    // Protocol addresses (family, bytes) seen for each station.
    std::map<MacAddress, std::set<std::pair<int, std::string>>> m_stations;
    bool m_ended = false;
};

}  // namespace plat
