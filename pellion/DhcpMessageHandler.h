// Decides on one received DHCP message: a pure function of the received bytes,
// the server's settings, the lease table and the time of arrival. It returns
// the reply and where to send it (or none), the lines for the debugger output
// and the acknowledged lease; it touches no socket, lock, clock or global
// state, so the server thread, the tests and the fuzzer all drive the same code.
#pragma once

#include <chrono>
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

// Release and Decline change the table but are not answered.
enum class DhcpVerdict { Ignore, Offer, Ack, Nak, Release, Decline };

struct DhcpOutcome {
    DhcpVerdict verdict = DhcpVerdict::Ignore;
    std::vector<std::uint8_t> reply;  // empty when nothing is to be sent
    // Broadcast to the clients' port, or to a relay agent's address on the
    // server port when the message came through one.
    std::uint32_t destination = 0xFFFFFFFFu;  // network byte order
    std::uint16_t port = 68;
    std::vector<std::string> debug;  // debugger output, in order
    std::optional<_DHCP_CLIENT> acked;
};

class DhcpMessageHandler {
public:
    // Receive buffer and reply buffer size.
    static constexpr std::size_t kBufferSize = 1024;
    static constexpr std::uint8_t kDiscover = 1;
    static constexpr std::uint8_t kOffer = 2;
    static constexpr std::uint8_t kRequest = 3;
    static constexpr std::uint8_t kDecline = 4;
    static constexpr std::uint8_t kAck = 5;
    static constexpr std::uint8_t kNak = 6;
    static constexpr std::uint8_t kRelease = 7;

    // How long an offer keeps its address for the client's REQUEST; when the
    // pool has no free address, the oldest waiting offer gives its address up
    // earlier.
    static constexpr std::chrono::seconds kOfferHold{60};
    // The lease time the replies announce and after which a lease that was
    // not renewed ends.
    static constexpr std::chrono::seconds kLeaseTime{172800};

    static DhcpOutcome Handle(const std::uint8_t* data, std::size_t size,
                              const DhcpSettings& settings, LeaseTable& table, SteadyTime now);
};

}  // namespace pellion
