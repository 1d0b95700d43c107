#include "SimWlan.h"

#include <strings.h>

#include "SimDevices.h"
#include "SimFaults.h"
#include "SimServices.h"

namespace plat {

SimWlan::SimWlan(SimFaults& faults, ModuleRegistry& modules, SimServices& services,
                 SimDevices& devices)
    : m_library(modules, m_network,
                [&faults](const std::string& function) { return faults.Take(function); }) {
    constexpr int kRunning = 4;
    m_network.SetServiceRunning(services.State("WlanSvc") == kRunning);
    services.OnChange([this](const std::string& name, int state) {
        if (strcasecmp(name.c_str(), "WlanSvc") == 0)
            m_network.SetServiceRunning(state == kRunning);
    });
    devices.OnAdapterChange([this](const GUID& adapter, bool present, bool enabled) {
        m_network.SetAdapterState(adapter, present, enabled);
    });
}

}  // namespace plat
