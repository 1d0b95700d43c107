#include "DnsLookupPool.h"

#include <system_error>

namespace plat {

DnsLookupPool::~DnsLookupPool() {
    std::list<std::thread> threads;
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_closing = true;
        m_pending.clear();
        m_retired.clear();
        threads.swap(m_threads);
    }
    m_wake.notify_all();
    for (std::thread& t : threads)
        t.join();
}

bool DnsLookupPool::Lookup(const std::string& name, Done done) {
    {
        std::lock_guard<std::mutex> g(m_lock);
        if (m_closing)
            return false;
        m_pending.push_back(Job{name, std::move(done)});
        ReapRetired();
        if (m_idle < m_pending.size() && m_threads.size() < kMaxThreads) {
            ++m_idle;  // counted idle until it takes its first lookup
            try {
                m_threads.emplace_back(&DnsLookupPool::Loop, this);
            } catch (const std::system_error&) {
                --m_idle;  // the threads there are take the lookup
                if (m_threads.empty()) {
                    m_pending.pop_back();
                    return false;
                }
            }
        }
    }
    m_wake.notify_one();
    return true;
}

void DnsLookupPool::ReapRetired() {
    for (const std::thread::id id : m_retired) {
        for (auto it = m_threads.begin(); it != m_threads.end(); ++it) {
            if (it->get_id() == id) {
                it->join();  // it has left the loop and holds no lock
                m_threads.erase(it);
                break;
            }
        }
    }
    m_retired.clear();
}

void DnsLookupPool::Loop() {
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        const bool work =
            m_wake.wait_for(lock, kIdle, [this] { return m_closing || !m_pending.empty(); });
        if (m_closing)
            return;
        if (!work) {
            // Idle for long: leave, unless the pool would be left without any.
            if (m_threads.size() - m_retired.size() <= 1)
                continue;
            --m_idle;
            m_retired.push_back(std::this_thread::get_id());
            return;
        }
        Job job = std::move(m_pending.front());
        m_pending.pop_front();
        --m_idle;
        lock.unlock();
        std::vector<DnsRecord> records;
        const LONG result = m_resolver.QueryA(job.name, &records);
        lock.lock();
        // A lookup that ends while the pool closes is not reported.
        if (!m_closing) {
            lock.unlock();
            job.done(result, std::move(records));
            lock.lock();
        }
        ++m_idle;
    }
}

}  // namespace plat
