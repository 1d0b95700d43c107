// The event sink the Network List Manager calls: the three event interfaces
// in one object, each event forwarded to the slot of the same name of its
// CNetworkConnectivity until Detach. Always answers S_OK.
//
// The system keeps its own reference to the sink and may deliver an event on
// one of its threads at any time, even while (or after) the owner stops
// listening. So the sink never lends out its owner pointer unguarded: an event
// counts itself in under the sink's lock while the owner is set, and Detach
// clears the owner and waits for the events already inside it to return.
#pragma once

#include <condition_variable>
#include <mutex>

#include "platform/facility/NetworkListManager.h"

class CNetworkConnectivity;

class CNetworkEventSink : public plat::NetworkEventSink {
public:
    explicit CNetworkEventSink(CNetworkConnectivity* owner) : m_owner(owner) {}

    // No event reaches the owner once this returns. Must not be called from
    // an event (it would wait for itself).
    void Detach();

    plat::HRESULT ConnectivityChanged(plat::DWORD connectivity) override;
    plat::HRESULT NetworkAdded(const plat::GUID& networkId) override;
    plat::HRESULT NetworkDeleted(const plat::GUID& networkId) override;
    plat::HRESULT NetworkConnectivityChanged(const plat::GUID& networkId,
                                             plat::DWORD connectivity) override;
    plat::HRESULT NetworkPropertyChanged(const plat::GUID& networkId, plat::DWORD flags) override;
    plat::HRESULT NetworkConnectionConnectivityChanged(const plat::GUID& connectionId,
                                                       plat::DWORD connectivity) override;
    plat::HRESULT NetworkConnectionPropertyChanged(const plat::GUID& connectionId,
                                                   plat::DWORD flags) override;

private:
    // Calls `event(owner)` if the owner is still set, counted as in flight.
    template <class Event>
    plat::HRESULT Forward(Event&& event);

    std::mutex m_lock;
    std::condition_variable m_idle;  // m_inFlight reached 0
    CNetworkConnectivity* m_owner;
    int m_inFlight = 0;
};
