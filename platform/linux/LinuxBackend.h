// The Linux backend: the real facilities of a Linux PC.
#pragma once

#include "../Backend.h"
#include "LinuxAdapterConfig.h"
#include "LinuxConnections.h"
#include "LinuxDevices.h"
#include "LinuxHostedNetwork.h"
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
#include "LinuxSharing.h"
#include "platform/common/ComApartments.h"
#include "platform/common/SystemClock.h"
#include "platform/winapi/DebugOutput.h"
#include "platform/wlan/WlanLibrary.h"

namespace plat {

class LinuxBackend : public Backend {
public:
    // The debugger output of a Linux program goes to its standard error.
    LinuxBackend() { Setup(); }
    explicit LinuxBackend(std::string registryFile) : m_registry(std::move(registryFile)) {
        Setup();
    }

    LinuxModuleLoader& Modules() override { return m_modules; }
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
    // Linux has no mobile hotspot of its own: the access point is hostapd's.
    MobileHotspot& Hotspot() override { return m_hotspot; }
    std::string AccessPointFailure() override { return m_hostedNetwork.LastFailure(); }
    std::string AccessPointSecurity() override { return m_hostedNetwork.Security(); }
    std::string ClientIpv6Address() override { return m_nat.Engine().Ipv6Address(); }
    // IPv6 for the clients (on by default once a program folder keeps its prefix).
    void SetIpv6(bool on) {
        m_ipv6 = on;
        m_nat.Engine().SetIpv6(m_ipv6, m_prefixFile);
    }

    // Where the engine keeps its files instead of beside the program.
    void SetProgramFolder(const std::string& folder) {
        m_os.SetProgramFolder(folder);
        // The access point's radio settings are read from the settings file there.
        LinuxHostedNetworkOptions options = m_hostedNetwork.Options();
        options.settingsFile = folder + "/Lumari.cfg";
        m_hostedNetwork.SetOptions(options);
        // The clients' IPv6 prefix is kept there, so it stays the same across runs.
        m_prefixFile = folder + "/ipv6-prefix";
        m_nat.Engine().SetIpv6(m_ipv6, m_prefixFile);
    }
    // The hosted network (hostapd or a wired port) behind wlanapi.dll.
    LinuxHostedNetwork& HostedNetwork() { return m_hostedNetwork; }
    WlanLibrary& Wlan() { return m_wlan; }

private:
    void Setup() {
        DebugOutput::Instance().SetSink(DebugOutput::Sink::StdErr);
        m_wlan.MakeCurrent();
        m_devices.SetAccessPointLink([this] { return m_hostedNetwork.LastInterface(); });
        // Notes about handing the interface over go where the debugger output goes.
        m_hostedNetwork.SetNote(
            [](const std::string& text) { DebugOutput::Instance().Write(text); });
        m_com.RegisterProgId(L"HNetCfg.HNetShare.1", kClsidNetSharingManager);
        m_com.RegisterProgId(L"HNetCfg.HNetShare", kClsidNetSharingManager);
    }

    LinuxModuleLoader m_modules;
    LinuxOs m_os;
    LinuxRegistry m_registry;
    LinuxProcessLauncher m_processes;
    LinuxNetwork m_network;
    LinuxDevices m_devices;
    LinuxServices m_services;
    ComApartments m_com;
    LinuxConnections m_connections{m_com, m_modules.Registered()};
    LinuxSharing m_sharing{m_com};
    LinuxWmi m_wmi;
    LinuxAdapterConfig m_adapterConfig;
    LinuxNlm m_nlm{m_com};
    LinuxNatDevice m_nat;
    LinuxResolver m_resolver;
    LinuxSession m_session;
    SystemClock m_clock;
    NoMobileHotspot m_hotspot;
    LinuxHostedNetwork m_hostedNetwork;
    WlanLibrary m_wlan{m_modules.Registered(), m_hostedNetwork};  // after what it uses
    bool m_ipv6 = true;
    std::string m_prefixFile;
};

}  // namespace plat
