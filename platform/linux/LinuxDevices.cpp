#include "LinuxDevices.h"

#include <linux/ethtool.h>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <fstream>

#include "platform/text/GuidText.h"

namespace plat {

namespace {

// Owns a socket descriptor.
class Socket {
public:
    Socket(int domain, int type, int protocol)
        : m_fd(socket(domain, type | SOCK_CLOEXEC, protocol)) {}
    ~Socket() {
        if (m_fd >= 0)
            close(m_fd);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    bool Ok() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }

private:
    int m_fd;
};

// An interface name the kernel could have: short enough for ifreq and without
// path separators (it is also used to build sysfs paths).
bool ValidName(const char* id) {
    if (id == nullptr || id[0] == 0)
        return false;
    const std::size_t n = std::strlen(id);
    if (n >= IFNAMSIZ)
        return false;
    if (std::strcmp(id, ".") == 0 || std::strcmp(id, "..") == 0)
        return false;
    for (std::size_t i = 0; i < n; ++i)
        if (id[i] == '/' || std::isspace(static_cast<unsigned char>(id[i])))
            return false;
    return true;
}

void FillIfreq(ifreq* req, const char* id) {
    std::memset(req, 0, sizeof *req);
    std::memcpy(req->ifr_name, id, std::strlen(id));
}

DWORD CopyText(const std::string& text, char* buffer, DWORD* size) {
    if (size == nullptr)
        return kErrorInvalidParameter;
    const DWORD needed = static_cast<DWORD>(text.size() + 1);
    if (buffer == nullptr || *size < needed) {
        *size = needed;
        return kErrorInsufficientBuffer;
    }
    std::memcpy(buffer, text.c_str(), needed);
    *size = needed;
    return 0;
}

bool PathExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

}  // namespace

LinuxDevices::LinuxDevices(std::string sysfsNet) : m_sysfsNet(std::move(sysfsNet)) {}

std::vector<std::string> LinuxDevices::Interfaces() const {
    std::vector<std::string> out;
    struct if_nameindex* list = if_nameindex();
    if (list == nullptr)
        return out;
    for (struct if_nameindex* i = list; i->if_index != 0 && i->if_name != nullptr; ++i) {
        short flags = 0;
        if (Flags(i->if_name, &flags) && (flags & IFF_LOOPBACK) != 0)
            continue;
        out.emplace_back(i->if_name);
    }
    if_freenameindex(list);
    return out;
}

bool LinuxDevices::Exists(const char* id) const {
    return ValidName(id) && if_nametoindex(id) != 0;
}

bool LinuxDevices::Flags(const char* id, short* flags) const {
    if (!ValidName(id))
        return false;
    Socket s(AF_INET, SOCK_DGRAM, 0);
    if (!s.Ok())
        return false;
    ifreq req;
    FillIfreq(&req, id);
    if (ioctl(s.Fd(), SIOCGIFFLAGS, &req) != 0)
        return false;
    *flags = req.ifr_flags;
    return true;
}

std::string LinuxDevices::SysfsText(const std::string& id, const std::string& file) const {
    std::ifstream in(m_sysfsNet + "/" + id + "/" + file);
    std::string line;
    if (!in || !std::getline(in, line))
        return std::string();
    while (!line.empty() && (line.back() == '\n' || line.back() == ' '))
        line.pop_back();
    return line;
}

DWORD LinuxDevices::EnumDevice(char* buffer, DWORD* size, const GUID* classGuid) {
    if (size == nullptr || classGuid == nullptr)
        return kErrorInvalidParameter;
    std::string all;
    // Only the network adapter class has members here.
    if (*classGuid == kNetClassGuid) {
        for (const auto& name : Interfaces()) {
            all += name;
            all.push_back('\0');
        }
    }
    all.push_back('\0');
    if (buffer == nullptr || *size < all.size()) {
        *size = static_cast<DWORD>(all.size());
        return kErrorInsufficientBuffer;
    }
    std::memcpy(buffer, all.data(), all.size());
    *size = static_cast<DWORD>(all.size());
    return 0;
}

int LinuxDevices::IsWirelessAdapterById(const char* id) {
    if (!Exists(id))
        return 0;
    const std::string dir = m_sysfsNet + "/" + id;
    return PathExists(dir + "/wireless") || PathExists(dir + "/phy80211") ? 1 : 0;
}

int LinuxDevices::IsDeviceEnable(const char* id) {
    short flags = 0;
    return Flags(id, &flags) && (flags & IFF_UP) != 0 ? 1 : 0;
}

int LinuxDevices::SetUp(const char* id, bool up, int* needRestart) {
    if (needRestart != nullptr)
        *needRestart = 0;
    if (!ValidName(id))
        return 0;
    Socket s(AF_INET, SOCK_DGRAM, 0);
    if (!s.Ok())
        return 0;
    ifreq req;
    FillIfreq(&req, id);
    if (ioctl(s.Fd(), SIOCGIFFLAGS, &req) != 0)
        return 0;
    if (up)
        req.ifr_flags = static_cast<short>(req.ifr_flags | IFF_UP);
    else
        req.ifr_flags = static_cast<short>(req.ifr_flags & ~IFF_UP);
    return ioctl(s.Fd(), SIOCSIFFLAGS, &req) == 0 ? 1 : 0;
}

int LinuxDevices::EnableDevice(const char* id, int* needRestart) {
    return SetUp(id, true, needRestart);
}

int LinuxDevices::DisableDevice(const char* id, int* needRestart) {
    if (m_accessPointLink && IsWirelessAdapterById(id) != 0 && m_accessPointLink() != id) {
        if (needRestart != nullptr)
            *needRestart = 0;
        return 0;  // refused: not the access point's link
    }
    return SetUp(id, false, needRestart);
}

int LinuxDevices::RemoveDevice(const char* id, int* needRestart) {
    if (needRestart != nullptr)
        *needRestart = 0;
    if (!Exists(id))
        return 0;
    const unsigned index = if_nametoindex(id);
    Socket s(AF_NETLINK, SOCK_RAW, NETLINK_ROUTE);
    if (!s.Ok())
        return 0;
    struct {
        nlmsghdr header;
        ifinfomsg info;
    } request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof(ifinfomsg));
    request.header.nlmsg_type = RTM_DELLINK;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_ACK;
    request.header.nlmsg_seq = 1;
    request.info.ifi_family = AF_UNSPEC;
    request.info.ifi_index = static_cast<int>(index);
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (sendto(s.Fd(), &request, request.header.nlmsg_len, 0, reinterpret_cast<sockaddr*>(&kernel),
               sizeof kernel) < 0)
        return 0;
    // The acknowledgement is an error message whose code is 0 on success.
    alignas(nlmsghdr) char reply[1024];
    const ssize_t n = recv(s.Fd(), reply, sizeof reply, 0);
    if (n < static_cast<ssize_t>(NLMSG_LENGTH(sizeof(nlmsgerr))))
        return 0;
    const auto* header = reinterpret_cast<const nlmsghdr*>(reply);
    if (header->nlmsg_type != NLMSG_ERROR)
        return 0;
    const auto* error = reinterpret_cast<const nlmsgerr*>(NLMSG_DATA(header));
    return error->error == 0 ? 1 : 0;
}

