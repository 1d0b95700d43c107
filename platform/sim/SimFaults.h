// Faults injected by name into the simulated PC ("the next call of X answers
// Y"), and a record of which functions were called how often.
//
// Every hook the simulated PC takes is declared here by name (families of
// hooks that carry an opcode are declared as "Name#" and taken as "Name#4").
// A script that names no hook, a fault that no call consumed, and a hook taken
// without being declared are problems the test fixture reports as failures.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace plat {

class SimFaults {
public:
    // The next `times` calls of `function` answer `value` instead of doing their work.
    void FailNext(const std::string& function, std::int64_t value, int times = 1);
    // Every call of `function` answers `value` until Clear.
    void FailAlways(const std::string& function, std::int64_t value);
    // Forgets the faults scripted for `function`.
    void Clear(const std::string& function);

    // Called by the simulated functions: records the call and returns the
    // injected answer when one is due.
    std::optional<std::int64_t> Take(const std::string& function);
    int Calls(const std::string& function) const;
    void ResetCalls();

    // Whether the simulated PC has a hook of this name.
    static bool IsHook(const std::string& function);
    // What is wrong with the script so far: faults naming no hook, faults
    // scripted and not (or never) consumed, hooks taken without a declaration.
    std::vector<std::string> Problems() const;

private:
    mutable std::mutex m_lock;
    std::map<std::string, std::deque<std::int64_t>> m_next;
    std::map<std::string, std::int64_t> m_always;
    std::set<std::string> m_alwaysTaken;
    std::map<std::string, int> m_calls;
    std::vector<std::string> m_problems;
};

}  // namespace plat
