// The NAT driver as the library drives it: unlike the program, every request
// opens the NDIS build's device "\\.\SOLVANE", sends one request and closes
// the handle again, and the driver's diagnostics go to the debugger output.
#pragma once

#include "ShareInterface.h"

namespace sorvane {

class CShareDriver : public CShareInterface {
public:
    ~CShareDriver() override;

    plat::HRESULT Init() override;
    void Release() override;
    plat::HRESULT IsSupport(int* supported) override;
    plat::HRESULT IsSharingEnable(const plat::GUID& connection, int* enabled) override;
    plat::HRESULT GetSharingType(const plat::GUID& connection, SHARINGTYPE* type) override;
    plat::HRESULT SetPublic(const plat::GUID& connection) override;
    plat::HRESULT SetPrivate(const plat::GUID& connection) override;
    plat::HRESULT EnableShare() override;
    plat::HRESULT DisableShare() override;
    plat::HRESULT SetSpeedLimited(const char* mac, int allowed, int upLimit,
                                  int downLimit) override;
    plat::HRESULT GetPeers(std::vector<plat::PEER_INFO>& peers) override;
    plat::HRESULT RemovePeers(const char* mac) override;

    bool Shared() const { return m_shared != 0; }

private:
    // Opens the device, sends one request, closes it. S_OK, E_FAIL when the
    // driver refused the request, E_HANDLE when the device did not open.
    plat::HRESULT Request(plat::DWORD code, const void* in, plat::DWORD inSize, void* out,
                          plat::DWORD outSize, plat::DWORD* returned);
    void CloseDevice();

    plat::GUID m_public = plat::GUID_NULL_;
    plat::GUID m_private = plat::GUID_NULL_;
    int m_shared = 0;
    plat::HANDLE m_device = nullptr;
};

}  // namespace sorvane
