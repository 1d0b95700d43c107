// The Network List Manager of the simulated PC. Its connections are those of
// the simulated adapter table that are up, each with a connection id of its
// own and a connectivity derived from the adapter (Internet through a default
// gateway, local network with an address only); a test may set another
// connectivity or make the manager forget a connection. Events are raised by
// the test and arrive on a thread of their own, as COM delivers them; the
// test waits until every advised sink has returned. Windows XP has no
// Network List Manager.
#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "platform/facility/NetworkListManager.h"

namespace plat {

class SimFaults;
class SimCom;
class SimNetwork;
class SimOs;

struct SimNlmConnection {
    GUID connectionId{};
    GUID adapterId{};
    DWORD connectivity = 0;
};

class SimNlm : public NetworkList {
public:
    SimNlm(SimFaults& faults, SimCom& com, SimNetwork& network, SimOs& os);

    // The connection id the manager gives an adapter's connection.
    static GUID ConnectionIdOf(const GUID& adapter);
    void SetConnectivity(const GUID& adapter, DWORD connectivity);
    // The manager no longer reports the adapter's connection.
    void Forget(const GUID& adapter);

    // Delivers INetworkConnectionEvents::NetworkConnectionConnectivityChanged.
    void RaiseConnectionConnectivityChanged(const GUID& connectionId, DWORD connectivity);
    // Delivers any event to the sinks advised on the interface `iid`.
    void Raise(const GUID& iid, const std::function<void(NetworkEventSink&)>& event);
    // While held, an event raised picks the sinks advised at that moment (as
    // COM has them in hand) and waits, before calling any, until released.
    void HoldDeliveries();
    void ReleaseDeliveries();
    // Events waiting so.
    int HeldDeliveries() const;
    // Sinks advised now on the interface `iid`.
    int Subscriptions(const GUID& iid) const;

    std::vector<SimNlmConnection> Current() const;
    bool Find(const GUID& connectionId, SimNlmConnection* out) const;
    HRESULT Advise(const GUID& iid, std::shared_ptr<NetworkEventSink> sink, DWORD* cookie);
    HRESULT Unadvise(const GUID& iid, DWORD cookie);

    HRESULT CreateNetworkListManager(DWORD clsctx,
                                     std::unique_ptr<NetworkListManager>* out) override;

    SimFaults& Faults() { return m_faults; }
    SimCom& Com() { return m_com; }

private:
    SimFaults& m_faults;
    SimCom& m_com;
    SimNetwork& m_network;
    SimOs& m_os;
    mutable std::mutex m_lock;
    std::map<GUID, DWORD> m_connectivity;
    std::set<GUID> m_forgotten;
    std::map<GUID, std::map<DWORD, std::shared_ptr<NetworkEventSink>>> m_sinks;
    DWORD m_nextCookie = 1;
    std::condition_variable m_released;
    bool m_holdDeliveries = false;
    int m_heldDeliveries = 0;
};

}  // namespace plat
