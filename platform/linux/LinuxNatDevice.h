// The NAT filter driver's device on Linux. Until the user-space driver is
// present no device exists, and opening one fails as for a driver that is not
// installed, so the share manager falls back as it would on Windows.
#pragma once

#include "platform/facility/NatDevice.h"
#include "platform/winapi/Win32Api.h"

namespace plat {

class LinuxNatDevice : public NatDevice {
public:
    HANDLE Open(const std::string&) override {
        SetLastError(kErrorFileNotFound);
        return nullptr;
    }
    void Close(HANDLE) override {}
    BOOL Control(HANDLE, DWORD, const void*, DWORD, void*, DWORD, DWORD* returned) override {
        if (returned != nullptr)
            *returned = 0;
        SetLastError(kErrorInvalidHandle);
        return FALSE_;
    }
};

}  // namespace plat
