// The NAT driver's packet engine on Linux: nftables (through libnftables)
// masquerades, counts, blocks and classifies; tc HTB (through route netlink)
// limits. Everything lives in one nftables table of the program's own, "inet
// lumari", and in HTB root queues with the handle major 0x4C4D; a start removes
// what a crashed run left of either, and unsharing removes both.
//
// The rules (PRIV = the private interface toward the clients, PUB = the
// public one):
// - prerouting: every IPv4 packet from PRIV refreshes the pair (source MAC,
//   source address) in the dynamic set `clients` (5 minutes without a packet
//   and the pair expires); with IPv6 for the clients, a packet from an address
//   of the prefix refreshes its MAC in `clients6`, so a client that speaks
//   only IPv6 is a peer too (without an IPv4 address). The peers are the MACs of these pairs; a
//   MAC's address is that of its most recently refreshed pair.
// - forward: one lookup of the (in, out) interface pair sends a packet to the
//   upload or the download chain. A stopped MAC's packets are dropped
//   (`blocked`), and so are packets to every address it holds (`blocked_addr`),
//   so that its established flows stop at once in both directions. Upload is counted per
//   source MAC (`up`), download per destination address (`down`, the MAC is
//   gone once a packet is routed); the engine attributes each address's count
//   to the MAC that held it, so a client that changes its address keeps its
//   counts. The packet's priority picks its HTB class: upload by source MAC
//   (`up_class`, read on PUB's egress after masquerade has hidden the client's
//   address), download by destination address (`down_class`, on PRIV's
//   egress).
//   The per-address entries follow the addresses' holders (the MAC of an
//   address's freshest pair): when a client moves to another address, when
//   another MAC takes an address, when a pair times out and when a peer is
//   forgotten, they move or go in the same nftables transaction, and the
//   driver's view of them changes only once the kernel accepted it.
// - postrouting: traffic that leaves by PUB and was not sent by the host
//   itself is masqueraded.
// - input (only once a port list is set): the host is closed to its clients
//   except DHCP, DNS, ICMP, replies to its own connections and the listed
//   ports.
// IPv4 forwarding is switched on while sharing and put back as it was.
// IPv6 (when on and the public interface has a default IPv6 route, see
// ClientIpv6): the clients get a unique local /64 by router advertisement; the
// same masquerade, upload rules and counters apply to their IPv6 packets (the
// table is inet). What is sent to them is handled on PRIV's egress, in the
// table "netdev lumari6", by destination MAC since the router knows it there:
// a stopped MAC receives no IPv6 (`blocked`), download is counted per MAC
// (`down`, forwarded packets only: not those of the host's own addresses) and
// classed by MAC (`down_class`). The table's comment records what was changed
// on the host for IPv6, so that a start after a killed run undoes it.
// One driver per network namespace: the first to start binds the abstract
// socket name "lumari-nat" (abstract names belong to the namespace and vanish
// with the process) for as long as it lives, and another process's driver
// refuses to start meanwhile instead of removing live rules as stale.
#pragma once

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "ClientIpv6.h"
#include "NftSetReader.h"
#include "Nftables.h"
#include "TcShaper.h"
#include "platform/common/NatPacketEngine.h"
#include "platform/common/SystemClock.h"

namespace plat {

class LinuxPacketEngine : public NatPacketEngine {
public:
    static constexpr char kTable[] = "lumari";
    static constexpr char kTable6[] = "lumari6";
    // How long a client stays a peer after its last packet.
    static constexpr int kPeerTimeoutSeconds = 300;

    // Router advertisements wait on `clock` (the system clock when null).
    explicit LinuxPacketEngine(Clock* clock = nullptr);
    ~LinuxPacketEngine() override;
    LinuxPacketEngine(const LinuxPacketEngine&) = delete;
    LinuxPacketEngine& operator=(const LinuxPacketEngine&) = delete;

    DWORD Start() override;
    DWORD Share(const GUID& publicIf, const GUID& privateIf, std::string* reason) override;
    DWORD Unshare() override;
    DWORD Peers(std::vector<NatPeerTraffic>* out) override;
    DWORD SetPolicy(const MacAddress& mac, bool allowed, std::uint32_t upKBps,
                    std::uint32_t downKBps) override;
    DWORD Forget(const MacAddress& mac) override;
    DWORD SetHostPorts(bool restricted, const std::vector<std::uint16_t>& ports) override;

    // IPv6 for the clients at the next Share: on or off, and the file that
    // keeps the prefix (no IPv6 without one).
    void SetIpv6(bool on, const std::string& prefixFile);
    // The hotspot's IPv6 address toward the clients while they have IPv6, or empty.
    std::string Ipv6Address() const;

private:
    // What one reading of the counting sets shows.
    struct Snapshot {
        struct Pair {
            MacAddress mac{};
            std::uint32_t ip = 0;  // network byte order
            std::uint64_t expiresMs = 0;
            bool fromIpv6 = false;  // seen in `clients6`: a MAC without an IPv4 address
        };
        std::vector<Pair> clients;
        std::map<MacAddress, std::uint64_t> up;
        std::map<std::uint32_t, std::uint64_t> down;
    };
    struct Client {
        bool allowed = true;
        std::uint32_t upKBps = 0;
        std::uint32_t downKBps = 0;
        std::uint16_t minor = 0;    // HTB class minor, 0 until limited
        bool upClassed = false;     // in up_class
        bool down6Classed = false;  // in the IPv6 table's down_class
    };
    // What the kernel holds in the per-address sets: `blocked_addr` and
    // `down_class` (address : class minor).
    struct AddressView {
        std::set<std::uint32_t> blocked;
        std::map<std::uint32_t, std::uint16_t> classes;
    };
    struct Owner {
        MacAddress mac{};
        std::uint64_t offset = 0;     // the address's count when the MAC took it
        std::uint64_t lastBytes = 0;  // its count at the previous peer listing
    };

    bool Snap(Snapshot* out);
    // Each address belongs to the MAC of its freshest pair.
    static std::map<std::uint32_t, MacAddress> Holders(const Snapshot& s);
    // nft commands that bring the per-address sets in line with the policy
    // of each address's holder (`clients` as they would be after the
    // change), and the view the kernel will hold once it accepted them.
    std::string AddressCommands(const std::map<std::uint32_t, MacAddress>& holders,
                                const std::map<MacAddress, Client>& clients,
                                AddressView* next) const;
    DWORD ApplyLimits(const MacAddress& mac, Client& c, std::uint32_t upKBps,
                      std::uint32_t downKBps);
    DWORD Run(const std::string& commands);
    void ResetState();
    void RestoreForwarding(int before);
    void StartIpv6();
    void StopIpv6();

    SystemClock m_ownClock;
    ClientIpv6 m_ipv6;
    bool m_ipv6On = true;
    std::string m_prefixFile;
    bool m_ipv6Table = false;  // the IPv6 table is in place
    mutable std::mutex m_ipv6Lock;
    std::string m_ipv6Address;
    Nftables m_nft;
    NftSetReader m_reader;
    TcShaper m_tc;
    int m_lock = -1;
    bool m_sharing = false;
    std::string m_public;
    std::string m_private;
    int m_publicIndex = 0;
    int m_privateIndex = 0;
    int m_forwardBefore = -1;  // ip_forward before we switched it on; -1 untouched
    std::map<MacAddress, Client> m_clients;
    AddressView m_addresses;
    std::map<std::uint32_t, Owner> m_owners;
    std::map<MacAddress, std::uint64_t> m_downBase;
    std::uint16_t m_nextMinor = 2;
};

}  // namespace plat
