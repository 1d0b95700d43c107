// The packet engine below the simulated PC's NAT driver. Nothing moves by
// itself: a test scripts the clients on the private side and the traffic each
// one tries to move, and reads what the driver applied.
//
// Scripting (from any thread; MACs as "02-00-00-00-00-01", either case,
// addresses as dotted text):
//   AddPeer(mac, ip)       a client appears on the private side ("" or
//                          "0.0.0.0": no address yet); AddPeer again with
//                          another address = the client changed its address,
//                          its counts stay
//   RemovePeer(mac)        the client left: the driver no longer reports it
//   Traffic(mac, up, down, seconds)
//                          the client tries to move `up` bytes out and `down`
//                          bytes in over `seconds`; answers what passed: nothing
//                          while the PC does not share or the client is
//                          stopped, at most limit * 1024 * seconds per limited
//                          direction. What passed is counted. A client unknown
//                          so far appears (without an address).
// Inspection:
//   Sharing(), PublicAdapter(), PrivateAdapter()
//   Policy(mac)            {allowed, upKBps, downKBps} the driver applied
//                          (allowed and unlimited for a client it never named)
//   HostPorts()            {restricted, ports}: restricted = the hotspot host is
//                          closed to its clients except DHCP, DNS and `ports`
//   CanReach(mac)          the client reaches the upstream network now
// Faults (pc.faults.FailNext(name, error)): "NatStart" (the device cannot
// be opened), "NatShare", "NatUnshare",
// "NatPeers", "NatSetPolicy", "NatForget", "NatSetHostPorts" answer the given
// Windows error instead of doing their work.
//
// Sharing needs both connections among the simulated PC's adapters.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/common/NatPacketEngine.h"

namespace plat {

class SimFaults;
class SimNetwork;

class SimPacketEngine : public NatPacketEngine {
public:
    struct Moved {
        std::uint64_t up = 0;
        std::uint64_t down = 0;
    };
    struct AppliedPolicy {
        bool allowed = true;
        std::uint32_t upKBps = 0;
        std::uint32_t downKBps = 0;
    };
    struct Ports {
        bool restricted = false;
        std::vector<std::uint16_t> ports;
    };

    SimPacketEngine(SimFaults& faults, SimNetwork& network)
        : m_faults(faults), m_network(network) {}

    // Scripting. False / nothing moved for a MAC or address text that does not parse.
    bool AddPeer(const std::string& mac, const std::string& ip = "");
    bool RemovePeer(const std::string& mac);
    Moved Traffic(const std::string& mac, std::uint64_t up, std::uint64_t down,
                  double seconds = 1.0);

    // Inspection.
    bool Sharing() const;
    GUID PublicAdapter() const;
    GUID PrivateAdapter() const;
    AppliedPolicy Policy(const std::string& mac) const;
    Ports HostPorts() const;
    bool CanReach(const std::string& mac) const;

    DWORD Start() override;
    DWORD Share(const GUID& publicIf, const GUID& privateIf, std::string* reason) override;
    DWORD Unshare() override;
    DWORD Peers(std::vector<NatPeerTraffic>* out) override;
    DWORD SetPolicy(const MacAddress& mac, bool allowed, std::uint32_t upKBps,
                    std::uint32_t downKBps) override;
    DWORD Forget(const MacAddress& mac) override;
    DWORD SetHostPorts(bool restricted, const std::vector<std::uint16_t>& ports) override;

private:
    struct Client {
        bool present = false;
        std::uint32_t ip = 0;
        std::uint64_t up = 0;
        std::uint64_t down = 0;
    };
    DWORD Fault(const char* name);
    bool CanReachLocked(const MacAddress& mac) const;

    SimFaults& m_faults;
    SimNetwork& m_network;
    mutable std::mutex m_lock;
    bool m_sharing = false;
    GUID m_public = GUID_NULL_;
    GUID m_private = GUID_NULL_;
    std::map<MacAddress, Client> m_clients;
    std::map<MacAddress, AppliedPolicy> m_policies;
    Ports m_ports;
};

}  // namespace plat
