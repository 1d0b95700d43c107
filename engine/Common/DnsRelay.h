// The DNS relay: answers the hotspot clients' A queries on UDP port 53 of the
// hotspot address. Each query is resolved through the system resolver and
// answered with a response the relay builds itself (RFC 1035 format): the
// query's header and question followed by the resolver's A and CNAME records.
//
// One thread receives; lookups run on a small pool of resolver threads that
// grows with the load, so one slow upstream lookup does not hold up the
// other clients. Queries waiting for a resolver are bounded; beyond that new
// ones are dropped (the client asks again or uses its next server).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/facility/DnsResolver.h"

namespace plat {
class UdpSocket;
}

class CDnsRelay {
public:
    // Receive and response buffers.
    static constexpr std::size_t kBufferSize = 5120;
    // Room for one answer record and for the query name.
    static constexpr std::size_t kRecordScratch = 1024;
    static constexpr std::size_t kNameBuffer = 1024;
    // Resolver threads: as many as there are queries waiting for an answer, at
    // most this many; one idle for kResolverIdle leaves again.
    static constexpr std::size_t kMaxResolvers = 256;
    static constexpr std::size_t kMaxPending = 512;
    static constexpr std::chrono::seconds kResolverIdle{30};

    CDnsRelay();
    ~CDnsRelay();
    CDnsRelay(const CDnsRelay&) = delete;
    CDnsRelay& operator=(const CDnsRelay&) = delete;

    // Listens on `ip` (dotted) and `port`: 0, -1 when the relay already runs,
    // or the socket error (10049 when the address is not on an adapter yet).
    int StartRelay(const std::string& ip, std::uint16_t port = 53);
    // Closes the socket and waits for the relay's threads; nothing when stopped.
    void Stop();
    bool IsRunning() const { return m_running.load(); }
    // The port the relay listens on (for a start with port 0).
    std::uint16_t Port() const { return m_port; }

    // What the relay did since it started.
    struct Stats {
        std::uint64_t queries = 0;     // datagrams it accepted as queries
        std::uint64_t answered = 0;    // responses sent
        std::uint64_t unresolved = 0;  // the resolver had no answer
        std::uint64_t dropped = 0;     // no resolver free and the queue full
    };
    Stats GetStats() const;

    // The question name of a plain A query, lower case and dotted; false for
    // every datagram the relay does not answer.
    static bool ParseQuery(const std::uint8_t* data, std::size_t size, std::string* name);
    // The response to `query` (which ParseQuery accepted) carrying `records`,
    // written to `out`; its length. Records of other types than A and CNAME,
    // with names that cannot be encoded, or that would not fit are left out,
    // and ANCOUNT counts the records written.
    static std::size_t BuildResponse(const std::uint8_t* query, std::size_t size,
                                     const std::vector<plat::DnsRecord>& records, std::uint8_t* out,
                                     std::size_t capacity);

private:
    struct Job {
        std::vector<std::uint8_t> query;
        std::string name;
        std::uint32_t fromIp = 0;
        std::uint16_t fromPort = 0;
    };

    void ReceiveLoop();
    void ResolverLoop();
    void Enqueue(Job job);
    // Joins the resolver threads that left (called with m_lock held).
    void ReapRetired();
    void Answer(const Job& job);

    std::atomic<bool> m_running{false};
    std::atomic<std::uint64_t> m_queries{0};
    std::atomic<std::uint64_t> m_answered{0};
    std::atomic<std::uint64_t> m_unresolved{0};
    std::atomic<std::uint64_t> m_dropped{0};
    std::unique_ptr<plat::UdpSocket> m_socket;
    std::uint16_t m_port = 0;
    std::thread m_receiver;

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<Job> m_pending;
    std::list<std::thread> m_resolvers;
    std::vector<std::thread::id> m_retired;  // left after idling; joined on the next query
    std::size_t m_idle = 0;
    bool m_closing = false;
};
