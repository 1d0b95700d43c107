// The maker's device library: the network-class devices of the system, and
// enabling, disabling and removing them. The free functions are what the
// engine calls; each backend implements the `Dunmere` interface behind them.
#pragma once

#include "platform/records/WinTypes.h"

namespace plat {

// {4D36E972-E325-11CE-BFC1-08002BE10318}: the network adapter device class.
constexpr GUID kNetClassGuid = {
    0x4D36E972, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

class Dunmere {
public:
    virtual ~Dunmere() = default;
    virtual DWORD EnumDevice(char* buffer, DWORD* size, const GUID* classGuid) = 0;
    virtual int IsWirelessAdapterById(const char* id) = 0;
    virtual int IsDeviceEnable(const char* id) = 0;
    virtual int EnableDevice(const char* id, int* needRestart) = 0;
    virtual int DisableDevice(const char* id, int* needRestart) = 0;
    virtual int RemoveDevice(const char* id, int* needRestart) = 0;
    virtual int ReScanDeviceList() = 0;
    virtual DWORD GetAdapterDeviceInstanceId(const GUID* iface, char* buffer, DWORD* size) = 0;
    virtual DWORD GetDriverFriendlyName(const char* id, char* buffer, DWORD* size) = 0;
    virtual DWORD GetDriverDriverDesc(const char* id, char* buffer, DWORD* size) = 0;
    virtual DWORD GetDriverManufactory(const char* id, char* buffer, DWORD* size) = 0;
    virtual DWORD GetDriverDate(const char* id, FILETIME* date) = 0;
    virtual DWORD GetDriverVersion(const char* id, unsigned* a, unsigned* b, unsigned* c,
                                   unsigned* d) = 0;
    virtual void GetDeviceProblemCode(const char* id, DWORD* problem, DWORD* status) = 0;
};

namespace dunmere {
DWORD EnumDevice(char* buffer, DWORD* size, const GUID* classGuid);
int IsWirelessAdapterById(const char* id);
int IsDeviceEnable(const char* id);
int EnableDevice(const char* id, int* needRestart);
int DisableDevice(const char* id, int* needRestart);
int RemoveDevice(const char* id, int* needRestart);
int ReScanDeviceList();
DWORD GetAdapterDeviceInstanceId(const GUID* iface, char* buffer, DWORD* size);
DWORD GetDriverFriendlyName(const char* id, char* buffer, DWORD* size);
DWORD GetDriverDriverDesc(const char* id, char* buffer, DWORD* size);
DWORD GetDriverManufactory(const char* id, char* buffer, DWORD* size);
DWORD GetDriverDate(const char* id, FILETIME* date);
DWORD GetDriverVersion(const char* id, unsigned* a, unsigned* b, unsigned* c, unsigned* d);
void GetDeviceProblemCode(const char* id, DWORD* problem, DWORD* status);
}  // namespace dunmere

}  // namespace plat
