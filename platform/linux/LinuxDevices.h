// Network devices on Linux, behind the maker's device-library interface. A
// device is a network interface of the calling thread's network namespace,
// named by its kernel name; it is wireless when the kernel lists it as such
// in sysfs ("wireless" or "phy80211"), enabled when its link is up. Enabling
// and disabling set the link up or down; removing deletes the link (only
// virtual links can be deleted). The interface GUID is the one derived from
// the name (GuidText::FromName), as everywhere in the Linux backend.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/vendor/Dunmere.h"

namespace plat {

class LinuxDevices : public Dunmere {
public:
    // `sysfsNet` is where the kernel lists the interfaces.
    explicit LinuxDevices(std::string sysfsNet = "/sys/class/net");

    DWORD EnumDevice(char* buffer, DWORD* size, const GUID* classGuid) override;
    int IsWirelessAdapterById(const char* id) override;
    int IsDeviceEnable(const char* id) override;
    int EnableDevice(const char* id, int* needRestart) override;
    int DisableDevice(const char* id, int* needRestart) override;
    int RemoveDevice(const char* id, int* needRestart) override;
    int ReScanDeviceList() override;
    DWORD GetAdapterDeviceInstanceId(const GUID* iface, char* buffer, DWORD* size) override;
    DWORD GetDriverFriendlyName(const char* id, char* buffer, DWORD* size) override;
    DWORD GetDriverDriverDesc(const char* id, char* buffer, DWORD* size) override;
    DWORD GetDriverManufactory(const char* id, char* buffer, DWORD* size) override;
    DWORD GetDriverDate(const char* id, FILETIME* date) override;
    DWORD GetDriverVersion(const char* id, unsigned* a, unsigned* b, unsigned* c,
                           unsigned* d) override;
    void GetDeviceProblemCode(const char* id, DWORD* problem, DWORD* status) override;

    // A wireless link other than the one this returns (the access point's)
    // is never set down: on Windows restarting every wireless adapter is a
    // recovery step, on Linux it would drop the upstream Wi-Fi connection.
    void SetAccessPointLink(std::function<std::string()> link) {
        m_accessPointLink = std::move(link);
    }

    // Windows device-node status bits and the problem code of a disabled device.
    static constexpr DWORD kDnDriverLoaded = 0x00000002;
    static constexpr DWORD kDnStarted = 0x00000008;
    static constexpr DWORD kProblemDisabled = 22;

private:
    // Interface names of the namespace, loopback left out, in index order.
    std::vector<std::string> Interfaces() const;
    bool Exists(const char* id) const;
    // Reads the link flags; false when the interface does not exist.
    bool Flags(const char* id, short* flags) const;
    int SetUp(const char* id, bool up, int* needRestart);
    // The driver's name and version as ethtool reports them.
    bool DriverInfo(const char* id, std::string* driver, std::string* version) const;
    std::string SysfsText(const std::string& id, const std::string& file) const;

    std::string m_sysfsNet;
    std::function<std::string()> m_accessPointLink;
};

}  // namespace plat
