// Decides on one received DHCP message: a pure function of the received bytes,
// the server's settings and the lease table. It returns the reply to broadcast
// (or none), the lines for the debugger output and the acknowledged lease; it
// touches no socket, lock or global state, so the server thread, the tests and
// the fuzzer all drive the same code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "LeaseTable.h"
#include "Pellion.h"

namespace pellion {

struct DhcpSettings {
    std::string serverIp;      // dotted, the server's own address
    std::string dnsList;       // comma-separated dotted addresses
    std::string computerName;  // clients that send this name are refused
};

enum class DhcpVerdict { Ignore, Offer, Ack, Nak };

struct DhcpOutcome {
    DhcpVerdict verdict = DhcpVerdict::Ignore;
    std::vector<std::uint8_t> reply;  // empty when nothing is to be sent
    std::vector<std::string> debug;   // debugger output, in order
    std::optional<_DHCP_CLIENT> acked;
};

class DhcpMessageHandler {
public:
    // Receive buffer and reply buffer size.
    static constexpr std::size_t kBufferSize = 1024;
    static constexpr std::uint8_t kDiscover = 1;
    static constexpr std::uint8_t kOffer = 2;
    static constexpr std::uint8_t kRequest = 3;
    static constexpr std::uint8_t kAck = 5;
    static constexpr std::uint8_t kNak = 6;

    static DhcpOutcome Handle(const std::uint8_t* data, std::size_t size,
                              const DhcpSettings& settings, LeaseTable& table);
};

}  // namespace pellion
