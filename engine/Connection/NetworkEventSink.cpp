#include "NetworkEventSink.h"

#include "NetworkConnectivity.h"

plat::HRESULT CNetworkEventSink::ConnectivityChanged(plat::DWORD connectivity) {
    if (m_owner != nullptr)
        m_owner->ConnectivityChanged(connectivity);
    return plat::kSOk;
}

plat::HRESULT CNetworkEventSink::NetworkAdded(const plat::GUID& networkId) {
    if (m_owner != nullptr)
        m_owner->NetworkAdded(networkId);
    return plat::kSOk;
}

plat::HRESULT CNetworkEventSink::NetworkDeleted(const plat::GUID& networkId) {
    if (m_owner != nullptr)
        m_owner->NetworkDeleted(networkId);
    return plat::kSOk;
}

plat::HRESULT CNetworkEventSink::NetworkConnectivityChanged(const plat::GUID& networkId,
                                                            plat::DWORD connectivity) {
    if (m_owner != nullptr)
        m_owner->NetworkConnectivityChanged(networkId, connectivity);
    return plat::kSOk;
}

plat::HRESULT CNetworkEventSink::NetworkPropertyChanged(const plat::GUID& networkId,
                                                        plat::DWORD flags) {
    if (m_owner != nullptr)
        m_owner->NetworkPropertyChanged(networkId, flags);
    return plat::kSOk;
}

plat::HRESULT CNetworkEventSink::NetworkConnectionConnectivityChanged(
    const plat::GUID& connectionId, plat::DWORD connectivity) {
    if (m_owner != nullptr)
        m_owner->NetworkConnectionConnectivityChanged(connectionId, connectivity);
    return plat::kSOk;
}

plat::HRESULT CNetworkEventSink::NetworkConnectionPropertyChanged(const plat::GUID& connectionId,
                                                                  plat::DWORD flags) {
    if (m_owner != nullptr)
        m_owner->NetworkConnectionPropertyChanged(connectionId, flags);
    return plat::kSOk;
}
