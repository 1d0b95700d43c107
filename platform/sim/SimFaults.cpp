#include "SimFaults.h"

namespace plat {

void SimFaults::FailNext(const std::string& function, std::int64_t value, int times) {
    std::lock_guard<std::mutex> g(m_lock);
    for (int i = 0; i < times; ++i)
        m_next[function].push_back(value);
}

void SimFaults::FailAlways(const std::string& function, std::int64_t value) {
    std::lock_guard<std::mutex> g(m_lock);
    m_always[function] = value;
}

void SimFaults::Clear(const std::string& function) {
    std::lock_guard<std::mutex> g(m_lock);
    m_next.erase(function);
    m_always.erase(function);
}

std::optional<std::int64_t> SimFaults::Take(const std::string& function) {
    std::lock_guard<std::mutex> g(m_lock);
    ++m_calls[function];
    auto it = m_next.find(function);
    if (it != m_next.end() && !it->second.empty()) {
        const std::int64_t v = it->second.front();
        it->second.pop_front();
        return v;
    }
    auto a = m_always.find(function);
    if (a != m_always.end())
        return a->second;
    return std::nullopt;
}

int SimFaults::Calls(const std::string& function) const {
    std::lock_guard<std::mutex> g(m_lock);
    auto it = m_calls.find(function);
    return it == m_calls.end() ? 0 : it->second;
}

void SimFaults::ResetCalls() {
    std::lock_guard<std::mutex> g(m_lock);
    m_calls.clear();
}

}  // namespace plat
