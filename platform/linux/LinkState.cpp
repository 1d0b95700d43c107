#include "LinkState.h"

#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "Netlink.h"

namespace plat {

bool LinkState::Read(const std::string& name, bool* up, MacAddress* mac) {
    if (name.empty() || name.size() >= IFNAMSIZ)
        return false;
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    ifreq request{};
    std::memcpy(request.ifr_name, name.c_str(), name.size());
    const bool ok = ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    if (ok && up != nullptr)
        *up = (request.ifr_flags & IFF_UP) != 0;
    if (ok && mac != nullptr && ioctl(fd, SIOCGIFHWADDR, &request) == 0)
        std::memcpy(mac->data(), request.ifr_hwaddr.sa_data, 6);
    close(fd);
    return ok;
}

int LinkState::SetUp(int ifindex, bool up) {
    ifinfomsg link{};
    link.ifi_family = AF_UNSPEC;
    link.ifi_index = ifindex;
    link.ifi_change = IFF_UP;
    link.ifi_flags = up ? IFF_UP : 0;
    NetlinkMessage message(RTM_NEWLINK, 0, &link, sizeof link);
    Netlink netlink;
    return netlink.Request(message);
}

int LinkState::SetAddress(int ifindex, const MacAddress& mac) {
    ifinfomsg link{};
    link.ifi_family = AF_UNSPEC;
    link.ifi_index = ifindex;
    NetlinkMessage message(RTM_NEWLINK, 0, &link, sizeof link);
    message.AddAttribute(IFLA_ADDRESS, mac.data(), mac.size());
    Netlink netlink;
    return netlink.Request(message);
}

int LinkState::EnsureUp(const std::string& name, const std::string& record, bool* broughtUp) {
    *broughtUp = false;
    bool up = false;
    const int ifindex = static_cast<int>(if_nametoindex(name.c_str()));
    if (ifindex == 0 || !Read(name, &up))
        return ENODEV;
    // A record of this very link: a killed run brought it up.
    int recorded = 0;
    {
        std::ifstream in(record);
        in >> recorded;
    }
    if (recorded == ifindex) {
        *broughtUp = true;
    } else {
        std::error_code ec;
        std::filesystem::remove(record, ec);
        if (up)
            return 0;
        std::filesystem::create_directories(std::filesystem::path(record).parent_path(), ec);
        std::ofstream(record, std::ios::trunc) << ifindex << "\n";
        *broughtUp = true;
    }
    if (!up) {
        if (const int e = SetUp(ifindex, true))
            return e;
    }
    return 0;
}

void LinkState::Restore(const std::string& name, const std::string& record, bool broughtUp) {
    if (!broughtUp)
        return;
    int recorded = 0;
    {
        std::ifstream in(record);
        in >> recorded;
    }
    if (recorded != 0 && if_nametoindex(name.c_str()) == static_cast<unsigned>(recorded))
        SetUp(recorded, false);
    std::error_code ec;
    std::filesystem::remove(record, ec);
}

}  // namespace plat
