// The packet side of the NAT driver: what the driver model (NatDriver) asks of
// the machinery that actually moves, counts, limits and drops packets. One
// engine per backend: in memory on the simulated PC, nftables and tc on Linux.
//
// The engine holds state only while it shares: `Share` starts from no
// policies, an open host and zero counts, and `Unshare` removes every trace.
// What must outlive a re-share (policies, allowed ports, counts) the driver
// model keeps and hands to the engine again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/records/WinTypes.h"
#include "platform/text/MacText.h"

namespace plat {

struct NatPeerTraffic {
    MacAddress mac{};
    std::uint32_t ip = 0;  // network byte order; 0 when not known
    std::uint64_t upBytes = 0;
    std::uint64_t downBytes = 0;
};

class NatPacketEngine {
public:
    virtual ~NatPacketEngine() = default;

    // Removes what an earlier run of the program left behind (after a crash).
    // Called once, before the first request; 0 or a Windows error code (then
    // the device cannot be opened).
    virtual DWORD Start() = 0;

    // Masquerades the clients behind `privateIf` to `publicIf`. 0, or a
    // Windows error code with a short reason (at most 19 characters).
    virtual DWORD Share(const GUID& publicIf, const GUID& privateIf, std::string* reason) = 0;
    // Removes every rule, set, class and queue of ours. 0 or an error.
    virtual DWORD Unshare() = 0;

    // Every client seen on the private side recently, with the bytes it moved
    // through the shared connection since `Share` (or since `Forget`).
    virtual DWORD Peers(std::vector<NatPeerTraffic>* out) = 0;
    // Lets one client use the shared connection or stops it at once (its
    // established flows included), and limits it per direction in kilobytes
    // per second (0 = no limit).
    virtual DWORD SetPolicy(const MacAddress& mac, bool allowed, std::uint32_t upKBps,
                            std::uint32_t downKBps) = 0;
    // Forgets one client: its counts restart at zero and it is not reported
    // until it is seen again. Its policy stays.
    virtual DWORD Forget(const MacAddress& mac) = 0;
    // `restricted` false: the hotspot host stays open to its clients.
    // Otherwise it is closed to them except DHCP, DNS and `ports`.
    virtual DWORD SetHostPorts(bool restricted, const std::vector<std::uint16_t>& ports) = 0;
};

}  // namespace plat
