// One backend: every facility of the operating system the project uses.
// Three exist: the simulated PC (tests), Linux and Windows.
#pragma once

#include <string>

#include "platform/facility/Clock.h"
#include "platform/facility/ComRuntime.h"
#include "platform/facility/ConnectionFolder.h"
#include "platform/facility/DnsResolver.h"
#include "platform/facility/FileStore.h"
#include "platform/facility/IpHelper.h"
#include "platform/facility/MobileHotspot.h"
#include "platform/facility/ModuleLoader.h"
#include "platform/facility/NatDevice.h"
#include "platform/facility/NetSharing.h"
#include "platform/facility/NetworkAdapterConfiguration.h"
#include "platform/facility/NetworkListManager.h"
#include "platform/facility/OsInfo.h"
#include "platform/facility/ProcessLauncher.h"
#include "platform/facility/Registry.h"
#include "platform/facility/SessionControl.h"
#include "platform/facility/Wmi.h"
#include "platform/vendor/Calvory.h"
#include "platform/vendor/Dunmere.h"

namespace plat {

class Backend {
public:
    virtual ~Backend() = default;

    virtual ModuleLoader& Modules() = 0;
    virtual OsInfo& Os() = 0;
    virtual Registry& Reg() = 0;
    virtual ProcessLauncher& Processes() = 0;
    virtual IpHelper& Net() = 0;
    virtual Dunmere& Devices() = 0;
    virtual Calvory& Services() = 0;
    virtual ComRuntime& Com() = 0;
    virtual ConnectionFolder& Connections() = 0;
    virtual NetSharing& Sharing() = 0;
    virtual Wmi& Wbem() = 0;
    virtual NetworkAdapterConfiguration& AdapterConfig() = 0;
    virtual NetworkList& Nlm() = 0;
    virtual NatDevice& Nat() = 0;
    virtual DnsResolver& Resolver() = 0;
    virtual SessionControl& Session() = 0;
    virtual Clock& Time() = 0;
    virtual MobileHotspot& Hotspot() = 0;
    // The program's settings files; every real backend writes to its disk.
    virtual FileStore& Files();
    // Why the access point's last start failed or why it ended, in the words
    // of the program that runs it (hostapd's own reason on Linux); empty
    // where the system gives no more than its error code.
    virtual std::string AccessPointFailure() { return {}; }
    // The security the access point runs with ("wpa2", "wpa3", "wpa2-wpa3")
    // where the program chooses it; empty where the system does (WPA2).
    virtual std::string AccessPointSecurity() { return {}; }
    // The hotspot's own IPv6 address toward its clients while it gives them
    // IPv6 (the DNS relay answers there too); empty where it gives none.
    virtual std::string ClientIpv6Address() { return {}; }
};

}  // namespace plat
