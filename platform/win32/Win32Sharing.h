// Internet Connection Sharing on Windows: the HNetCfg configuration manager
// (INetSharingManager and the objects it hands out), and WMI through
// IWbemLocator and IWbemServices.
#pragma once

#include "platform/facility/NetSharing.h"
#include "platform/facility/Wmi.h"

namespace plat {

class Win32Sharing : public NetSharing {
public:
    HRESULT CreateSharingManager(const GUID& clsid, DWORD clsctx,
                                 std::unique_ptr<NetSharingManager>* out) override;
};

class Win32Wmi : public Wmi {
public:
    HRESULT CreateLocator(DWORD clsctx, std::unique_ptr<WbemLocator>* out) override;
};

}  // namespace plat
