// Router advertisements on one interface, over a raw ICMPv6 socket: the
// hotspot is the clients' IPv6 router. Unsolicited advertisements go to all
// nodes at random intervals between the minimum and maximum interval (the
// first few at most 16 seconds apart, so that a link that just came up learns
// the prefix soon); a valid router solicitation is answered by an
// advertisement to all nodes after a short random delay, never sooner than 3
// seconds after the previous one (RFC 4861 6.2.4 and 6.2.6). At the stop a last
// advertisement withdraws the router, the prefix's preference and the DNS
// server (lifetimes 0). Every wait goes through the clock facility.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <random>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "RouterAdvert.h"
#include "platform/facility/Clock.h"

namespace plat {

class RouterAdvertiser {
public:
    struct Timing {
        std::chrono::milliseconds minInterval{200'000};
        std::chrono::milliseconds maxInterval{600'000};
        std::chrono::milliseconds initialInterval{16'000};
        int initialCount = 3;
        std::chrono::milliseconds minDelayBetween{3'000};
        std::chrono::milliseconds maxResponseDelay{500};
        // A send that failed (the interface's link-local address is still
        // tentative right after the link came up) is tried again this soon.
        std::chrono::milliseconds retryDelay{1000};
    };

    explicit RouterAdvertiser(Clock& clock) : m_clock(clock) {}
    ~RouterAdvertiser();
    RouterAdvertiser(const RouterAdvertiser&) = delete;
    RouterAdvertiser& operator=(const RouterAdvertiser&) = delete;

    // Starts advertising `ad` on the interface; 0 or an errno value.
    int Start(const std::string& iface, const RouterAdvert::Advertisement& ad);
    int Start(const std::string& iface, const RouterAdvert::Advertisement& ad,
              const Timing& timing);
    // Sends the withdrawing advertisement, ends the threads and closes the socket.
    void Stop();
    bool Running() const { return m_fd >= 0; }

    std::uint64_t Sent() const;
    std::uint64_t Refused() const;  // solicitations that failed the checks

private:
    void SendLoop(std::stop_token stop);
    void ReceiveLoop();
    bool SendNow(const RouterAdvert::Advertisement& ad);
    std::chrono::milliseconds Between(std::chrono::milliseconds low,
                                      std::chrono::milliseconds high);

    Clock& m_clock;
    Timing m_timing;
    RouterAdvert::Advertisement m_ad;
    unsigned m_index = 0;
    int m_fd = -1;
    int m_wake = -1;  // eventfd: the receiver ends
    std::mt19937 m_random{std::random_device{}()};

    mutable std::mutex m_lock;
    std::condition_variable_any m_cv;
    bool m_solicited = false;
    std::uint64_t m_sent = 0;
    std::uint64_t m_refused = 0;

    std::jthread m_sender;
    std::thread m_receiver;
};

}  // namespace plat
