// libFuzzer target for the user-mode side of the NAT driver: the share
// control library's exports reading whatever a device answers (a peer list
// of any length, a status text without its NUL, a failure with or without
// bytes) and taking any MAC text from their caller.
//
// Input:
//   flags (1 byte): bit 0 the device's result, bit 1 a failure that names
//     ERROR_MORE_DATA, bits 2-3 the export (GetPeers, DisableShare,
//     SetSpeedLimited, RemovePeers)
//   room (2 bytes, signed little-endian): the record count given to GetPeers
//   the rest: the device's answer, or the MAC text for the last two exports.
// Checks: GetPeers copies whole records, never beyond the room it was given,
// S_FALSE with the count unchanged when more were known; a MAC text that does
// not parse never reaches the device; one that does reaches it as parsed.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/sim/SimPc.h"
#include "platform/text/MacText.h"
#include "platform/winapi/Win32Api.h"
#include "sorvane/Sorvane.h"

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3)
        return 0;
    const std::uint8_t flags = data[0];
    const int room = static_cast<std::int16_t>(data[1] | (data[2] << 8));
    const std::vector<plat::BYTE> answer(data + 3, data + size);
    const bool ok = (flags & 1) != 0;
    const bool moreData = (flags & 2) != 0;

    // One simulated PC for the whole run; each input starts with no requests.
    static plat::SimPc& pc = [&]() -> plat::SimPc& {
        plat::SimPc& p = plat::SimPc::Install();
        p.nat.AddDevice("SOLVANE");
        return p;
    }();
    pc.nat.ClearRequests();
    int type = 1;
    Check(InitShare(&type) == plat::kSOk);
    pc.nat.SetHandler([&](const plat::SimNatRequest&, std::vector<plat::BYTE>* output) {
        *output = answer;
        if (!ok && moreData)
            plat::SetLastError(plat::kErrorMoreData);
        return ok ? plat::TRUE_ : plat::FALSE_;
    });

    switch ((flags >> 2) & 3) {
        case 0: {
            // Exactly the room given, so that a record copied beyond it is caught.
            const std::size_t slots = room > 0 ? static_cast<std::size_t>(room) : 0;
            auto peers = std::make_unique<plat::PEER_INFO[]>(slots);
            int count = room;
            const plat::HRESULT hr = GetPeers(peers.get(), &count);
            if (!ok) {
                Check(hr == plat::kEFail);
                break;
            }
            const std::size_t answered = std::min(answer.size(), plat::kNatPeerBufferSize);
            const std::size_t known = answered / sizeof(plat::PEER_INFO);
            if (slots >= known) {
                Check(hr == plat::kSOk && count == static_cast<int>(known));
            } else {
                Check(hr == plat::kSFalse && count == room);
            }
            const std::size_t copied = std::min(slots, known);
            Check(copied == 0 ||
                  std::memcmp(peers.get(), answer.data(), copied * sizeof(plat::PEER_INFO)) == 0);
            break;
        }
        case 1:
            Check(DisableShare() == (ok ? plat::kSOk : plat::kEFail));
            break;
        default: {
            const std::string text(answer.begin(), answer.end());
            plat::MacAddress mac;
            const bool parses = plat::MacText::Parse(text.c_str(), &mac);
            const bool limit = ((flags >> 2) & 3) == 2;
            const plat::HRESULT hr =
                limit ? SetSpeedLimited(text.c_str(), 1, 100, 200) : RemovePeers(text.c_str());
            const auto requests = pc.nat.Requests();
            if (!parses) {
                Check(hr == plat::kEInvalidArg && requests.empty());
                break;
            }
            Check(hr == (ok ? plat::kSOk : plat::kEFail));
            Check(requests.size() == 1);
            const auto& input = requests.back().input;
            Check(input.size() ==
                  (limit ? sizeof(plat::NatSpeedRecord) : sizeof(plat::NatMacRecord)));
            Check(std::memcmp(input.data(), mac.data(), mac.size()) == 0);
            break;
        }
    }
    DeInitShare();
    pc.nat.SetHandler({});
    return 0;
}
