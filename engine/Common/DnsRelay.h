// The DNS relay: answers the hotspot clients' A and AAAA queries on UDP port 53
// of the hotspot address (and of its IPv6 address, where the clients have
// IPv6). Each query is resolved through the system resolver and answered with
// a response the relay builds itself (RFC 1035 format): the query's header and
// question followed by the resolver's CNAME records and addresses of the
// question's type. Where the resolver has no AAAA lookup, AAAA queries go
// unanswered.
//
// Each name goes to the resolver's lookups, which run many together (an
// asynchronous resolver, or a pool of threads around a blocking one), so one
// slow upstream lookup does not hold up the other clients. Where the lookups
// run on an event loop of their own, the relay's sockets are read in that loop
// (a question goes upstream with no hand-over between threads); elsewhere one
// thread per socket receives. Clients asking the same name while its lookup is
// under way share that lookup; each still gets its own response, built from
// its own query.
// Queries waiting for an answer are bounded; beyond that new ones are dropped
// (the client asks again or uses its next server).
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
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
    // Queries waiting for an answer, shared lookups counted per query.
    static constexpr std::size_t kMaxPending = 512;

    // Resolves through `resolver`, or the platform's resolver when null.
    explicit CDnsRelay(plat::DnsResolver* resolver = nullptr);
    ~CDnsRelay();
    CDnsRelay(const CDnsRelay&) = delete;
    CDnsRelay& operator=(const CDnsRelay&) = delete;

    // Listens on `ip` (dotted) and `port`: 0, -1 when the relay already runs,
    // or the socket error (10049 when the address is not on an adapter yet).
    int StartRelay(const std::string& ip, std::uint16_t port = 53);
    // Listens on the IPv6 address `ip6` too (the relay runs already); 0, -1
    // when it does not run or already listens on IPv6, or the socket error.
    int StartRelay6(const std::string& ip6, std::uint16_t port = 53);
    std::uint16_t Port6() const { return m_port6; }
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
        std::uint64_t dropped = 0;     // too many queries waiting for an answer
    };
    Stats GetStats() const;

    // The question name of a plain A or AAAA query, lower case and dotted,
    // and its type (1 or 28); false for every datagram the relay does not answer.
    static bool ParseQuery(const std::uint8_t* data, std::size_t size, std::string* name,
                           std::uint16_t* type = nullptr);
    // The response to `query` (which ParseQuery accepted) carrying `records`,
    // written to `out`; its length. Records of other types than CNAME and the
    // question's (A or AAAA),
    // with names that cannot be encoded, or that would not fit are left out,
    // and ANCOUNT counts the records written.
    static std::size_t BuildResponse(const std::uint8_t* query, std::size_t size,
                                     const std::vector<plat::DnsRecord>& records, std::uint8_t* out,
                                     std::size_t capacity);

private:
    struct Job {
        std::vector<std::uint8_t> query;
        std::uint32_t fromIp = 0;
        std::uint16_t fromPort = 0;
        bool v6 = false;
        std::array<std::uint8_t, 16> fromIp6{};
        std::uint32_t fromScope = 0;
    };

    void ReceiveLoop(plat::UdpSocket* socket, bool v6);
    // Takes the datagrams waiting on `socket` (a bounded number) into `lookups`.
    // The lookups are passed, not read from m_lookups: on the lookups' own
    // loop the relay's stop is clearing that member while it waits for the loop.
    void Drain(plat::UdpSocket* socket, bool v6, std::vector<std::uint8_t>& buffer,
               plat::DnsLookups& lookups);
    // Has the lookups' loop read `socket`; false where they have no loop.
    bool WatchSocket(plat::UdpSocket* socket, bool v6);
    // `key` tells lookups apart: the name for A, the name and the type for AAAA.
    void Enqueue(std::string key, const std::string& name, std::uint16_t type, Job job,
                 plat::DnsLookups& lookups);
    // Answers every query waiting for `name`.
    void Finish(const std::string& name, plat::LONG result,
                const std::vector<plat::DnsRecord>& records);

    plat::DnsResolver* m_resolver = nullptr;
    std::atomic<bool> m_running{false};
    std::atomic<std::uint64_t> m_queries{0};
    std::atomic<std::uint64_t> m_answered{0};
    std::atomic<std::uint64_t> m_unresolved{0};
    std::atomic<std::uint64_t> m_dropped{0};
    std::unique_ptr<plat::UdpSocket> m_socket;
    std::unique_ptr<plat::UdpSocket> m_socket6;
    std::uint16_t m_port6 = 0;
    std::thread m_receiver6;
    std::unique_ptr<plat::DnsLookups> m_lookups;
    std::uint16_t m_port = 0;
    std::thread m_receiver;

    std::mutex m_lock;
    // The queries waiting for each name's lookup, and how many they are.
    std::unordered_map<std::string, std::vector<Job>> m_waiting;
    std::size_t m_pending = 0;
};
