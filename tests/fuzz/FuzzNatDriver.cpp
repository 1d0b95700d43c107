// libFuzzer target for the NAT driver's record parsing: a run of control
// requests with any code, any input bytes and any output size, answered by
// the driver over the simulated packet engine (with two clients moving
// traffic), and each answer read back as the user-mode side reads it.
//
// Input: requests one after the other, each
//   selector (1 byte): 0-5 the six codes, 6 another code, 7 a valid enable
//   output size (2 bytes, little-endian, at most 9000)
//   input length (1 byte) and that many input bytes.
// Checks: a failed request answers no bytes; an answer never exceeds the
// output buffer; a peer answer is whole records, at most 256 of them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/common/NatDriver.h"
#include "platform/records/NatRecords.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimFaults.h"
#include "platform/sim/SimNetwork.h"
#include "platform/sim/SimPacketEngine.h"
#include "platform/text/GuidText.h"

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

const plat::DWORD kCodes[] = {plat::kNatIoctlEnableShare,   plat::kNatIoctlDisableShare,
                              plat::kNatIoctlGetPeers,      plat::kNatIoctlDeletePeer,
                              plat::kNatIoctlSetSpeedLimit, plat::kNatIoctlSetAllowPorts};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    plat::SimFaults faults;
    plat::SimNetwork network(faults);
    for (const char* name : {"wan0", "br0"}) {
        plat::AdapterInfo a;
        a.guid = plat::GuidText::FromName(name);
        a.name = name;
        network.AddAdapter(a);
    }
    plat::SimPacketEngine engine(faults, network);
    plat::SimClock clock;
    plat::NatDriver driver(engine, clock);
    Check(driver.Start() == 0);
    engine.AddPeer("02-00-00-00-00-01", "192.168.50.2");
    engine.AddPeer("02-00-00-00-00-02");

    const auto validEnable = plat::NatRecords::MakeEnable(plat::GuidText::FromName("wan0"),
                                                          plat::GuidText::FromName("br0"));
    std::vector<std::uint8_t> out(9000);
    std::size_t pos = 0;
    while (pos + 4 <= size) {
        const std::uint8_t selector = data[pos] & 7;
        const std::size_t outSize = (data[pos + 1] | (data[pos + 2] << 8)) % 9001;
        std::size_t inSize = data[pos + 3];
        pos += 4;
        if (inSize > size - pos)
            inSize = size - pos;
        std::vector<std::uint8_t> in(data + pos, data + pos + inSize);
        pos += inSize;

        plat::DWORD code = selector < 6 ? kCodes[selector] : plat::NatControlCode(26 + inSize % 8);
        if (selector == 7) {
            code = plat::kNatIoctlEnableShare;
            const auto* p = reinterpret_cast<const std::uint8_t*>(&validEnable);
            in.assign(p, p + sizeof validEnable);
        }
        plat::DWORD returned = 0xFFFFFFFF;
        const plat::BOOL ok = driver.Control(
            code, in.empty() ? nullptr : in.data(), static_cast<plat::DWORD>(in.size()),
            outSize == 0 ? nullptr : out.data(), static_cast<plat::DWORD>(outSize), &returned);
        Check(ok == plat::TRUE_ || ok == plat::FALSE_);
        Check(returned <= outSize);
        if (!ok)
            Check(returned == 0);
        if (ok && code == plat::kNatIoctlGetPeers) {
            Check(returned % sizeof(plat::PEER_INFO) == 0);
            const auto peers = plat::NatRecords::ReadPeers(out.data(), returned);
            Check(peers.size() <= plat::kNatMaxPeers);
        }
        if (ok && code != plat::kNatIoctlGetPeers)
            Check(plat::NatRecords::ReadStatus(out.data(), returned).size() < 20);
        engine.Traffic("02-00-00-00-00-01", 3000, 70000, 0.5);
        clock.Advance(std::chrono::milliseconds(700));
    }
    return 0;
}
