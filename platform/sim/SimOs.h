// The simulated PC's system: version and edition, names, program path, code page.
#pragma once

#include <mutex>
#include <string>

#include "platform/facility/OsInfo.h"

namespace plat {

class SimFaults;

enum class SimWindows {
    XpSp1,
    XpSp2,
    XpSp3,
    Vista,
    Seven,
    SevenStarter,
    Eight,
    EightOne,
    Server2008R2,
    // Windows 10 1809, before the mobile hotspot's no-connections timeout could be set.
    Ten1809,
    Ten,
    Eleven
};

class SimOs : public OsInfo {
public:
    explicit SimOs(SimFaults& faults) : m_faults(faults) {}

    void SetWindows(SimWindows version);
    void SetVersion(const OsVersion& v, bool hasProductInfo, DWORD edition);
    void SetComputerName(const std::string& name);
    void SetModuleFileName(const std::string& path);
    // 936 (Simplified Chinese, GBK: the default, as most of the program's users
    // run), 65001 (UTF-8) or 1252 (Western: characters above U+00FF do not
    // convert). Text the code page cannot carry, either way, does not convert.
    void SetCodePage(unsigned codePage);
    void SetNativeArchitecture(int arch);
    void SetAppDataFolder(const std::string& path);
    // The process token: with administrator rights (as the program's manifest
    // asks for; the default) or without them.
    void SetElevated(bool elevated);
    // A 32-bit process on a 64-bit system (the native architecture is then AMD64).
    void SetWow64Process(bool wow64);

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

private:
    SimFaults& m_faults;
    mutable std::mutex m_lock;
    OsVersion m_version{6, 1, 1, 7601, 1};
    bool m_hasProductInfo = true;
    DWORD m_edition = 0x30;  // PRODUCT_PROFESSIONAL
    std::string m_computerName = "LUMARI-PC";
    std::string m_moduleFileName = "/opt/lumari/Zentavo";
    unsigned m_codePage = 936;
    int m_arch = 9;
    bool m_elevated = true;
    bool m_wow64 = false;
    std::string m_appData = "C:\\Users\\Lumari\\AppData\\Roaming";
};

}  // namespace plat
