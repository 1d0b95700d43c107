#include "LinuxNlm.h"

#include "LinuxConnectivityMonitor.h"
#include "platform/common/ComApartments.h"

namespace plat {

namespace {

constexpr HRESULT kNotFound = static_cast<HRESULT>(0x80070490u);  // ERROR_NOT_FOUND

class LinuxNetworkConnection : public NetworkConnection {
public:
    explicit LinuxNetworkConnection(const LinuxNlmConnection& c) : m_c(c) {}
    HRESULT GetConnectionId(GUID* id) override { return Answer(id, m_c.connectionId); }
    HRESULT GetAdapterId(GUID* id) override { return Answer(id, m_c.adapterId); }
    HRESULT get_IsConnectedToInternet(VARIANT_BOOL* connected) override {
        const bool internet =
            (m_c.connectivity & (kNlmConnectivityIpv4Internet | kNlmConnectivityIpv6Internet)) != 0;
        return Answer(connected, internet ? kVariantTrue : kVariantFalse);
    }
    HRESULT GetConnectivity(DWORD* connectivity) override {
        return Answer(connectivity, m_c.connectivity);
    }
    HRESULT GetDomainType(DWORD* domainType) override {
        return Answer(domainType, kNlmDomainTypeNonDomainNetwork);
    }

private:
    template <class T>
    static HRESULT Answer(T* out, T value) {
        if (out == nullptr)
            return kEPointer;
        *out = value;
        return kSOk;
    }
    LinuxNlmConnection m_c;
};

class LinuxEnumNetworkConnections : public EnumNetworkConnections {
public:
    explicit LinuxEnumNetworkConnections(std::vector<LinuxNlmConnection> list)
        : m_list(std::move(list)) {}
    HRESULT Next(std::unique_ptr<NetworkConnection>* connection, ULONG* fetched) override {
        if (connection == nullptr)
            return kEPointer;
        connection->reset();
        if (fetched != nullptr)
            *fetched = 0;
        if (m_next >= m_list.size())
            return kSFalse;
        *connection = std::make_unique<LinuxNetworkConnection>(m_list[m_next++]);
        if (fetched != nullptr)
            *fetched = 1;
        return kSOk;
    }

private:
    std::vector<LinuxNlmConnection> m_list;
    std::size_t m_next = 0;
};

class LinuxConnectionPoint : public ConnectionPoint {
public:
    LinuxConnectionPoint(std::shared_ptr<LinuxConnectivityMonitor> monitor, const GUID& iid)
        : m_monitor(std::move(monitor)), m_iid(iid) {}
    HRESULT Advise(std::shared_ptr<NetworkEventSink> sink, DWORD* cookie) override {
        return m_monitor->Advise(m_iid, std::move(sink), cookie);
    }
    HRESULT Unadvise(DWORD cookie) override { return m_monitor->Unadvise(m_iid, cookie); }

private:
    std::shared_ptr<LinuxConnectivityMonitor> m_monitor;
    GUID m_iid;
};

class LinuxConnectionPointContainer : public ConnectionPointContainer {
public:
    explicit LinuxConnectionPointContainer(std::shared_ptr<LinuxConnectivityMonitor> monitor)
        : m_monitor(std::move(monitor)) {}
    HRESULT FindConnectionPoint(const GUID& iid, std::unique_ptr<ConnectionPoint>* out) override {
        if (out == nullptr)
            return kEPointer;
        out->reset();
        if (iid != kIidNetworkListManagerEvents && iid != kIidNetworkEvents &&
            iid != kIidNetworkConnectionEvents)
            return static_cast<HRESULT>(0x80040200u);  // CONNECT_E_NOCONNECTION
        *out = std::make_unique<LinuxConnectionPoint>(m_monitor, iid);
        return kSOk;
    }

private:
    std::shared_ptr<LinuxConnectivityMonitor> m_monitor;
};

class LinuxNetworkListManager : public NetworkListManager {
public:
    explicit LinuxNetworkListManager(std::shared_ptr<LinuxConnectivityMonitor> monitor)
        : m_monitor(std::move(monitor)) {}
    HRESULT GetNetworkConnections(std::unique_ptr<EnumNetworkConnections>* out) override {
        if (out == nullptr)
            return kEPointer;
        *out = std::make_unique<LinuxEnumNetworkConnections>(LinuxConnectivityMonitor::Current());
        return kSOk;
    }
    HRESULT GetNetworkConnection(const GUID& connectionId,
                                 std::unique_ptr<NetworkConnection>* out) override {
        if (out == nullptr)
            return kEPointer;
        out->reset();
        for (const auto& c : LinuxConnectivityMonitor::Current()) {
            if (c.connectionId == connectionId) {
                *out = std::make_unique<LinuxNetworkConnection>(c);
                return kSOk;
            }
        }
        return kNotFound;
    }
    HRESULT QueryConnectionPointContainer(std::unique_ptr<ConnectionPointContainer>* out) override {
        if (out == nullptr)
            return kEPointer;
        *out = std::make_unique<LinuxConnectionPointContainer>(m_monitor);
        return kSOk;
    }

private:
    std::shared_ptr<LinuxConnectivityMonitor> m_monitor;
};

}  // namespace

LinuxNlm::LinuxNlm(ComApartments& com)
    : m_com(com), m_monitor(std::make_shared<LinuxConnectivityMonitor>()) {}

LinuxNlm::~LinuxNlm() = default;

HRESULT LinuxNlm::CreateNetworkListManager(DWORD clsctx, std::unique_ptr<NetworkListManager>* out) {
    if (out == nullptr)
        return kEPointer;
    out->reset();
    if ((clsctx & (kClsctxInprocServer | kClsctxLocalServer)) == 0)
        return kRegdbEClassNotReg;
    if (!m_com.InApartment())
        return kCoENotInitialized;
    *out = std::make_unique<LinuxNetworkListManager>(m_monitor);
    return kSOk;
}

}  // namespace plat
