#include "SimWlan.h"

#include "SimFaults.h"

namespace plat {

SimWlan::SimWlan(SimFaults& faults, ModuleRegistry& modules)
    : m_library(modules, m_network,
                [&faults](const std::string& function) { return faults.Take(function); }) {}

}  // namespace plat
