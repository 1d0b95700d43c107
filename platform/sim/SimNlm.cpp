#include "SimNlm.h"

#include <thread>

#include "SimCom.h"
#include "SimFaults.h"
#include "SimNetwork.h"
#include "SimOs.h"
#include "platform/text/GuidText.h"

namespace plat {

namespace {

bool IsEventInterface(const GUID& iid) {
    return iid == kIidNetworkListManagerEvents || iid == kIidNetworkEvents ||
           iid == kIidNetworkConnectionEvents;
}

class SimNetworkConnection : public NetworkConnection, private SimComObject {
public:
    SimNetworkConnection(SimNlm& nlm, const SimNlmConnection& c)
        : SimComObject(nlm.Com()), m_nlm(nlm), m_c(c) {}
    HRESULT GetConnectionId(GUID* id) override {
        return Answer("GetConnectionId", id, m_c.connectionId);
    }
    HRESULT GetAdapterId(GUID* id) override { return Answer("GetAdapterId", id, m_c.adapterId); }
    HRESULT get_IsConnectedToInternet(VARIANT_BOOL* connected) override {
        const bool internet =
            (m_c.connectivity & (kNlmConnectivityIpv4Internet | kNlmConnectivityIpv6Internet)) != 0;
        return Answer("get_IsConnectedToInternet", connected,
                      internet ? kVariantTrue : kVariantFalse);
    }
    HRESULT GetConnectivity(DWORD* connectivity) override {
        return Answer("GetConnectivity", connectivity, m_c.connectivity);
    }
    HRESULT GetDomainType(DWORD* domainType) override {
        return Answer("GetDomainType", domainType, kNlmDomainTypeNonDomainNetwork);
    }

private:
    template <class T>
    HRESULT Answer(const char* hook, T* out, T value) {
        if (out == nullptr)
            return kEPointer;
        if (auto f = m_nlm.Faults().Take(hook))
            return static_cast<HRESULT>(*f);
        *out = value;
        return kSOk;
    }
    SimNlm& m_nlm;
    SimNlmConnection m_c;
};

class SimEnumNetworkConnections : public EnumNetworkConnections, private SimComObject {
public:
    SimEnumNetworkConnections(SimNlm& nlm, std::vector<SimNlmConnection> list)
        : SimComObject(nlm.Com()), m_nlm(nlm), m_list(std::move(list)) {}
    HRESULT Next(std::unique_ptr<NetworkConnection>* connection, ULONG* fetched) override {
        if (connection == nullptr)
            return kEPointer;
        connection->reset();
        if (fetched != nullptr)
            *fetched = 0;
        if (auto f = m_nlm.Faults().Take("IEnumNetworkConnections::Next"))
            return static_cast<HRESULT>(*f);
        if (m_next >= m_list.size())
            return kSFalse;
        *connection = std::make_unique<SimNetworkConnection>(m_nlm, m_list[m_next++]);
        if (fetched != nullptr)
            *fetched = 1;
        return kSOk;
    }

private:
    SimNlm& m_nlm;
    std::vector<SimNlmConnection> m_list;
    std::size_t m_next = 0;
};

class SimConnectionPoint : public ConnectionPoint, private SimComObject {
public:
    SimConnectionPoint(SimNlm& nlm, const GUID& iid)
        : SimComObject(nlm.Com()), m_nlm(nlm), m_iid(iid) {}
    HRESULT Advise(std::shared_ptr<NetworkEventSink> sink, DWORD* cookie) override {
        if (auto f = m_nlm.Faults().Take("Advise"))
            return static_cast<HRESULT>(*f);
        return m_nlm.Advise(m_iid, std::move(sink), cookie);
    }
    HRESULT Unadvise(DWORD cookie) override {
        if (auto f = m_nlm.Faults().Take("Unadvise"))
            return static_cast<HRESULT>(*f);
        return m_nlm.Unadvise(m_iid, cookie);
    }

private:
    SimNlm& m_nlm;
    GUID m_iid;
};

class SimConnectionPointContainer : public ConnectionPointContainer, private SimComObject {
public:
    explicit SimConnectionPointContainer(SimNlm& nlm) : SimComObject(nlm.Com()), m_nlm(nlm) {}
    HRESULT FindConnectionPoint(const GUID& iid, std::unique_ptr<ConnectionPoint>* out) override {
        if (out == nullptr)
            return kEPointer;
        out->reset();
        if (auto f = m_nlm.Faults().Take("FindConnectionPoint"))
            return static_cast<HRESULT>(*f);
        if (!IsEventInterface(iid))
            return static_cast<HRESULT>(0x80040200u);  // CONNECT_E_NOCONNECTION
        *out = std::make_unique<SimConnectionPoint>(m_nlm, iid);
        return kSOk;
    }

private:
    SimNlm& m_nlm;
};

class SimNetworkListManager : public NetworkListManager, private SimComObject {
public:
    explicit SimNetworkListManager(SimNlm& nlm) : SimComObject(nlm.Com()), m_nlm(nlm) {}
    HRESULT GetNetworkConnections(std::unique_ptr<EnumNetworkConnections>* out) override {
        if (out == nullptr)
            return kEPointer;
        out->reset();
        if (auto f = m_nlm.Faults().Take("GetNetworkConnections"))
            return static_cast<HRESULT>(*f);
        *out = std::make_unique<SimEnumNetworkConnections>(m_nlm, m_nlm.Current());
        return kSOk;
    }
    HRESULT GetNetworkConnection(const GUID& connectionId,
                                 std::unique_ptr<NetworkConnection>* out) override {
        if (out == nullptr)
            return kEPointer;
        out->reset();
        if (auto f = m_nlm.Faults().Take("GetNetworkConnection"))
            return static_cast<HRESULT>(*f);
        SimNlmConnection c;
        if (!m_nlm.Find(connectionId, &c))
            return static_cast<HRESULT>(0x80070490u);  // HRESULT_FROM_WIN32(ERROR_NOT_FOUND)
        *out = std::make_unique<SimNetworkConnection>(m_nlm, c);
        return kSOk;
    }
    HRESULT QueryConnectionPointContainer(std::unique_ptr<ConnectionPointContainer>* out) override {
        if (out == nullptr)
            return kEPointer;
        out->reset();
        if (auto f = m_nlm.Faults().Take("QueryInterface(IConnectionPointContainer)"))
            return static_cast<HRESULT>(*f);
        *out = std::make_unique<SimConnectionPointContainer>(m_nlm);
        return kSOk;
    }

private:
    SimNlm& m_nlm;
};

}  // namespace

SimNlm::SimNlm(SimFaults& faults, SimCom& com, SimNetwork& network, SimOs& os)
    : m_faults(faults), m_com(com), m_network(network), m_os(os) {}

GUID SimNlm::ConnectionIdOf(const GUID& adapter) {
    return GuidText::FromName("nlm-connection:" + GuidText::ToString(adapter));
}

void SimNlm::SetConnectivity(const GUID& adapter, DWORD connectivity) {
    std::lock_guard<std::mutex> g(m_lock);
    m_connectivity[adapter] = connectivity;
    m_forgotten.erase(adapter);
}

void SimNlm::Forget(const GUID& adapter) {
    std::lock_guard<std::mutex> g(m_lock);
    m_forgotten.insert(adapter);
}

std::vector<SimNlmConnection> SimNlm::Current() const {
    std::vector<AdapterInfo> adapters;
    m_network.Snapshot(&adapters);
    std::lock_guard<std::mutex> g(m_lock);
    std::vector<SimNlmConnection> out;
    for (const auto& a : adapters) {
        if (a.ifType == kIfTypeLoopback || !a.up || m_forgotten.count(a.guid) != 0)
            continue;
        SimNlmConnection c;
        c.adapterId = a.guid;
        c.connectionId = ConnectionIdOf(a.guid);
        if (auto it = m_connectivity.find(a.guid); it != m_connectivity.end())
            c.connectivity = it->second;
        else if (!a.gateway.empty())
            c.connectivity = kNlmConnectivityIpv4Internet;
        else if (!a.ipv4.empty())
            c.connectivity = kNlmConnectivityIpv4LocalNetwork;
        else
            c.connectivity = kNlmConnectivityIpv4NoTraffic;
        out.push_back(c);
    }
    return out;
}

bool SimNlm::Find(const GUID& connectionId, SimNlmConnection* out) const {
    for (const auto& c : Current()) {
        if (c.connectionId == connectionId) {
            if (out != nullptr)
                *out = c;
            return true;
        }
    }
    return false;
}

HRESULT SimNlm::Advise(const GUID& iid, std::shared_ptr<NetworkEventSink> sink, DWORD* cookie) {
    if (!sink || cookie == nullptr)
        return kEPointer;
    std::lock_guard<std::mutex> g(m_lock);
    *cookie = m_nextCookie++;
    m_sinks[iid][*cookie] = std::move(sink);
    return kSOk;
}

HRESULT SimNlm::Unadvise(const GUID& iid, DWORD cookie) {
    std::lock_guard<std::mutex> g(m_lock);
    auto it = m_sinks.find(iid);
    if (it == m_sinks.end() || it->second.erase(cookie) == 0)
        return static_cast<HRESULT>(0x80040200u);  // CONNECT_E_NOCONNECTION
    return kSOk;
}

int SimNlm::Subscriptions(const GUID& iid) const {
    std::lock_guard<std::mutex> g(m_lock);
    auto it = m_sinks.find(iid);
    return it == m_sinks.end() ? 0 : static_cast<int>(it->second.size());
}

void SimNlm::Raise(const GUID& iid, const std::function<void(NetworkEventSink&)>& event) {
    std::vector<std::shared_ptr<NetworkEventSink>> sinks;
    {
        std::lock_guard<std::mutex> g(m_lock);
        if (auto it = m_sinks.find(iid); it != m_sinks.end())
            for (const auto& [cookie, sink] : it->second)
                sinks.push_back(sink);
    }
    // COM calls the sinks on a thread of its own, and does not wait for an
    // Unadvise that comes meanwhile.
    std::thread delivery([this, &sinks, &event] {
        {
            std::unique_lock<std::mutex> lock(m_lock);
            ++m_heldDeliveries;
            m_released.wait(lock, [this] { return !m_holdDeliveries; });
            --m_heldDeliveries;
        }
        for (auto& sink : sinks)
            event(*sink);
    });
    delivery.join();
}

void SimNlm::HoldDeliveries() {
    std::lock_guard<std::mutex> g(m_lock);
    m_holdDeliveries = true;
}

void SimNlm::ReleaseDeliveries() {
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_holdDeliveries = false;
    }
    m_released.notify_all();
}

int SimNlm::HeldDeliveries() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_heldDeliveries;
}

void SimNlm::RaiseConnectionConnectivityChanged(const GUID& connectionId, DWORD connectivity) {
    Raise(kIidNetworkConnectionEvents, [&](NetworkEventSink& sink) {
        sink.NetworkConnectionConnectivityChanged(connectionId, connectivity);
    });
}

HRESULT SimNlm::CreateNetworkListManager(DWORD clsctx, std::unique_ptr<NetworkListManager>* out) {
    if (out == nullptr)
        return kEPointer;
    out->reset();
    if (auto f = m_faults.Take("CoCreateInstance(NetworkListManager)"))
        return static_cast<HRESULT>(*f);
    if ((clsctx & (kClsctxInprocServer | kClsctxLocalServer)) == 0 || m_os.Version().major < 6)
        return kRegdbEClassNotReg;
    if (const HRESULT hr = m_com.CanCreate(); hr != kSOk)
        return hr;
    *out = std::make_unique<SimNetworkListManager>(*this);
    return kSOk;
}

}  // namespace plat
