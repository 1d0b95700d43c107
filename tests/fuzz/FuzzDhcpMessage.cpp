// libFuzzer target for the DHCP message handler. The input is a run of
// messages, each preceded by a byte that says how far the clock moves before
// it and two bytes of length; they go one after the other to one table, which
// starts with leases, an offer and a black-list mark, so offers and leases end
// between messages. After every message: an ignored message left the table as
// it was, a reply fits the server's buffer and is a BOOTREPLY, an ACK names
// the address the table now binds to the sender, and the table's indexes,
// queues and bound agree with its entries.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "pellion/DhcpMessageHandler.h"

namespace {

using pellion::DhcpMessageHandler;
using pellion::DhcpVerdict;
using pellion::LeaseTable;
using pellion::SteadyTime;

const pellion::DhcpSettings kSettings{"192.168.23.1", "114.114.114.114,8.8.8.8", "FUZZ-PC"};
const SteadyTime kStart = SteadyTime{} + std::chrono::hours(1);

void Check(bool condition) {
    if (!condition)
        std::abort();
}

void HandleOnce(const std::uint8_t* data, std::size_t size, LeaseTable& table, SteadyTime now) {
    // What is due ends first, so that the snapshot is what an ignored
    // message must leave.
    table.Advance(now);
    const LeaseTable before = table;
    const pellion::DhcpOutcome outcome =
        DhcpMessageHandler::Handle(data, size, kSettings, table, now);
    const pellion::Lease* sender = nullptr;
    if (size >= 34) {
        pellion::MacAddress mac;
        std::memcpy(mac.data(), data + 28, mac.size());
        sender = table.Find(mac);
    }
    switch (outcome.verdict) {
        case DhcpVerdict::Ignore:
            Check(outcome.reply.empty());
            Check(table == before);
            Check(!outcome.acked);
            break;
        case DhcpVerdict::Release:
        case DhcpVerdict::Decline:
            Check(outcome.reply.empty());
            Check(sender != nullptr && !sender->bound);
            break;
        default:
            Check(!outcome.reply.empty());
            Check(outcome.reply.size() <= DhcpMessageHandler::kBufferSize);
            Check(outcome.reply[0] == 2);
            Check(sender != nullptr);
    }
    if (outcome.acked) {
        Check(outcome.verdict == DhcpVerdict::Ack);
        std::uint8_t ip[4];
        std::memcpy(ip, &outcome.acked->ip, 4);
        const pellion::Lease* holder = table.Holder(ip[3]);
        Check(holder == sender && holder->acknowledged && holder->ip == outcome.acked->ip);
    }
    Check(table.Consistent());
    table.ForEach(
        [](const pellion::Lease& lease) { Check(lease.octet != 1 && lease.octet != 255); });
}

LeaseTable PopulatedTable() {
    LeaseTable table;
    for (std::uint8_t i = 0; i < 4; ++i) {
        const pellion::MacAddress mac = {0x02, 0, 0, 0, 0, i};
        const auto octet = static_cast<std::uint8_t>(2 + i);
        const std::uint32_t ip = 0x0017A8C0u | (std::uint32_t(octet) << 24);  // 192.168.23.x
        if (i == 3)
            table.Offer(mac, ip, octet, "host", kStart + DhcpMessageHandler::kOfferHold);
        else
            table.Acknowledge(mac, ip, octet, kStart + std::chrono::hours(1 + i));
        if (i == 2)
            table.Unbind(mac);
    }
    table.AddBlack({0x02, 0, 0, 0, 0, 1});
    return table;
}

// How far the clock moves before a message: nothing, a moment, past an
// offer's hold, past a lease.
std::chrono::seconds Step(std::uint8_t selector) {
    static const std::chrono::seconds kSteps[] = {
        std::chrono::seconds(0),  std::chrono::seconds(1),    std::chrono::seconds(59),
        std::chrono::seconds(61), std::chrono::seconds(3600), std::chrono::seconds(172801)};
    return kSteps[selector % 6];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The whole input as one message, twice (the second time the client is known).
    LeaseTable empty;
    HandleOnce(data, size, empty, kStart);
    HandleOnce(data, size, empty, kStart);

    LeaseTable table = PopulatedTable();
    SteadyTime now = kStart;
    std::size_t i = 0;
    while (i + 3 <= size) {
        now += Step(data[i]);
        const std::size_t length = std::min<std::size_t>(
            size - i - 3, static_cast<std::size_t>(data[i + 1]) << 8 | data[i + 2]);
        HandleOnce(data + i + 3, length, table, now);
        i += 3 + length;
    }
    return 0;
}
