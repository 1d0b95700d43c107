// The event sink the Network List Manager calls: the three event interfaces
// in one object, each event forwarded to the slot of the same name of its
// CNetworkConnectivity while that pointer is set. Always answers S_OK.
#pragma once

#include "platform/facility/NetworkListManager.h"

class CNetworkConnectivity;

class CNetworkEventSink : public plat::NetworkEventSink {
public:
    explicit CNetworkEventSink(CNetworkConnectivity* owner) : m_owner(owner) {}

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
    CNetworkConnectivity* m_owner;
};
