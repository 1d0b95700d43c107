#include "NetworkEventSink.h"

#include "NetworkConnectivity.h"

void CNetworkEventSink::Detach() {
    std::unique_lock<std::mutex> lock(m_lock);
    m_owner = nullptr;
    m_idle.wait(lock, [this] { return m_inFlight == 0; });
}

template <class Event>
plat::HRESULT CNetworkEventSink::Forward(Event&& event) {
    CNetworkConnectivity* owner;
    {
        std::lock_guard<std::mutex> g(m_lock);
        owner = m_owner;
        if (owner == nullptr)
            return plat::kSOk;
        ++m_inFlight;
    }
    struct Leave {
        CNetworkEventSink& sink;
        ~Leave() {
            std::lock_guard<std::mutex> g(sink.m_lock);
            if (--sink.m_inFlight == 0)
                sink.m_idle.notify_all();
        }
    } leave{*this};
    event(*owner);
    return plat::kSOk;
}

plat::HRESULT CNetworkEventSink::ConnectivityChanged(plat::DWORD connectivity) {
    return Forward([&](CNetworkConnectivity& o) { o.ConnectivityChanged(connectivity); });
}

plat::HRESULT CNetworkEventSink::NetworkAdded(const plat::GUID& networkId) {
    return Forward([&](CNetworkConnectivity& o) { o.NetworkAdded(networkId); });
}

plat::HRESULT CNetworkEventSink::NetworkDeleted(const plat::GUID& networkId) {
    return Forward([&](CNetworkConnectivity& o) { o.NetworkDeleted(networkId); });
}

plat::HRESULT CNetworkEventSink::NetworkConnectivityChanged(const plat::GUID& networkId,
                                                            plat::DWORD connectivity) {
    return Forward(
        [&](CNetworkConnectivity& o) { o.NetworkConnectivityChanged(networkId, connectivity); });
}

plat::HRESULT CNetworkEventSink::NetworkPropertyChanged(const plat::GUID& networkId,
                                                        plat::DWORD flags) {
    return Forward([&](CNetworkConnectivity& o) { o.NetworkPropertyChanged(networkId, flags); });
}

plat::HRESULT CNetworkEventSink::NetworkConnectionConnectivityChanged(
    const plat::GUID& connectionId, plat::DWORD connectivity) {
    return Forward([&](CNetworkConnectivity& o) {
        o.NetworkConnectionConnectivityChanged(connectionId, connectivity);
    });
}

plat::HRESULT CNetworkEventSink::NetworkConnectionPropertyChanged(const plat::GUID& connectionId,
                                                                  plat::DWORD flags) {
    return Forward(
        [&](CNetworkConnectivity& o) { o.NetworkConnectionPropertyChanged(connectionId, flags); });
}