int LinuxDevices::ReScanDeviceList() {
    // The kernel's interface list is always current: there is nothing to rescan.
    return 1;
}

DWORD LinuxDevices::GetAdapterDeviceInstanceId(const GUID* iface, char* buffer, DWORD* size) {
    if (iface == nullptr || size == nullptr)
        return kErrorInvalidParameter;
    for (const auto& name : Interfaces())
        if (GuidText::FromName(name) == *iface)
            return CopyText(name, buffer, size);
    return kErrorFileNotFound;
}

DWORD LinuxDevices::GetDriverFriendlyName(const char* id, char* buffer, DWORD* size) {
    if (!Exists(id))
        return kErrorFileNotFound;
    // The interface's alias when one is set, else its name.
    const std::string alias = SysfsText(id, "ifalias");
    return CopyText(alias.empty() ? std::string(id) : alias, buffer, size);
}

bool LinuxDevices::DriverInfo(const char* id, std::string* driver, std::string* version) const {
    if (!ValidName(id))
        return false;
    Socket s(AF_INET, SOCK_DGRAM, 0);
    if (!s.Ok())
        return false;
    ethtool_drvinfo info{};
    info.cmd = ETHTOOL_GDRVINFO;
    ifreq req;
    FillIfreq(&req, id);
    req.ifr_data = reinterpret_cast<char*>(&info);
    if (ioctl(s.Fd(), SIOCETHTOOL, &req) != 0)
        return false;
    info.driver[sizeof info.driver - 1] = 0;
    info.version[sizeof info.version - 1] = 0;
    if (driver != nullptr)
        *driver = info.driver;
    if (version != nullptr)
        *version = info.version;
    return true;
}

