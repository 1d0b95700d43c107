// Internet Connection Sharing as the library drives it: the configuration
// manager of ICS, and the HomeNet WMI flags of one connection when the manager
// refuses a side. It offers no peers, limits or removal (E_NOTIMPL). Its
// diagnostics go to the debugger output.
#pragma once

#include <memory>

#include "ShareInterface.h"
#include "platform/facility/NetSharing.h"

namespace sorvane {

class CIcsShareManager : public CShareInterface {
public:
    // Makes the sharing manager anew; S_OK, or S_FALSE when it cannot be made.
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

    void SetInitialized(bool initialized) { m_initialized = initialized; }
    bool Initialized() const { return m_initialized; }
    bool Shared() const { return m_shared; }

private:
    bool GetSharingManager();
    // The configuration object of the connection whose GUID text matches.
    std::unique_ptr<plat::NetSharingConfiguration> SharingConfiguration(
        const plat::GUID& connection);
    // Sets `property` ("IsIcsPublic" or "IsIcsPrivate") on the HomeNet
    // instance of `connection` and clears it on every other instance.
    plat::HRESULT SetWmiFlag(const plat::GUID& connection, const char* property);

    plat::GUID m_public = plat::GUID_NULL_;
    plat::GUID m_private = plat::GUID_NULL_;
    std::unique_ptr<plat::NetSharingManager> m_manager;
    bool m_initialized = false;
    bool m_shared = false;
};

}  // namespace sorvane
