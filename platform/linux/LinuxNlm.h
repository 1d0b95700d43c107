// The Network List Manager on Linux. Until the connectivity monitor exists
// its class is not registered, and the engine runs without re-sharing.
#pragma once

#include "platform/facility/NetworkListManager.h"

namespace plat {

class LinuxNlm : public NetworkList {
public:
    HRESULT CreateNetworkListManager(DWORD, std::unique_ptr<NetworkListManager>* out) override {
        if (out != nullptr)
            out->reset();
        return kRegdbEClassNotReg;
    }
};

}  // namespace plat
