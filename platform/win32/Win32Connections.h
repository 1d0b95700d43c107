// The connection folder on Windows: INetConnectionManager of the Network
// Connections service, its enumerator and each INetConnection's properties.
#pragma once

#include "platform/facility/ConnectionFolder.h"

namespace plat {

class Win32Connections : public ConnectionFolder {
public:
    HRESULT CreateConnectionManager(DWORD clsctx,
                                    std::unique_ptr<NetConnectionManager>* out) override;
};

}  // namespace plat
