// One way of sharing, as the library's exports drive it: ICS or the NAT
// driver. The slots are in the order the library has always called them.
#pragma once

#include <vector>

#include "Sorvane.h"

namespace sorvane {

class CShareInterface {
public:
    virtual ~CShareInterface() = default;
    virtual plat::HRESULT Init() = 0;
    virtual void Release() = 0;
    virtual plat::HRESULT IsSupport(int* supported) = 0;
    virtual plat::HRESULT IsSharingEnable(const plat::GUID& connection, int* enabled) = 0;
    virtual plat::HRESULT GetSharingType(const plat::GUID& connection, SHARINGTYPE* type) = 0;
    virtual plat::HRESULT SetPublic(const plat::GUID& connection) = 0;
    virtual plat::HRESULT SetPrivate(const plat::GUID& connection) = 0;
    virtual plat::HRESULT EnableShare() = 0;
    virtual plat::HRESULT DisableShare() = 0;
    virtual plat::HRESULT SetSpeedLimited(const char* mac, int allowed, int upLimit,
                                          int downLimit) = 0;
    virtual plat::HRESULT GetPeers(std::vector<plat::PEER_INFO>& peers) = 0;
    virtual plat::HRESULT RemovePeers(const char* mac) = 0;
};

}  // namespace sorvane
