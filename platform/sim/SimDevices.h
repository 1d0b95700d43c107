// The device table of the simulated PC behind the maker's device library:
// network-class devices, wireless or not, enabled or not, and which of them
// needs a restart after a change.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/vendor/Dunmere.h"

namespace plat {

class SimFaults;
class OsInfo;

struct SimDevice {
    std::string id;
    bool wireless = false;
    bool enabled = true;
    bool needRestart = false;  // reported by enable/disable
    bool canChange = true;     // enable/disable succeed
    GUID interfaceGuid{};      // adapter GUID, GUID_NULL for none
    std::string friendlyName;
    std::string description;
    std::string manufacturer;
    FILETIME driverDate{};
    unsigned version[4] = {0, 0, 0, 0};
    DWORD problem = 0;
    DWORD status = 0;
};

class SimDevices : public Dunmere {
public:
    // With `token`, changing a device (the class installer) needs
    // administrator rights and a process of the system's own width: a 32-bit
    // process on a 64-bit system is refused (ERROR_IN_WOW64).
    explicit SimDevices(SimFaults& faults, OsInfo* token = nullptr)
        : m_faults(faults), m_token(token) {}

    // Told of every change of an adapter that has an interface GUID: present
    // and enabled or disabled, or gone. Called without the table's lock.
    using AdapterListener = std::function<void(const GUID& adapter, bool present, bool enabled)>;
    void OnAdapterChange(AdapterListener listener);

    void Add(const SimDevice& device);
    bool Find(const std::string& id, SimDevice* out) const;
    std::vector<std::string> Calls(const std::string& function) const;  // ids passed, in order
    void ClearCalls();

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

private:
    struct AdapterChange {
        GUID adapter{};
        bool present = false;
        bool enabled = false;
    };
    // The change of `d` to announce, if it is an adapter.
    static std::vector<AdapterChange> ChangeOf(const SimDevice& d, bool present);
    int SetEnabled(const char* function, const char* id, bool enabled, int* needRestart);
    void Announce(const std::vector<AdapterChange>& changes);
    SimDevice* Get(const char* id);
    void Record(const std::string& function, const char* id);
    DWORD CopyText(const std::string& text, char* buffer, DWORD* size);
    // Why the class installer refuses this process; 0 when it does not.
    DWORD Refusal() const;
    SimFaults& m_faults;
    OsInfo* m_token;
    mutable std::mutex m_lock;
    std::vector<SimDevice> m_devices;
    std::map<std::string, std::vector<std::string>> m_calls;
    std::mutex m_listenerLock;
    AdapterListener m_listener;
};

}  // namespace plat
