#include "LinuxSession.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "../Backend.h"
#include "../Platform.h"

namespace plat {

LinuxSession::~LinuxSession() {
    for (auto& [name, fd] : m_lockFds)
        close(fd);
}

DWORD LinuxSession::Shutdown(bool force) {
    const ProcessResult r = Platform::Current().Processes().Run(force ? "systemctl poweroff --force"
                                                                      : "systemctl poweroff");
    if (!r.started)
        return r.error;
    return r.exitCode == 0 ? 0 : kErrorAccessDenied;
}

void LinuxSession::KeepAwake(bool) {
    // Sleep on Linux is governed by logind inhibitor locks held by the desktop;
    // nothing to set per thread.
}

std::string LinuxSession::AutostartFile(const std::string& name) {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    std::string base = xdg != nullptr && *xdg != 0 ? xdg
                       : home != nullptr           ? std::string(home) + "/.config"
                                                   : "/tmp";
    return base + "/autostart/" + name + ".desktop";
}

DWORD LinuxSession::SetRunAtLogon(const std::string& name, const std::string& command, bool on) {
    const std::string file = AutostartFile(name);
    std::error_code ec;
    if (!on) {
        std::filesystem::remove(file, ec);
        return 0;
    }
    std::filesystem::create_directories(std::filesystem::path(file).parent_path(), ec);
    std::ofstream out(file, std::ios::trunc);
    if (!out)
        return kErrorAccessDenied;
    out << "[Desktop Entry]\nType=Application\nName=" << name << "\nExec=" << command << "\n";
    return out ? 0 : kErrorAccessDenied;
}

bool LinuxSession::IsRunAtLogon(const std::string& name) {
    std::error_code ec;
    return std::filesystem::exists(AutostartFile(name), ec);
}

bool LinuxSession::AcquireInstanceLock(const std::string& name) {
    std::lock_guard<std::mutex> g(m_lock);
    if (m_lockFds.count(name) != 0)
        return false;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string file =
        std::string(runtime != nullptr ? runtime : "/tmp") + "/" + name + ".lock";
    const int fd = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    m_lockFds[name] = fd;
    return true;
}

HRESULT LinuxSession::AddFirewallException(const std::wstring&, const std::wstring&) {
    return kENotImpl;
}

}  // namespace plat
