// The simulated PC: everything a Windows PC offers the program, in memory,
// scripted and inspected by tests. `SimPc::Install()` makes a fresh one the
// installed backend; the in-process stand-ins of system libraries reach it
// through `SimPc::Current()`.
#pragma once

#include <memory>

#include "SimAdapterConfig.h"
#include "SimClock.h"
#include "SimCom.h"
#include "SimConnections.h"
#include "SimDevices.h"
#include "SimFaults.h"
#include "SimFiles.h"
#include "SimIcs.h"
#include "SimMobileHotspot.h"
#include "SimNatDevice.h"
#include "SimNetsh.h"
#include "SimNetwork.h"
#include "SimNlm.h"
#include "SimOs.h"
#include "SimProcesses.h"
#include "SimRalink.h"
#include "SimResolver.h"
#include "SimServices.h"
#include "SimSession.h"
#include "SimWlan.h"
#include "SimWmi.h"
#include "SimWzc.h"
#include "platform/common/RegistryStore.h"
#include "platform/facility/ModuleRegistry.h"

namespace plat {

class SimPc {
public:
    SimPc();
    ~SimPc();
    SimPc(const SimPc&) = delete;
    SimPc& operator=(const SimPc&) = delete;

    // Creates a fresh simulated PC and installs it as the backend.
    static SimPc& Install();
    // The installed simulated PC; null when another backend is installed.
    static SimPc* Current();

    SimFaults faults;
    SimClock clock;
    ModuleRegistry modules;
    SimOs os{faults};
    RegistryStore registry;
    SimProcesses processes{faults};
    SimNetwork network{faults, &registry, &os};
    SimNetsh netsh{processes, network, registry, &os};
    SimDevices devices{faults, &os};
    SimServices services{faults, &os};
    SimCom com{faults};
    SimConnections connections{faults, com, network, modules};
    SimIcs ics{faults, com, network, &os};
    SimWmi wmi{faults, com, ics};
    SimAdapterConfig adapterConfig{faults, &network, &os};
    SimNlm nlm{faults, com, network, os};
    SimNatDevice nat{faults, network, clock};
    SimResolver resolver{faults};
    SimFiles files;
    SimSession session{faults, registry, &os};
    SimRalink ralink{faults, modules};
    SimWlan wlan{faults, modules, services, devices};
    SimWzc wzc{faults, modules, os};
    SimMobileHotspot hotspot{faults, clock, os, network, nlm};
};

}  // namespace plat
