// The engine's settings kept between runs: hotspot address, DNS list, client
// database and manufacturer table locations, and the address used to find the
// upstream adapter. A process-wide object created on first use.
#pragma once

#include <mutex>
#include <string>

class CLumariConfig {
public:
    static CLumariConfig* GetInstance();

    CLumariConfig();

    // Reads the settings file; a missing file or key leaves the value in force.
    void Load();
    // Writes ip and dns; always true.
    bool Save();

    std::string GetIp() const;
    void SetIp(const std::string& ip);
    std::string GetDns() const;
    void SetDns(const std::string& dns);
    std::wstring GetDbPath() const;
    std::string GetOutAddress() const;
    std::string GetCfgPath() const;
    void SetCfgPath(const std::string& path);
    std::wstring GetMacPath() const;

    static constexpr const char* kSection = "Zentavo";

private:
    // Reads one key into `out`; false leaves `out` as it was.
    bool ReadKey(const char* key, std::string* out) const;

    mutable std::mutex m_lock;
    std::string m_ip;
    std::string m_dns;
    std::wstring m_dbPath;
    std::string m_outAddress;
    std::string m_cfgPath;
    std::wstring m_macPath;
};
