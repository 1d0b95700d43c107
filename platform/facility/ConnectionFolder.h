// The connection folder (INetConnectionManager): the PC's network
// connections, each with its properties record (name, device, status, media
// type), named by its GUID. One call per COM step, each with its HRESULT;
// objects are released when their owner lets them go.
#pragma once

#include <memory>

#include "platform/records/NetconTypes.h"

namespace plat {

// NETCONMGR_ENUM_FLAGS
constexpr DWORD kNcmeDefault = 0;

// INetConnection
class NetConnection {
public:
    virtual ~NetConnection() = default;
    // A properties record the caller frees with netshell's NcFreeNetconProperties.
    virtual HRESULT GetProperties(NETCON_PROPERTIES** properties) = 0;
};

// IEnumNetConnection
class EnumNetConnection {
public:
    virtual ~EnumNetConnection() = default;
    // Fetches one connection: S_OK with `fetched` 1, S_FALSE with 0 at the end.
    virtual HRESULT Next(std::unique_ptr<NetConnection>* connection, ULONG* fetched) = 0;
};

// INetConnectionManager
class NetConnectionManager {
public:
    virtual ~NetConnectionManager() = default;
    virtual HRESULT EnumConnections(DWORD flags, std::unique_ptr<EnumNetConnection>* out) = 0;
};

class ConnectionFolder {
public:
    virtual ~ConnectionFolder() = default;
    // CoCreateInstance(CLSID_ConnectionManager, clsctx, IID_INetConnectionManager).
    virtual HRESULT CreateConnectionManager(DWORD clsctx,
                                            std::unique_ptr<NetConnectionManager>* out) = 0;
};

}  // namespace plat
