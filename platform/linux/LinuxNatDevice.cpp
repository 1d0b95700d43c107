#include "LinuxNatDevice.h"

#include <cctype>

#include "platform/records/NatRecords.h"
#include "platform/winapi/Win32Api.h"

namespace plat {

namespace {

// "\\.\SOLVANEWFP" and "\\.\SOLVANE", in any case.
bool IsDriverName(const std::string& name) {
    if (name.rfind("\\\\.\\", 0) != 0)
        return false;
    std::string n = name.substr(4);
    for (auto& c : n)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return n == "SOLVANEWFP" || n == "SOLVANE";
}

}  // namespace

HANDLE LinuxNatDevice::Open(const std::string& deviceName) {
    if (!IsDriverName(deviceName)) {
        SetLastError(kErrorFileNotFound);
        return nullptr;
    }
    if (const DWORD e = m_driver.Start()) {
        SetLastError(e);
        return nullptr;
    }
    std::lock_guard<std::mutex> g(m_lock);
    HANDLE h = reinterpret_cast<HANDLE>(m_next++);
    m_open.insert(h);
    return h;
}

void LinuxNatDevice::Close(HANDLE device) {
    std::lock_guard<std::mutex> g(m_lock);
    m_open.erase(device);
}

BOOL LinuxNatDevice::Control(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out,
                             DWORD outSize, DWORD* returned) {
    {
        std::lock_guard<std::mutex> g(m_lock);
        if (m_open.count(device) == 0) {
            if (returned != nullptr)
                *returned = 0;
            SetLastError(kErrorInvalidHandle);
            return FALSE_;
        }
    }
    return m_driver.Control(code, in, inSize, out, outSize, returned);
}

}  // namespace plat
