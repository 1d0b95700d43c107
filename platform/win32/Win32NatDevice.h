// The NAT filter driver's device on Windows: CreateFileA and DeviceIoControl.
#pragma once

#include "platform/facility/NatDevice.h"

namespace plat {

class Win32NatDevice : public NatDevice {
public:
    HANDLE Open(const std::string& deviceName) override;
    void Close(HANDLE device) override;
    BOOL Control(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                 DWORD* returned) override;
};

}  // namespace plat
