// The system on Linux. The version test answers as a system of the newest
// supported generation (6.3, workstation); the description names the real
// kernel release.
#pragma once

#include "platform/facility/OsInfo.h"

namespace plat {

class LinuxOs : public OsInfo {
public:
    OsVersion Version() override;
    bool ProductInfo(DWORD* edition) override;
    bool IsWindows() override { return false; }
    std::string Description() override;
    std::string ComputerName() override;
    std::string ModuleFileName() override;
    bool AnsiToWide(const std::string& in, std::wstring* out) override;
    bool WideToAnsi(const std::wstring& in, std::string* out) override;
    int NativeArchitecture() override;
};

}  // namespace plat
