#include "AdapterConnections.h"

#include "platform/Backend.h"
#include "platform/Platform.h"

namespace plat {

HRESULT AdapterConnections::Enumerate(std::vector<NetconProperties>* out) {
    if (out == nullptr)
        return kEPointer;
    out->clear();
    std::vector<AdapterInfo> adapters;
    const DWORD e = Platform::Current().Net().Adapters(&adapters);
    if (e != 0)
        return HresultFromWin32(e);
    for (const auto& a : adapters) {
        if (a.ifType == kIfTypeLoopback)
            continue;
        NetconProperties p;
        p.guidId = a.guid;
        p.name = a.friendlyName;
        p.deviceName = a.description;
        p.status = a.up ? 2 : 0;  // NCS_CONNECTED or NCS_DISCONNECTED
        // NCM_PHONE for PPP links, NCM_TUNNEL for tunnels, NCM_LAN otherwise.
        p.mediaType = a.ifType == kIfTypePpp ? 4 : a.ifType == kIfTypeTunnel ? 5 : 3;
        out->push_back(p);
    }
    return kSOk;
}

}  // namespace plat
