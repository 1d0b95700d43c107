#include "SimBackend.h"

#include "SimPc.h"
#include "platform/winapi/DebugOutput.h"

namespace plat {

SimBackend::SimBackend(std::unique_ptr<SimPc> pc) : m_pc(std::move(pc)) {
    // The simulated PC has no debugger attached; tests read the capture.
    DebugOutput::Instance().SetSink(DebugOutput::Sink::None);
}
SimBackend::~SimBackend() = default;

ModuleLoader& SimBackend::Modules() {
    return m_pc->modules;
}
OsInfo& SimBackend::Os() {
    return m_pc->os;
}
Registry& SimBackend::Reg() {
    return m_pc->registry;
}
ProcessLauncher& SimBackend::Processes() {
    return m_pc->processes;
}
IpHelper& SimBackend::Net() {
    return m_pc->network;
}
Dunmere& SimBackend::Devices() {
    return m_pc->devices;
}
Calvory& SimBackend::Services() {
    return m_pc->services;
}
ComRuntime& SimBackend::Com() {
    return m_pc->com;
}
ConnectionFolder& SimBackend::Connections() {
    return m_pc->connections;
}
NetSharing& SimBackend::Sharing() {
    return m_pc->ics;
}
Wmi& SimBackend::Wbem() {
    return m_pc->wmi;
}
NetworkAdapterConfiguration& SimBackend::AdapterConfig() {
    return m_pc->adapterConfig;
}
NetworkList& SimBackend::Nlm() {
    return m_pc->nlm;
}
NatDevice& SimBackend::Nat() {
    return m_pc->nat;
}
DnsResolver& SimBackend::Resolver() {
    return m_pc->resolver;
}
SessionControl& SimBackend::Session() {
    return m_pc->session;
}
FileStore& SimBackend::Files() {
    return m_pc->files;
}
Clock& SimBackend::Time() {
    return m_pc->clock;
}

MobileHotspot& SimBackend::Hotspot() {
    return m_pc->hotspot;
}

}  // namespace plat
