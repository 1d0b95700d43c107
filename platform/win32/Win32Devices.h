// Network-class devices on Windows through SetupAPI, behind the maker's
// device-library interface.
#pragma once

#include "platform/vendor/Dunmere.h"

namespace plat {

class Win32Devices : public Dunmere {
public:
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
};

}  // namespace plat
