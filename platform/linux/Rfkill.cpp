#include "Rfkill.h"

#include <fcntl.h>
#include <linux/rfkill.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <filesystem>
#include <fstream>

namespace plat {

namespace {

bool ReadFlag(const std::filesystem::path& file, bool* value) {
    std::ifstream in(file);
    int v = 0;
    if (!(in >> v))
        return false;
    *value = v != 0;
    return true;
}

}  // namespace

Rfkill::Rfkill(std::string sysfs, std::string device)
    : m_sysfs(std::move(sysfs)), m_device(std::move(device)) {}

std::vector<RfkillSwitch> Rfkill::Switches(const std::string& interface) const {
    std::vector<RfkillSwitch> out;
    // The interface's radio (phy80211 links to /sys/class/ieee80211/phyN) holds
    // its switches as rfkillN folders.
    const std::filesystem::path phy =
        std::filesystem::path(m_sysfs) / "class" / "net" / interface / "phy80211";
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(phy, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("rfkill", 0) != 0 || name.size() == 6)
            continue;
        RfkillSwitch s;
        const char* digits = name.c_str() + 6;
        const auto [end, ec2] = std::from_chars(digits, name.c_str() + name.size(), s.index);
        if (ec2 != std::errc() || *end != 0)
            continue;
        if (!ReadFlag(entry.path() / "soft", &s.soft) || !ReadFlag(entry.path() / "hard", &s.hard))
            continue;
        out.push_back(s);
    }
    return out;
}

int Rfkill::SetSoftBlock(std::uint32_t index, bool blocked) const {
    const int fd = open(m_device.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    rfkill_event event{};
    event.idx = index;
    event.type = RFKILL_TYPE_ALL;
    event.op = RFKILL_OP_CHANGE;
    event.soft = blocked ? 1 : 0;
    ssize_t n;
    do {
        n = write(fd, &event, sizeof event);
    } while (n < 0 && errno == EINTR);
    const int e = n == static_cast<ssize_t>(sizeof event) ? 0 : (n < 0 ? errno : EIO);
    close(fd);
    return e;
}

}  // namespace plat
