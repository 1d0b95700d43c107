// What the running system is: version and edition, computer name, program path
// and the thread's ANSI code page conversions.
#pragma once

#include <string>

#include "platform/records/WinTypes.h"

namespace plat {

struct OsVersion {
    DWORD major = 0;
    DWORD minor = 0;
    DWORD servicePackMajor = 0;
    DWORD build = 0;
    // VER_NT_WORKSTATION (1), VER_NT_DOMAIN_CONTROLLER (2), VER_NT_SERVER (3)
    BYTE productType = 1;
};

class OsInfo {
public:
    virtual ~OsInfo() = default;
    // The version record the system reports (VerifyVersionInfoW compares against it).
    virtual OsVersion Version() = 0;
    // GetProductInfo: false when the function does not exist on this system.
    virtual bool ProductInfo(DWORD* edition) = 0;
    // Whether the version record is that of a real or simulated Windows; false on
    // Linux, whose record only answers the version test.
    virtual bool IsWindows() = 0;
    // A human description of the real system (the kernel release on Linux).
    virtual std::string Description() = 0;
    virtual std::string ComputerName() = 0;
    // Full path of the running executable (GetModuleFileNameA).
    virtual std::string ModuleFileName() = 0;
    // Conversions with the thread's ANSI code page. False on text that the code
    // page cannot represent.
    virtual bool AnsiToWide(const std::string& in, std::wstring* out) = 0;
    virtual bool WideToAnsi(const std::wstring& in, std::string* out) = 0;
    // Native processor architecture (PROCESSOR_ARCHITECTURE_*): 9 AMD64, 0 x86.
    virtual int NativeArchitecture() = 0;
    // The user's application-data folder (CSIDL_APPDATA on Windows), in UTF-8.
    virtual std::string AppDataFolder() = 0;
    // Whether this process holds administrator rights (an elevated token on
    // Windows). Without them the system refuses the program's writes: the
    // machine-wide Run key, the firewall, sharing, addresses, services and
    // devices.
    virtual bool IsElevated() = 0;
    // Whether this is a 32-bit process on a 64-bit Windows (IsWow64Process).
    // Such a process cannot change devices: the class installer refuses it
    // with ERROR_IN_WOW64.
    virtual bool IsWow64Process() = 0;
};

}  // namespace plat
