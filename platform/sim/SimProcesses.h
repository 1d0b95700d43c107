// Programs of the simulated PC: each is a function of its arguments that
// answers an exit code and output; every command line run or started is
// recorded. A program may also stand for a real one of the test machine,
// which is then started for real (its arguments are the same).
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/facility/ProcessLauncher.h"

namespace plat {

class SimFaults;

class SimProcesses : public ProcessLauncher {
public:
    using Program = std::function<ProcessResult(const std::vector<std::string>& args)>;
    explicit SimProcesses(SimFaults& faults) : m_faults(faults) {}

    // Installs a program under its file name ("snetcfg.exe"); case is ignored.
    void Install(const std::string& name, Program program);
    void Remove(const std::string& name);
    // Starts the real program at `hostPath` for the simulated one `name`.
    void MapToHost(const std::string& name, const std::string& hostPath);
    std::vector<std::string> History() const;
    // Command lines Start refused because they were not exactly UTF-8.
    std::vector<std::string> Refused() const;
    // What ParentRuns answers (true by default: started by the user's shell).
    void SetParentRuns(bool runs);

    ProcessResult Run(const std::string& commandLine) override;
    ProcessResult Start(const std::string& commandLine, int waitMs) override;
    bool ParentRuns() override;

private:
    SimFaults& m_faults;
    mutable std::mutex m_lock;
    std::map<std::string, Program> m_programs;
    std::map<std::string, std::string> m_hostPrograms;
    std::vector<std::string> m_history;
    std::vector<std::string> m_refused;
    bool m_parentRuns = true;
};

}  // namespace plat
