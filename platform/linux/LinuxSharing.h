// Internet Connection Sharing on Linux: the configuration manager can be
// created and answers that sharing is not installed (the share manager then
// uses the NAT path); Linux has no WMI, whose locator class is not registered.
#pragma once

#include "platform/facility/NetSharing.h"
#include "platform/facility/Wmi.h"

namespace plat {

class ComApartments;

class LinuxSharing : public NetSharing {
public:
    explicit LinuxSharing(ComApartments& com) : m_com(com) {}
    HRESULT CreateSharingManager(const GUID& clsid, DWORD clsctx,
                                 std::unique_ptr<NetSharingManager>* out) override;

private:
    ComApartments& m_com;
};

class LinuxWmi : public Wmi {
public:
    HRESULT CreateLocator(DWORD, std::unique_ptr<WbemLocator>* out) override {
        if (out != nullptr)
            out->reset();
        return kRegdbEClassNotReg;
    }
};

}  // namespace plat
