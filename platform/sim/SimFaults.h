// Faults injected by name into the simulated PC ("the next call of X answers
// Y"), and a record of which functions were called how often.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace plat {

class SimFaults {
public:
    // The next `times` calls of `function` answer `value` instead of doing their work.
    void FailNext(const std::string& function, std::int64_t value, int times = 1);
    // Every call of `function` answers `value` until Clear.
    void FailAlways(const std::string& function, std::int64_t value);
    void Clear(const std::string& function);

    // Called by the simulated functions: records the call and returns the
    // injected answer when one is due.
    std::optional<std::int64_t> Take(const std::string& function);
    int Calls(const std::string& function) const;
    void ResetCalls();

private:
    mutable std::mutex m_lock;
    std::map<std::string, std::deque<std::int64_t>> m_next;
    std::map<std::string, std::int64_t> m_always;
    std::map<std::string, int> m_calls;
};

}  // namespace plat
