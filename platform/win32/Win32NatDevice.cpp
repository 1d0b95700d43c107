#include "Win32NatDevice.h"

#include <windows.h>

#include "platform/winapi/Win32Api.h"

namespace plat {

HANDLE Win32NatDevice::Open(const std::string& deviceName) {
    ::HANDLE h = ::CreateFileA(deviceName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        SetLastError(::GetLastError());
        return nullptr;
    }
    return h;
}

void Win32NatDevice::Close(HANDLE device) {
    if (device != nullptr)
        ::CloseHandle(device);
}

BOOL Win32NatDevice::Control(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out,
                             DWORD outSize, DWORD* returned) {
    ::DWORD n = 0;
    const ::BOOL ok =
        ::DeviceIoControl(device, code, const_cast<void*>(in), inSize, out, outSize, &n, nullptr);
    if (returned != nullptr)
        *returned = n;
    if (ok == 0)
        SetLastError(::GetLastError());
    return ok;
}

}  // namespace plat
