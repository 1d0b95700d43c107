// The Network List Manager on Windows (Vista and later): INetworkListManager,
// its connections, and its connection points, through which the system calls
// the advised sinks on threads of its own.
#pragma once

#include "platform/facility/NetworkListManager.h"

namespace plat {

class Win32Nlm : public NetworkList {
public:
    HRESULT CreateNetworkListManager(DWORD clsctx,
                                     std::unique_ptr<NetworkListManager>* out) override;
};

}  // namespace plat
