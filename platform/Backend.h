// One backend: every facility of the operating system the project uses.
// Three exist: the simulated PC (tests), Linux and Windows.
#pragma once

#include "Calvory.h"
#include "ConnectionFolder.h"
#include "DnsResolver.h"
#include "Dunmere.h"
#include "IcsConfig.h"
#include "IpHelper.h"
#include "ModuleLoader.h"
#include "NatDevice.h"
#include "NetworkListManager.h"
#include "OsInfo.h"
#include "ProcessLauncher.h"
#include "Registry.h"
#include "SessionControl.h"

namespace plat {

class Backend {
public:
    virtual ~Backend() = default;
    virtual const char* Name() const = 0;

    virtual ModuleLoader& Modules() = 0;
    virtual OsInfo& Os() = 0;
    virtual Registry& Reg() = 0;
    virtual ProcessLauncher& Processes() = 0;
    virtual IpHelper& Net() = 0;
    virtual Dunmere& Devices() = 0;
    virtual Calvory& Services() = 0;
    virtual ConnectionFolder& Connections() = 0;
    virtual IcsConfig& Ics() = 0;
    virtual NetworkListManager& Nlm() = 0;
    virtual NatDevice& Nat() = 0;
    virtual DnsResolver& Resolver() = 0;
    virtual SessionControl& Session() = 0;
};

}  // namespace plat
