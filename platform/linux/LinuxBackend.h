// The Linux backend: the real facilities of a Linux PC.
#pragma once

#include "../Backend.h"
#include "LinuxConnections.h"
#include "LinuxDevices.h"
#include "LinuxHostedNetwork.h"
#include "LinuxIcs.h"
#include "LinuxModuleLoader.h"
#include "LinuxNatDevice.h"
#include "LinuxNetwork.h"
#include "LinuxNlm.h"
#include "LinuxOs.h"
#include "LinuxProcessLauncher.h"
#include "LinuxRegistry.h"
#include "LinuxResolver.h"
#include "LinuxServices.h"
#include "LinuxSession.h"
#include "platform/common/SystemClock.h"
#include "platform/winapi/DebugOutput.h"
#include "platform/wlan/WlanLibrary.h"

namespace plat {

class LinuxBackend : public Backend {
public:
    // The debugger output of a Linux program goes to its standard error.
    LinuxBackend() {
        DebugOutput::Instance().SetSink(DebugOutput::Sink::StdErr);
        m_wlan.MakeCurrent();
    }
    explicit LinuxBackend(std::string registryFile) : m_registry(std::move(registryFile)) {
        DebugOutput::Instance().SetSink(DebugOutput::Sink::StdErr);
        m_wlan.MakeCurrent();
    }

    const char* Name() const override { return "linux"; }
    LinuxModuleLoader& Modules() override { return m_modules; }
    OsInfo& Os() override { return m_os; }
    Registry& Reg() override { return m_registry; }
    ProcessLauncher& Processes() override { return m_processes; }
    IpHelper& Net() override { return m_network; }
    Dunmere& Devices() override { return m_devices; }
    Calvory& Services() override { return m_services; }
    ConnectionFolder& Connections() override { return m_connections; }
    IcsConfig& Ics() override { return m_ics; }
    NetworkListManager& Nlm() override { return m_nlm; }
    NatDevice& Nat() override { return m_nat; }
    DnsResolver& Resolver() override { return m_resolver; }
    SessionControl& Session() override { return m_session; }
    Clock& Time() override { return m_clock; }

    // The hosted network (hostapd or a wired port) behind wlanapi.dll.
    LinuxHostedNetwork& HostedNetwork() { return m_hostedNetwork; }
    WlanLibrary& Wlan() { return m_wlan; }

private:
    LinuxModuleLoader m_modules;
    LinuxOs m_os;
    LinuxRegistry m_registry;
    LinuxProcessLauncher m_processes;
    LinuxNetwork m_network;
    LinuxDevices m_devices;
    LinuxServices m_services;
    LinuxConnections m_connections;
    LinuxIcs m_ics;
    LinuxNlm m_nlm;
    LinuxNatDevice m_nat;
    LinuxResolver m_resolver;
    LinuxSession m_session;
    SystemClock m_clock;
    LinuxHostedNetwork m_hostedNetwork;
    WlanLibrary m_wlan{m_modules.Registered(), m_hostedNetwork};  // after what it uses
};

}  // namespace plat
