#include "LinuxDevices.h"

namespace plat {

DWORD LinuxDevices::EnumDevice(char* buffer, DWORD* size, const GUID*) {
    if (size == nullptr)
        return kErrorInvalidParameter;
    if (buffer == nullptr || *size < 1) {
        *size = 1;
        return kErrorInsufficientBuffer;
    }
    buffer[0] = 0;
    return 0;
}
int LinuxDevices::IsWirelessAdapterById(const char*) {
    return 0;
}
int LinuxDevices::IsDeviceEnable(const char*) {
    return 0;
}
int LinuxDevices::EnableDevice(const char*, int*) {
    return 0;
}
int LinuxDevices::DisableDevice(const char*, int*) {
    return 0;
}
int LinuxDevices::RemoveDevice(const char*, int*) {
    return 0;
}
int LinuxDevices::ReScanDeviceList() {
    return 0;
}
DWORD LinuxDevices::GetAdapterDeviceInstanceId(const GUID*, char*, DWORD*) {
    return kErrorNotSupported;
}
DWORD LinuxDevices::GetDriverFriendlyName(const char*, char*, DWORD*) {
    return kErrorNotSupported;
}
DWORD LinuxDevices::GetDriverDriverDesc(const char*, char*, DWORD*) {
    return kErrorNotSupported;
}
DWORD LinuxDevices::GetDriverManufactory(const char*, char*, DWORD*) {
    return kErrorNotSupported;
}
DWORD LinuxDevices::GetDriverDate(const char*, FILETIME*) {
    return kErrorNotSupported;
}
DWORD LinuxDevices::GetDriverVersion(const char*, unsigned*, unsigned*, unsigned*, unsigned*) {
    return kErrorNotSupported;
}
void LinuxDevices::GetDeviceProblemCode(const char*, DWORD*, DWORD*) {}

}  // namespace plat
