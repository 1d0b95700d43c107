// Lookups through a blocking resolver on a pool of threads: as many threads as
// there are lookups waiting, at most kMaxThreads; one idle for kIdle leaves
// again, so one slow lookup does not hold up the others.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/facility/DnsResolver.h"

namespace plat {

class DnsLookupPool : public DnsLookups {
public:
    static constexpr std::size_t kMaxThreads = 256;
    static constexpr std::chrono::seconds kIdle{30};

    explicit DnsLookupPool(DnsResolver& resolver) : m_resolver(resolver) {}
    // Drops the lookups not yet begun and waits for the ones under way.
    ~DnsLookupPool() override;
    DnsLookupPool(const DnsLookupPool&) = delete;
    DnsLookupPool& operator=(const DnsLookupPool&) = delete;

    bool Lookup(const std::string& name, Done done) override;

private:
    struct Job {
        std::string name;
        Done done;
    };

    void Loop();
    // Joins the threads that left (called with m_lock held).
    void ReapRetired();

    DnsResolver& m_resolver;
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<Job> m_pending;
    std::list<std::thread> m_threads;
    std::vector<std::thread::id> m_retired;  // left after idling; joined on the next lookup
    std::size_t m_idle = 0;
    bool m_closing = false;
};

}  // namespace plat
