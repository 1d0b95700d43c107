// The device library's functions, answered by the installed backend.
#include "platform/Backend.h"
#include "platform/Platform.h"

namespace plat {

namespace dunmere {
static Dunmere& D() {
    return Platform::Current().Devices();
}
DWORD EnumDevice(char* buffer, DWORD* size, const GUID* classGuid) {
    return D().EnumDevice(buffer, size, classGuid);
}
int IsWirelessAdapterById(const char* id) {
    return D().IsWirelessAdapterById(id);
}
int IsDeviceEnable(const char* id) {
    return D().IsDeviceEnable(id);
}
int EnableDevice(const char* id, int* needRestart) {
    return D().EnableDevice(id, needRestart);
}
int DisableDevice(const char* id, int* needRestart) {
    return D().DisableDevice(id, needRestart);
}
int RemoveDevice(const char* id, int* needRestart) {
    return D().RemoveDevice(id, needRestart);
}
int ReScanDeviceList() {
    return D().ReScanDeviceList();
}
DWORD GetAdapterDeviceInstanceId(const GUID* iface, char* buffer, DWORD* size) {
    return D().GetAdapterDeviceInstanceId(iface, buffer, size);
}
DWORD GetDriverFriendlyName(const char* id, char* buffer, DWORD* size) {
    return D().GetDriverFriendlyName(id, buffer, size);
}
DWORD GetDriverDriverDesc(const char* id, char* buffer, DWORD* size) {
    return D().GetDriverDriverDesc(id, buffer, size);
}
DWORD GetDriverManufactory(const char* id, char* buffer, DWORD* size) {
    return D().GetDriverManufactory(id, buffer, size);
}
DWORD GetDriverDate(const char* id, FILETIME* date) {
    return D().GetDriverDate(id, date);
}
DWORD GetDriverVersion(const char* id, unsigned* a, unsigned* b, unsigned* c, unsigned* d) {
    return D().GetDriverVersion(id, a, b, c, d);
}
void GetDeviceProblemCode(const char* id, DWORD* problem, DWORD* status) {
    D().GetDeviceProblemCode(id, problem, status);
}
}  // namespace dunmere

}  // namespace plat
