// Internet Connection Sharing's configuration manager (HNetCfg.HNetShare.1):
// INetSharingManager, the collection of every connection with its
// enumerators, the connection properties and INetSharingConfiguration. One
// call per COM step, each with its HRESULT; objects are released when their
// owner lets them go.
#pragma once

#include <memory>
#include <string>

#include "platform/facility/ComRuntime.h"
#include "platform/records/WinTypes.h"

namespace plat {

// SHARINGCONNECTIONTYPE
constexpr int kIcsSharingTypePublic = 0;
constexpr int kIcsSharingTypePrivate = 1;

// CLSID of "HNetCfg.HNetShare.1" ({5C63C1AD-3956-4FF8-8486-40034758315B}).
constexpr GUID kClsidNetSharingManager = {
    0x5C63C1AD, 0x3956, 0x4FF8, {0x84, 0x86, 0x40, 0x03, 0x47, 0x58, 0x31, 0x5B}};

// INetSharingConfiguration of one connection.
class NetSharingConfiguration {
public:
    virtual ~NetSharingConfiguration() = default;
    virtual HRESULT EnableSharing(int sharingType) = 0;
    virtual HRESULT DisableSharing() = 0;
};

// INetConnectionProps
class NetConnectionProps {
public:
    virtual ~NetConnectionProps() = default;
    // The connection's GUID as text (registry form).
    virtual HRESULT get_Guid(std::wstring* guid) = 0;
};

// An INetConnection taken from the collection.
class SharingConnection {
public:
    virtual ~SharingConnection() = default;
};

// One VARIANT fetched from the enumerator (the connection's IDispatch).
class SharingVariant {
public:
    virtual ~SharingVariant() = default;
    // QueryInterface(IID_INetConnection).
    virtual HRESULT QueryNetConnection(std::unique_ptr<SharingConnection>* out) = 0;
};

// IEnumVARIANT over the collection.
class SharingEnumVariant {
public:
    virtual ~SharingEnumVariant() = default;
    virtual HRESULT Reset() = 0;
    // Fetches one element: S_OK with `fetched` 1, S_FALSE with 0 at the end.
    virtual HRESULT Next(std::unique_ptr<SharingVariant>* element, ULONG* fetched) = 0;
};

// The IUnknown that get__NewEnum answers.
class SharingEnumUnknown {
public:
    virtual ~SharingEnumUnknown() = default;
    // QueryInterface(IID_IEnumVARIANT).
    virtual HRESULT QueryEnumVariant(std::unique_ptr<SharingEnumVariant>* out) = 0;
};

// INetSharingEveryConnectionCollection
class SharingEveryConnection {
public:
    virtual ~SharingEveryConnection() = default;
    virtual HRESULT get__NewEnum(std::unique_ptr<SharingEnumUnknown>* out) = 0;
};

// INetSharingManager
class NetSharingManager {
public:
    virtual ~NetSharingManager() = default;
    virtual HRESULT get_SharingInstalled(VARIANT_BOOL* installed) = 0;
    virtual HRESULT get_EnumEveryConnection(std::unique_ptr<SharingEveryConnection>* out) = 0;
    // A null `out` with S_OK is possible, as with the system's own object.
    virtual HRESULT get_NetConnectionProps(SharingConnection& connection,
                                           std::unique_ptr<NetConnectionProps>* out) = 0;
    virtual HRESULT get_INetSharingConfigurationForINetConnection(
        SharingConnection& connection, std::unique_ptr<NetSharingConfiguration>* out) = 0;
};

class NetSharing {
public:
    virtual ~NetSharing() = default;
    // CoCreateInstance(clsid, clsctx, IID_INetSharingManager).
    virtual HRESULT CreateSharingManager(const GUID& clsid, DWORD clsctx,
                                         std::unique_ptr<NetSharingManager>* out) = 0;
};

}  // namespace plat
