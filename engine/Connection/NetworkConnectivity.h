// Tells the engine when a network connection of the PC gains or loses IPv4
// Internet connectivity. It keeps a snapshot of the Network List Manager's
// connections and listens to its events on a thread of its own, which
// subscribes a CNetworkEventSink to the three event interfaces until Stop.
// Events arrive on the system's threads; the callback runs there and must
// hand its work to the engine or lock the engine's state itself. Stop waits
// for the callbacks already running, so it must not be called from the
// callback, nor while holding anything the callback waits for.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/facility/NetworkListManager.h"

class CNetworkEventSink;

class CNetworkConnectivity {
public:
    // (adapter GUID, internet flag): the flag is non-zero when the connection
    // has IPv4 Internet access.
    using Callback = std::function<void(const plat::GUID& adapter, plat::DWORD internet)>;

    struct Connection {
        plat::GUID connectionId{};
        plat::GUID adapterId{};  // the connection GUID of the connection manager
        bool connectedToInternet = false;
        plat::DWORD connectivity = 0;  // NLM_CONNECTIVITY
        plat::DWORD domainType = 0;
    };

    CNetworkConnectivity() = default;
    virtual ~CNetworkConnectivity();
    CNetworkConnectivity(const CNetworkConnectivity&) = delete;
    CNetworkConnectivity& operator=(const CNetworkConnectivity&) = delete;

    // Creates the Network List Manager, reads the snapshot and starts the
    // listening thread; false when the manager cannot be created.
    bool Init(Callback callback);
    void Stop();
    // Re-reads the snapshot; true when the connections could be enumerated.
    bool RefreshConnectionTable();
    // A copy of the snapshot.
    std::vector<Connection> Connections() const;
    // The subscription to connection events succeeded.
    bool EventsAdvised() const { return m_eventsAdvised; }

    // The events of the three interfaces, in their order; only the change of a
    // connection's connectivity is handled.
    virtual plat::HRESULT ConnectivityChanged(plat::DWORD connectivity);
    virtual plat::HRESULT NetworkAdded(const plat::GUID& networkId);
    virtual plat::HRESULT NetworkDeleted(const plat::GUID& networkId);
    virtual plat::HRESULT NetworkConnectivityChanged(const plat::GUID& networkId,
                                                     plat::DWORD connectivity);
    virtual plat::HRESULT NetworkPropertyChanged(const plat::GUID& networkId, plat::DWORD flags);
    virtual plat::HRESULT NetworkConnectionConnectivityChanged(const plat::GUID& connectionId,
                                                               plat::DWORD connectivity);
    virtual plat::HRESULT NetworkConnectionPropertyChanged(const plat::GUID& connectionId,
                                                           plat::DWORD flags);

private:
    void _ListenProc();
    std::shared_ptr<plat::NetworkListManager> Manager() const;

    mutable std::mutex m_lock;  // the manager, the snapshot and the callback
    std::shared_ptr<plat::NetworkListManager> m_nlm;
    std::vector<Connection> m_connections;
    Callback m_callback;
    std::atomic<bool> m_eventsAdvised{false};
    // The sink the system holds; detached at Stop, so that an event it
    // delivers late finds no owner.
    std::shared_ptr<CNetworkEventSink> m_sink;

    std::mutex m_stopLock;
    std::condition_variable m_stopSignal;
    bool m_stopRequested = false;
    std::thread m_thread;
};
