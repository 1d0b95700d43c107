// The Network List Manager does not exist on Linux; the connectivity monitor
// reports that it could not start, and the engine runs without re-sharing.
#pragma once

#include "platform/facility/NetworkListManager.h"

namespace plat {

class LinuxNlm : public NetworkListManager {
public:
    HRESULT Create() override { return static_cast<HRESULT>(0x80040154u); }
    void Release() override {}
    HRESULT Connections(std::vector<NlmConnection>* out) override {
        if (out != nullptr)
            out->clear();
        return kEFail;
    }
    HRESULT AdapterOf(const GUID&, GUID*) override { return kEFail; }
    HRESULT Advise(ConnectivityHandler) override { return kEFail; }
    void Unadvise() override {}
};

}  // namespace plat