DWORD LinuxDevices::GetDriverDriverDesc(const char* id, char* buffer, DWORD* size) {
    if (!Exists(id))
        return kErrorFileNotFound;
    std::string driver;
    if (!DriverInfo(id, &driver, nullptr) || driver.empty())
        return kErrorNotSupported;
    return CopyText(driver, buffer, size);
}

DWORD LinuxDevices::GetDriverManufactory(const char* id, char* buffer, DWORD* size) {
    if (!Exists(id))
        return kErrorFileNotFound;
    // Bus devices name their maker by vendor id; virtual links have none.
    const std::string vendor = SysfsText(id, "device/vendor");
    if (vendor.empty())
        return kErrorNotSupported;
    return CopyText(vendor, buffer, size);
}

DWORD LinuxDevices::GetDriverDate(const char* id, FILETIME* date) {
    if (!Exists(id) || date == nullptr)
        return kErrorFileNotFound;
    // Linux drivers carry no date.
    return kErrorNotSupported;
}

DWORD LinuxDevices::GetDriverVersion(const char* id, unsigned* a, unsigned* b, unsigned* c,
                                     unsigned* d) {
    if (!Exists(id))
        return kErrorFileNotFound;
    if (a == nullptr || b == nullptr || c == nullptr || d == nullptr)
        return kErrorInvalidParameter;
    std::string version;
    if (!DriverInfo(id, nullptr, &version))
        return kErrorNotSupported;
    // Up to four numbers of the driver's version text ("1.0", "5.15.0-91").
    unsigned parts[4] = {0, 0, 0, 0};
    int found = 0;
    std::size_t i = 0;
    while (i < version.size() && found < 4) {
        if (!std::isdigit(static_cast<unsigned char>(version[i]))) {
            ++i;
            continue;
        }
        unsigned value = 0;
        while (i < version.size() && std::isdigit(static_cast<unsigned char>(version[i]))) {
            if (value < 100000000u)
                value = value * 10 + static_cast<unsigned>(version[i] - '0');
            ++i;
        }
        parts[found++] = value;
    }
    if (found == 0)
        return kErrorNotSupported;
    *a = parts[0];
    *b = parts[1];
    *c = parts[2];
    *d = parts[3];
    return 0;
}

void LinuxDevices::GetDeviceProblemCode(const char* id, DWORD* problem, DWORD* status) {
    short flags = 0;
    if (!Flags(id, &flags))
        return;
    const bool up = (flags & IFF_UP) != 0;
    if (problem != nullptr)
        *problem = up ? 0 : kProblemDisabled;
    if (status != nullptr)
        *status = kDnDriverLoaded | (up ? kDnStarted : 0);
}

}  // namespace plat
