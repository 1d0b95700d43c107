// The Network List Manager: the PC's network connections with their
// connectivity, and the connection points through which it delivers its
// events (INetworkListManagerEvents, INetworkEvents, INetworkConnectionEvents)
// on threads of its own. One call per COM step, each with its HRESULT;
// objects are released when their owner lets them go.
#pragma once

#include <memory>

#include "platform/facility/ComRuntime.h"
#include "platform/records/WinTypes.h"

namespace plat {

// NLM_CONNECTIVITY
constexpr DWORD kNlmConnectivityDisconnected = 0;
constexpr DWORD kNlmConnectivityIpv4NoTraffic = 0x1;
constexpr DWORD kNlmConnectivityIpv6NoTraffic = 0x2;
constexpr DWORD kNlmConnectivityIpv4LocalNetwork = 0x20;
constexpr DWORD kNlmConnectivityIpv4Internet = 0x40;
constexpr DWORD kNlmConnectivityIpv6LocalNetwork = 0x200;
constexpr DWORD kNlmConnectivityIpv6Internet = 0x400;

// NLM_DOMAIN_TYPE
constexpr DWORD kNlmDomainTypeNonDomainNetwork = 0;

// NLM_ENUM_NETWORK
constexpr DWORD kNlmEnumNetworkConnected = 0x1;

// Interface ids of the three event interfaces.
constexpr GUID kIidNetworkListManagerEvents = {
    0xDCB00001, 0x570F, 0x4A9B, {0x8D, 0x69, 0x19, 0x9F, 0xDB, 0xA5, 0x72, 0x3B}};
constexpr GUID kIidNetworkEvents = {
    0xDCB00004, 0x570F, 0x4A9B, {0x8D, 0x69, 0x19, 0x9F, 0xDB, 0xA5, 0x72, 0x3B}};
constexpr GUID kIidNetworkConnectionEvents = {
    0xDCB00007, 0x570F, 0x4A9B, {0x8D, 0x69, 0x19, 0x9F, 0xDB, 0xA5, 0x72, 0x3B}};

// INetworkConnection
class NetworkConnection {
public:
    virtual ~NetworkConnection() = default;
    virtual HRESULT GetConnectionId(GUID* id) = 0;
    virtual HRESULT GetAdapterId(GUID* id) = 0;
    virtual HRESULT get_IsConnectedToInternet(VARIANT_BOOL* connected) = 0;
    virtual HRESULT GetConnectivity(DWORD* connectivity) = 0;
    virtual HRESULT GetDomainType(DWORD* domainType) = 0;
};

// IEnumNetworkConnections
class EnumNetworkConnections {
public:
    virtual ~EnumNetworkConnections() = default;
    // Fetches one connection: S_OK with `fetched` 1, S_FALSE with 0 at the end.
    virtual HRESULT Next(std::unique_ptr<NetworkConnection>* connection, ULONG* fetched) = 0;
};

// The three event interfaces in one sink, methods in their vtable order.
class NetworkEventSink {
public:
    virtual ~NetworkEventSink() = default;
    // INetworkListManagerEvents
    virtual HRESULT ConnectivityChanged(DWORD connectivity) = 0;
    // INetworkEvents
    virtual HRESULT NetworkAdded(const GUID& networkId) = 0;
    virtual HRESULT NetworkDeleted(const GUID& networkId) = 0;
    virtual HRESULT NetworkConnectivityChanged(const GUID& networkId, DWORD connectivity) = 0;
    virtual HRESULT NetworkPropertyChanged(const GUID& networkId, DWORD flags) = 0;
    // INetworkConnectionEvents
    virtual HRESULT NetworkConnectionConnectivityChanged(const GUID& connectionId,
                                                         DWORD connectivity) = 0;
    virtual HRESULT NetworkConnectionPropertyChanged(const GUID& connectionId, DWORD flags) = 0;
};

// IConnectionPoint of one event interface.
class ConnectionPoint {
public:
    virtual ~ConnectionPoint() = default;
    // The connection point keeps the sink until Unadvise.
    virtual HRESULT Advise(std::shared_ptr<NetworkEventSink> sink, DWORD* cookie) = 0;
    // No event of this subscription starts after Unadvise returned.
    virtual HRESULT Unadvise(DWORD cookie) = 0;
};

// IConnectionPointContainer
class ConnectionPointContainer {
public:
    virtual ~ConnectionPointContainer() = default;
    virtual HRESULT FindConnectionPoint(const GUID& iid, std::unique_ptr<ConnectionPoint>* out) = 0;
};

// INetworkListManager
class NetworkListManager {
public:
    virtual ~NetworkListManager() = default;
    virtual HRESULT GetNetworkConnections(std::unique_ptr<EnumNetworkConnections>* out) = 0;
    virtual HRESULT GetNetworkConnection(const GUID& connectionId,
                                         std::unique_ptr<NetworkConnection>* out) = 0;
    // QueryInterface(IID_IConnectionPointContainer).
    virtual HRESULT QueryConnectionPointContainer(
        std::unique_ptr<ConnectionPointContainer>* out) = 0;
};

class NetworkList {
public:
    virtual ~NetworkList() = default;
    // CoCreateInstance(CLSID_NetworkListManager, clsctx, IID_INetworkListManager).
    virtual HRESULT CreateNetworkListManager(DWORD clsctx,
                                             std::unique_ptr<NetworkListManager>* out) = 0;
};

}  // namespace plat
