// Internet Connection Sharing: the configuration manager (INetSharingManager,
// INetSharingConfiguration) and the HomeNet WMI instances
// (HNet_ConnectionProperties) through which the ICS flags can be written directly.
#pragma once

#include <string>
#include <vector>

#include "platform/records/WinTypes.h"

namespace plat {

constexpr int kIcsSharingTypePublic = 0;
constexpr int kIcsSharingTypePrivate = 1;

// One HNet_ConnectionProperties instance.
struct HomeNetConnection {
    std::string connection;  // reference text carrying the GUID in braces
    bool isBridge = false;
    bool isBridgeMember = false;
    bool isFirewalled = false;
    bool isIcsPublic = false;
    bool isIcsPrivate = false;
};

class IcsConfig {
public:
    virtual ~IcsConfig() = default;
    // CoCreateInstance of HNetCfg.HNetShare.1.
    virtual HRESULT CreateSharingManager() = 0;
    virtual void ReleaseSharingManager() = 0;
    // get_SharingInstalled.
    virtual HRESULT SharingInstalled(bool* installed) = 0;
    // GUIDs of the connections of get_EnumEveryConnection, in order.
    virtual HRESULT EveryConnection(std::vector<GUID>* out) = 0;
    // INetSharingConfiguration of a connection: whether one can be obtained.
    virtual bool HasConfiguration(const GUID& connection) = 0;
    virtual HRESULT EnableSharing(const GUID& connection, int sharingType) = 0;
    virtual HRESULT DisableSharing(const GUID& connection) = 0;

    // WMI namespace root\Microsoft\HomeNet.
    virtual HRESULT QueryHomeNet(std::vector<HomeNetConnection>* out) = 0;
    virtual HRESULT PutHomeNet(const HomeNetConnection& instance) = 0;

    // WMI ROOT\CIMV2 Win32_NetworkAdapterConfiguration, instance by SettingID.
    virtual HRESULT EnableStatic(const std::string& settingId, const std::string& ip,
                                 const std::string& mask) = 0;
    virtual HRESULT SetGateways(const std::string& settingId, const std::string& gateway) = 0;
    virtual HRESULT EnableDhcp(const std::string& settingId) = 0;
};

}  // namespace plat
