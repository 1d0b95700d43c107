#include "LumariConfig.h"

#include <cstring>

#include "ProcessSingleton.h"
#include "ProgramPath.h"
#include "StringConv.h"
#include "platform/text/PathText.h"
#include "platform/vendor/Osmira.h"

namespace {
std::string InDirectory(const char* file) {
    return GetProgramDirectory() + plat::PathText::Separator() + file;
}
}  // namespace

CLumariConfig* CLumariConfig::GetInstance() {
    return ProcessSingleton<CLumariConfig>::Get();
}

CLumariConfig::CLumariConfig()
    : m_ip("192.168.23.1"),
      m_dns("114.114.114.114"),
      m_dbPath(AnsiToWide(InDirectory("lumari.dat"))),
      m_outAddress("8.8.8.8"),
      m_cfgPath(InDirectory("Lumari.cfg")),
      m_macPath(AnsiToWide(InDirectory("mac.dat"))) {}

bool CLumariConfig::ReadKey(const char* key, std::string* out) const {
    char buffer[256];
    std::memset(buffer, 0, sizeof buffer);
    plat::DWORD size = sizeof buffer;
    std::string cfg;
    {
        std::lock_guard<std::mutex> g(m_lock);
        cfg = m_cfgPath;
    }
    if (plat::GetCipherStrVal(cfg.c_str(), key, kSection, buffer, &size) != 0)
        return false;
    buffer[sizeof buffer - 1] = 0;
    *out = buffer;
    return true;
}

void CLumariConfig::Load() {
    std::string value;
    if (ReadKey("WIFI/ip", &value))
        SetIp(value);
    if (ReadKey("WIFI/dns", &value))
        SetDns(value);
    if (ReadKey("WIFI/dbPath", &value)) {
        // The value names a file relative to the program's directory.
        std::wstring path = AnsiToWide(GetProgramDirectory()) + AnsiToWide(value);
        std::lock_guard<std::mutex> g(m_lock);
        m_dbPath = path;
    }
    if (ReadKey("outAddress", &value)) {
        std::lock_guard<std::mutex> g(m_lock);
        m_outAddress = value;
    }
}

bool CLumariConfig::Save() {
    std::string cfg, ip, dns;
    {
        std::lock_guard<std::mutex> g(m_lock);
        cfg = m_cfgPath;
        ip = m_ip;
        dns = m_dns;
    }
    // Each write replaces the whole file or leaves it as it was.
    const bool ipSaved = plat::SetCipherStrVal(cfg.c_str(), "WIFI/ip", kSection, ip.c_str()) == 0;
    const bool dnsSaved =
        plat::SetCipherStrVal(cfg.c_str(), "WIFI/dns", kSection, dns.c_str()) == 0;
    return ipSaved && dnsSaved;
}

std::string CLumariConfig::GetIp() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_ip;
}
void CLumariConfig::SetIp(const std::string& ip) {
    std::lock_guard<std::mutex> g(m_lock);
    m_ip = ip;
}
std::string CLumariConfig::GetDns() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_dns;
}
void CLumariConfig::SetDns(const std::string& dns) {
    std::lock_guard<std::mutex> g(m_lock);
    m_dns = dns;
}
std::wstring CLumariConfig::GetDbPath() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_dbPath;
}
std::string CLumariConfig::GetOutAddress() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_outAddress;
}
std::string CLumariConfig::GetCfgPath() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_cfgPath;
}
void CLumariConfig::SetCfgPath(const std::string& path) {
    std::lock_guard<std::mutex> g(m_lock);
    m_cfgPath = path;
}
std::wstring CLumariConfig::GetMacPath() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_macPath;
}
