// The connection folder (INetConnectionManager): names, media types and status
// of the network connections, each named by its GUID.
#pragma once

#include <string>
#include <vector>

#include "platform/records/WinTypes.h"

namespace plat {

// NETCON_PROPERTIES as the engine reads it.
struct NetconProperties {
    GUID guidId{};
    std::wstring name;
    std::wstring deviceName;
    DWORD status = 0;     // NETCON_STATUS: 2 connected
    DWORD mediaType = 0;  // NETCON_MEDIATYPE: 4 phone, 5 tunnel, 6 PPPoE
};

class ConnectionFolder {
public:
    virtual ~ConnectionFolder() = default;
    // EnumConnections + GetProperties of each. HRESULT.
    virtual HRESULT Enumerate(std::vector<NetconProperties>* out) = 0;
    // Whether netshell.dll's NcFreeNetconProperties can be bound (HRESULT of the binding).
    virtual HRESULT BindFreeProperties() = 0;
};

}  // namespace plat
