// Internet Connection Sharing of the simulated PC: the configuration manager
// (HNetCfg.HNetShare.1) over the connections of the simulated adapter table,
// each with its sharing flags. One public and one private connection at a
// time, as Windows allows. The HomeNet WMI instances (SimWmi) show and write
// the same flags.
#pragma once

#include <map>
#include <mutex>
#include <vector>

#include "platform/facility/IpHelper.h"
#include "platform/facility/NetSharing.h"

namespace plat {

class SimFaults;
class SimCom;
class SimNetwork;
class OsInfo;

class SimIcs : public NetSharing {
public:
    // With `token`, changes of sharing (and of the HomeNet WMI instances)
    // need administrator rights.
    SimIcs(SimFaults& faults, SimCom& com, SimNetwork& network, OsInfo* token = nullptr);

    // Whether ICS is installed (get_SharingInstalled).
    void SetInstalled(bool installed);
    bool Installed() const;
    // A connection whose EnableSharing answers `hr` (0 removes the refusal).
    void Refuse(const GUID& connection, HRESULT hr);
    // The flags of a connection; a test sets them to stand for another program's sharing.
    bool IsPublic(const GUID& connection) const;
    bool IsPrivate(const GUID& connection) const;
    void SetFlags(const GUID& connection, bool isPublic, bool isPrivate);
    // Sharing managers handed out and not released.
    int LiveManagers() const;

    // The connections ICS sees: the adapters of the table, loopback excepted.
    std::vector<GUID> Connections() const;
    bool HasConnection(const GUID& connection) const;
    HRESULT Enable(const GUID& connection, int sharingType);
    HRESULT Disable(const GUID& connection);
    void ManagerCreated(int delta);

    HRESULT CreateSharingManager(const GUID& clsid, DWORD clsctx,
                                 std::unique_ptr<NetSharingManager>* out) override;

    SimFaults& Faults() { return m_faults; }
    SimCom& Com() { return m_com; }
    // Whether the process may change sharing: without rights it may not.
    bool MayChange() const;

private:
    struct Flags {
        bool isPublic = false;
        bool isPrivate = false;
    };
    SimFaults& m_faults;
    SimCom& m_com;
    SimNetwork& m_network;
    OsInfo* m_token;
    mutable std::mutex m_lock;
    bool m_installed = true;
    int m_managers = 0;
    std::map<GUID, Flags> m_flags;
    std::map<GUID, HRESULT> m_refusals;
};

}  // namespace plat
