// The connection folder of the simulated PC. Its connections are the adapters
// of the simulated adapter table (all but loopback), as on Windows, where the
// folder shows the PC's adapters: a test scripts an adapter and may give its
// connection a media type or a status, but cannot script a connection the
// adapter table does not carry. Properties records are handed out as the
// system does and freed through netshell.dll's NcFreeNetconProperties, which
// the simulated PC provides; records never freed are counted.
#pragma once

#include <map>
#include <mutex>
#include <set>

#include "platform/facility/ConnectionFolder.h"
#include "platform/facility/IpHelper.h"

namespace plat {

class SimFaults;
class SimCom;
class SimNetwork;
class ModuleRegistry;

class SimConnections : public ConnectionFolder {
public:
    SimConnections(SimFaults& faults, SimCom& com, SimNetwork& network, ModuleRegistry& modules);
    ~SimConnections() override;

    // NETCON_MEDIATYPE of an adapter's connection; by default PPP links are
    // dial-up, tunnels are tunnels and the rest LAN. False when the adapter
    // table has no such adapter.
    bool SetMediaType(const GUID& adapter, DWORD mediaType);
    // NETCON_STATUS of an adapter's connection; by default connected while the
    // adapter is up. False when the adapter table has no such adapter.
    bool SetStatus(const GUID& adapter, DWORD status);
    // netshell.dll present (the default) or absent.
    void InstallNetshell();
    void RemoveNetshell();
    // Properties records handed out and not freed yet.
    int LiveProperties() const;
    // Frees of records the folder never handed out (or freed twice).
    int BadFrees() const;

    // The connections as the folder shows them now.
    std::vector<AdapterInfo> FolderAdapters() const;
    NETCON_PROPERTIES* NewProperties(const AdapterInfo& adapter);
    void FreeProperties(NETCON_PROPERTIES* properties);

    HRESULT CreateConnectionManager(DWORD clsctx,
                                    std::unique_ptr<NetConnectionManager>* out) override;

    SimFaults& Faults() { return m_faults; }
    SimCom& Com() { return m_com; }

private:
    struct Traits {
        DWORD mediaType = 0;
        bool hasMediaType = false;
        DWORD status = 0;
        bool hasStatus = false;
    };
    SimFaults& m_faults;
    SimCom& m_com;
    SimNetwork& m_network;
    ModuleRegistry& m_modules;
    mutable std::mutex m_lock;
    std::map<GUID, Traits> m_traits;
    std::set<NETCON_PROPERTIES*> m_handedOut;
    int m_badFrees = 0;
};

}  // namespace plat
