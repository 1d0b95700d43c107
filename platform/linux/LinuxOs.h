// The system on Linux. The version test answers as a system of the newest
// supported generation (6.3, workstation); the description names the real
// kernel release.
//
// The program's folder (where the engine keeps its settings, database and
// log, beside the program on Windows) is the executable's folder, unless a
// program sets another: a service keeps its files in a state folder.
#pragma once

#include <mutex>
#include <string>

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
    std::string AppDataFolder() override;
    bool IsElevated() override;
    bool IsWow64Process() override { return false; }

    // ModuleFileName answers the executable's name in `folder` from now on.
    void SetProgramFolder(const std::string& folder);

private:
    std::mutex m_lock;
    std::string m_programFolder;
};

}  // namespace plat
