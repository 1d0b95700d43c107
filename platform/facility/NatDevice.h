// The NAT filter driver's device: opened by name and driven by control codes
// that carry the driver protocol's byte layouts. The backend only moves bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/records/WinTypes.h"

namespace plat {

class NatDevice {
public:
    virtual ~NatDevice() = default;
    // CreateFileA on "\\.\NAME"; null and the last error on failure.
    virtual HANDLE Open(const std::string& deviceName) = 0;
    virtual void Close(HANDLE device) = 0;
    // DeviceIoControl; TRUE (1) on success with the returned byte count.
    virtual BOOL Control(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out,
                         DWORD outSize, DWORD* returned) = 0;
};

}  // namespace plat
