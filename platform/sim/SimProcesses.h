// Programs of the simulated PC: each is a function of its arguments that
// answers an exit code and output; every command line run is recorded.
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
    std::vector<std::string> History() const;

    ProcessResult Run(const std::string& commandLine) override;

private:
    SimFaults& m_faults;
    mutable std::mutex m_lock;
    std::map<std::string, Program> m_programs;
    std::vector<std::string> m_history;
};

}  // namespace plat
