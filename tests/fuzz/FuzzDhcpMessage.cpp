// libFuzzer target for the DHCP message handler: any datagram, against an
// empty table and against one with leases and a black-list mark. A message
// that gets no reply must leave the table exactly as it was, and a reply must
// fit the server's buffer and be a BOOTREPLY.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "pellion/DhcpMessageHandler.h"

namespace {

using pellion::DhcpMessageHandler;
using pellion::LeaseTable;

const pellion::DhcpSettings kSettings{"192.168.23.1", "114.114.114.114,8.8.8.8", "FUZZ-PC"};

void Check(bool condition) {
    if (!condition)
        std::abort();
}

void HandleOnce(const std::uint8_t* data, std::size_t size, LeaseTable& table) {
    const LeaseTable before = table;
    const pellion::DhcpOutcome outcome = DhcpMessageHandler::Handle(data, size, kSettings, table);
    if (outcome.reply.empty()) {
        Check(outcome.verdict == pellion::DhcpVerdict::Ignore);
        Check(table == before);
        Check(!outcome.acked);
    } else {
        Check(outcome.verdict != pellion::DhcpVerdict::Ignore);
        Check(outcome.reply.size() <= DhcpMessageHandler::kBufferSize);
        Check(outcome.reply[0] == 2);
    }
    for (const auto& [mac, lease] : table) {
        Check(lease.hostname.back() == '\0');
        Check(lease.octet != 1 && lease.octet != 255);
    }
}

LeaseTable PopulatedTable() {
    LeaseTable table;
    for (std::uint8_t i = 0; i < 4; ++i) {
        pellion::Lease lease;
        lease.mac = {0x02, 0, 0, 0, 0, i};
        lease.octet = static_cast<std::uint8_t>(2 + i);
        lease.ip = 0x0017A8C0u | (std::uint32_t(lease.octet) << 24);  // 192.168.23.x
        lease.bound = (i % 2) == 0;
        lease.SetHostname("host");
        table.Store(lease);
    }
    table.AddBlack({0x02, 0, 0, 0, 0, 1});
    return table;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    LeaseTable empty;
    HandleOnce(data, size, empty);
    HandleOnce(data, size, empty);  // the same client again, now known
    LeaseTable populated = PopulatedTable();
    HandleOnce(data, size, populated);
    return 0;
}
