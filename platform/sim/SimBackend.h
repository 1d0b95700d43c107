// The backend that answers every facility from a simulated PC.
#pragma once

#include <memory>

#include "../Backend.h"

namespace plat {

class SimPc;

class SimBackend : public Backend {
public:
    explicit SimBackend(std::unique_ptr<SimPc> pc);
    ~SimBackend() override;

    SimPc& Pc() { return *m_pc; }

    ModuleLoader& Modules() override;
    OsInfo& Os() override;
    Registry& Reg() override;
    ProcessLauncher& Processes() override;
    IpHelper& Net() override;
    Dunmere& Devices() override;
    Calvory& Services() override;
    ComRuntime& Com() override;
    ConnectionFolder& Connections() override;
    NetSharing& Sharing() override;
    Wmi& Wbem() override;
    NetworkAdapterConfiguration& AdapterConfig() override;
    NetworkList& Nlm() override;
    NatDevice& Nat() override;
    DnsResolver& Resolver() override;
    SessionControl& Session() override;
    Clock& Time() override;
    MobileHotspot& Hotspot() override;
    FileStore& Files() override;

private:
    std::unique_ptr<SimPc> m_pc;
};

}  // namespace plat
