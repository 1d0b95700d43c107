// Switches Windows Internet Connection Sharing on and off for one pair of
// connections: the public one (shared upstream) and the private one (the
// access point's adapter). It drives the HNetCfg configuration manager and,
// when that fails, writes the ICS flags of the connections directly into the
// HomeNet WMI instances. Called under the share manager's lock.
#pragma once

#include <memory>

#include "platform/facility/NetSharing.h"
#include "platform/facility/Wmi.h"

class CIcsShareManager {
public:
    // (Re)creates the sharing manager; false with "ICS Share init failed.".
    bool Init();
    // ICS is installed (the manager must be initialised).
    bool IsSupport();
    bool Enable(const plat::GUID& publicGuid, const plat::GUID& privateGuid);
    bool Disable();
    // Releases the sharing manager object.
    void ReleaseSharingManager();
    bool HasSharingManager() const { return static_cast<bool>(m_sharingManager); }
    bool IsInitialized() const { return m_initialized; }

    // The configuration-manager paths, on the stored GUIDs.
    bool _Enable();
    bool _Disable();
    bool _GetINetSharingManager();
    std::unique_ptr<plat::NetSharingConfiguration> _GetINetSharingCfg(const plat::GUID& guid);

    // The WMI paths: the HResult of the last step performed.
    plat::HRESULT EnableIcsUsingWMI(const plat::GUID& publicGuid, const plat::GUID& privateGuid);
    plat::HRESULT DisableIcsUsingWMI();

private:
    // Connects to the HomeNet namespace and queries its connection instances.
    plat::HRESULT _ConnectWmi(std::unique_ptr<plat::WbemServices>& services,
                              std::unique_ptr<plat::EnumWbemClassObject>& instances);
    // Writes the flags on every instance: with `enable` the public and private
    // connections get theirs, every other instance (and all, without it) false.
    plat::HRESULT _WriteIcsFlags(bool enable, const plat::GUID& publicGuid,
                                 const plat::GUID& privateGuid);

    plat::GUID m_publicGuid = plat::GUID_NULL_;
    plat::GUID m_privateGuid = plat::GUID_NULL_;
    std::unique_ptr<plat::NetSharingManager> m_sharingManager;
    bool m_initialized = false;
};
