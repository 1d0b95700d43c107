// Internet Connection Sharing on Windows. The HNetCfg and WMI COM clients are
// not part of this build yet: every call reports the class as not registered,
// so the share manager uses the NAT driver, as on a system without ICS.
#pragma once

#include "platform/facility/IcsConfig.h"

namespace plat {

class Win32Ics : public IcsConfig {
public:
    static constexpr HRESULT kClassNotRegistered = static_cast<HRESULT>(0x80040154u);
    HRESULT CreateSharingManager() override { return kClassNotRegistered; }
    void ReleaseSharingManager() override {}
    HRESULT SharingInstalled(bool* installed) override {
        if (installed != nullptr)
            *installed = false;
        return kClassNotRegistered;
    }
    HRESULT EveryConnection(std::vector<GUID>* out) override {
        if (out != nullptr)
            out->clear();
        return kClassNotRegistered;
    }
    bool HasConfiguration(const GUID&) override { return false; }
    HRESULT EnableSharing(const GUID&, int) override { return kClassNotRegistered; }
    HRESULT DisableSharing(const GUID&) override { return kClassNotRegistered; }
    HRESULT QueryHomeNet(std::vector<HomeNetConnection>* out) override {
        if (out != nullptr)
            out->clear();
        return kClassNotRegistered;
    }
    HRESULT PutHomeNet(const HomeNetConnection&) override { return kClassNotRegistered; }
    HRESULT EnableStatic(const std::string&, const std::string&, const std::string&) override {
        return kClassNotRegistered;
    }
    HRESULT SetGateways(const std::string&, const std::string&) override {
        return kClassNotRegistered;
    }
    HRESULT EnableDhcp(const std::string&) override { return kClassNotRegistered; }
};

}  // namespace plat
