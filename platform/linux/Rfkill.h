// Radio kill switches (rfkill) of a wireless interface: the hardware switch
// (a key or slider the program cannot change) and the software block, read
// from sysfs; the software block is changed through /dev/rfkill.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plat {

struct RfkillSwitch {
    std::uint32_t index = 0;  // rfkillN
    bool soft = false;        // blocked by software
    bool hard = false;        // blocked by the hardware switch
};

class Rfkill {
public:
    // `sysfs` is where the kernel's /sys is; `device` the rfkill control device.
    explicit Rfkill(std::string sysfs = "/sys", std::string device = "/dev/rfkill");

    // The switches of a network interface's radio (none: nothing blocks it).
    std::vector<RfkillSwitch> Switches(const std::string& interface) const;
    // Sets the software block of one switch. 0 or an errno value.
    int SetSoftBlock(std::uint32_t index, bool blocked) const;

private:
    std::string m_sysfs;
    std::string m_device;
};

}  // namespace plat
