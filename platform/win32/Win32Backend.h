// The Windows backend: the real Windows calls.
#pragma once

#include "../Backend.h"
#include "Win32AdapterConfig.h"
#include "Win32Com.h"
#include "Win32Connections.h"
#include "Win32Devices.h"
#include "Win32MobileHotspot.h"
#include "Win32ModuleLoader.h"
#include "Win32NatDevice.h"
#include "Win32Network.h"
#include "Win32Nlm.h"
#include "Win32Os.h"
#include "Win32ProcessLauncher.h"
#include "Win32Registry.h"
#include "Win32Resolver.h"
#include "Win32Services.h"
#include "Win32Session.h"
#include "Win32Sharing.h"
#include "platform/common/SystemClock.h"

namespace plat {

class Win32Backend : public Backend {
public:
    Win32Backend();
    ModuleLoader& Modules() override { return m_modules; }
    OsInfo& Os() override { return m_os; }
    Registry& Reg() override { return m_registry; }
    ProcessLauncher& Processes() override { return m_processes; }
    IpHelper& Net() override { return m_network; }
    Dunmere& Devices() override { return m_devices; }
    Calvory& Services() override { return m_services; }
    ComRuntime& Com() override { return m_com; }
    ConnectionFolder& Connections() override { return m_connections; }
    NetSharing& Sharing() override { return m_sharing; }
    Wmi& Wbem() override { return m_wmi; }
    NetworkAdapterConfiguration& AdapterConfig() override { return m_adapterConfig; }
    NetworkList& Nlm() override { return m_nlm; }
    NatDevice& Nat() override { return m_nat; }
    DnsResolver& Resolver() override { return m_resolver; }
    SessionControl& Session() override { return m_session; }
    Clock& Time() override { return m_clock; }
    MobileHotspot& Hotspot() override { return m_hotspot; }

private:
    Win32ModuleLoader m_modules;
    Win32Os m_os;
    Win32Registry m_registry;
    Win32ProcessLauncher m_processes;
    Win32Network m_network;
    Win32Devices m_devices;
    Win32Services m_services;
    Win32Com m_com;
    Win32Connections m_connections;
    Win32Sharing m_sharing;
    Win32Wmi m_wmi;
    Win32AdapterConfig m_adapterConfig;
    Win32Nlm m_nlm;
    Win32NatDevice m_nat;
    Win32Resolver m_resolver;
    Win32Session m_session;
    SystemClock m_clock;
    Win32MobileHotspot m_hotspot;
};

}  // namespace plat
