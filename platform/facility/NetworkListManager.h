// The Network List Manager: connections with their Internet connectivity, and
// the event that reports a connection's connectivity change.
#pragma once

#include <functional>
#include <vector>

#include "platform/records/WinTypes.h"

namespace plat {

constexpr DWORD kNlmConnectivityIpv4Internet = 0x40;
constexpr DWORD kNlmConnectivityIpv6Internet = 0x400;

struct NlmConnection {
    GUID connectionId{};
    GUID adapterId{};
    bool connectedToInternet = false;
    DWORD connectivity = 0;
    DWORD domainType = 0;
};

class NetworkListManager {
public:
    using ConnectivityHandler = std::function<void(const GUID& connectionId, DWORD connectivity)>;
    virtual ~NetworkListManager() = default;
    virtual HRESULT Create() = 0;
    virtual void Release() = 0;
    virtual HRESULT Connections(std::vector<NlmConnection>* out) = 0;
    // GetNetworkConnection(id)->GetAdapterId.
    virtual HRESULT AdapterOf(const GUID& connectionId, GUID* adapterId) = 0;
    // Advise: events arrive on a thread of the system until Unadvise returns.
    virtual HRESULT Advise(ConnectivityHandler handler) = 0;
    virtual void Unadvise() = 0;
};

}  // namespace plat
