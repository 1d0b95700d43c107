#include "LinuxOs.h"

#include <limits.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/text/TextCodec.h"

namespace plat {

OsVersion LinuxOs::Version() {
    return OsVersion{6, 3, 0, 9600, 1};
}

bool LinuxOs::ProductInfo(DWORD*) {
    return false;
}

std::string LinuxOs::Description() {
    struct utsname u {};
    if (uname(&u) != 0)
        return "Linux";
    return std::string(u.sysname) + " " + u.release + " " + u.machine;
}

std::string LinuxOs::ComputerName() {
    char buf[HOST_NAME_MAX + 1] = {};
    if (gethostname(buf, sizeof buf - 1) != 0)
        return std::string();
    return buf;
}

std::string LinuxOs::ModuleFileName() {
    char buf[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return std::string();
    std::string path(buf, static_cast<std::size_t>(n));
    std::lock_guard<std::mutex> g(m_lock);
    if (m_programFolder.empty())
        return path;
    const std::size_t slash = path.rfind('/');
    return m_programFolder + "/" + (slash == std::string::npos ? path : path.substr(slash + 1));
}

void LinuxOs::SetProgramFolder(const std::string& folder) {
    std::lock_guard<std::mutex> g(m_lock);
    m_programFolder = folder;
    while (m_programFolder.size() > 1 && m_programFolder.back() == '/')
        m_programFolder.pop_back();
}

// The Linux build treats the narrow text of the program as UTF-8.
bool LinuxOs::AnsiToWide(const std::string& in, std::wstring* out) {
    return TextCodec::Utf8ToWide(in, out);
}

bool LinuxOs::WideToAnsi(const std::wstring& in, std::string* out) {
    return TextCodec::WideToUtf8(in, out);
}

// The XDG data folder: $XDG_DATA_HOME, else ~/.local/share.
std::string LinuxOs::AppDataFolder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg != nullptr && *xdg == '/')
        return xdg;
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr && *home != 0 ? home : "/tmp") + "/.local/share";
}

// Root's rights: what the program needs for addresses, NAT and services.
bool LinuxOs::IsElevated() {
    return ::geteuid() == 0;
}

int LinuxOs::NativeArchitecture() {
#if defined(__x86_64__)
    return 9;
#elif defined(__aarch64__)
    return 12;
#else
    return 0;
#endif
}

}  // namespace plat
