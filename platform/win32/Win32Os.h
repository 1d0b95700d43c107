// The system on Windows: the version record as the system reports it,
// GetProductInfo looked up at run time, the ANSI code page conversions.
#pragma once

#include "platform/facility/OsInfo.h"

namespace plat {

class Win32Os : public OsInfo {
public:
    OsVersion Version() override;
    bool ProductInfo(DWORD* edition) override;
    bool IsWindows() override { return true; }
    std::string Description() override;
    std::string ComputerName() override;
    std::string ModuleFileName() override;
    bool AnsiToWide(const std::string& in, std::wstring* out) override;
    bool WideToAnsi(const std::wstring& in, std::string* out) override;
    int NativeArchitecture() override;
    std::string AppDataFolder() override;
    bool IsElevated() override;
    bool IsWow64Process() override;
};

}  // namespace plat
