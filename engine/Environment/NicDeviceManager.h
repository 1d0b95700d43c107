// The network-class devices of the PC: which are wireless, and enabling,
// disabling, re-enabling or removing them through the maker's device library.
#pragma once

#include "Common/ProcessSingleton.h"

#include <string>
#include <vector>

#include "platform/records/WinTypes.h"

struct WirelessAdapterInfo {
    std::string deviceId;
    std::string friendlyName;
    std::string driverDesc;
    std::string manufacturer;
    std::string driverDate;     // "%Y-%m-%d"
    std::string driverVersion;  // "%u.%u.%u.%u"
    plat::DWORD status = 0;
    plat::DWORD problemCode = 0;
    int present = 1;
    int enabled = 0;
};

class CNicDeviceManager {
public:
    static CNicDeviceManager* GetInstance();

    bool GetAllAdapters();
    int GetWirelessAdapterCount();
    bool EnableAllWirelessAdapter();
    bool ReEnableWirelessAdapters();
    void EnableVirtualWifiAdapter();
    void DisableVirtualWifiAdapter();
    void RemoveVirtualAdapter();
    void EnableDevice(const plat::GUID& iface);
    void DisableDevice(const plat::GUID& iface);
    std::string GetDeviceIdByGuid(const plat::GUID& iface);
    bool HasWirelessAdapter();
    std::vector<WirelessAdapterInfo> GetWirelessAdapterInfos();

    // The adapter list, in the order the device library gave it.
    std::vector<std::string> Adapters() const { return m_adapters; }
    // The virtual Wi-Fi adapter's device instance id for this Windows version.
    static std::string VirtualWifiAdapterId();

private:
    friend class ProcessSingleton<CNicDeviceManager>;
    CNicDeviceManager() = default;
    // Fills the list when it is empty; false (with the given log texts) when
    // that fails or finds nothing.
    bool EnsureAdapters(const char* enumFailed, const char* noneFound);
    std::vector<std::string> m_adapters;
};
