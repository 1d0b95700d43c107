#include "StartFailure.h"

namespace {

constexpr const char* kDoctor = "run lumari-hotspot --doctor to see what is missing";

}  // namespace

int StartFailure::ExitStatus(int code) {
    const int low = code & 0xFF;
    return low == 0 ? 1 : low;
}

StartFailure StartFailure::Describe(int code, const std::string& apFailure,
                                    const std::string& apInterface) {
    const std::string on = apInterface.empty() ? std::string() : " on " + apInterface;
    const std::string detail = apFailure.empty() ? std::string() : ": " + apFailure;
    switch (code) {
        case 1000:
            return {"the start was interrupted", "start it again"};
        case 1001:
        case 1010:
            return {"no interface can carry the access point" + detail,
                    "name the interface with --ap-interface; " + std::string(kDoctor)};
        case 1002:
            return {"the interface cannot run an access point" + detail,
                    "use a Wi-Fi adapter whose driver supports AP mode, or a wired port"};
        case 1003:
            return {"the radio" + on + " is switched off by its hardware switch",
                    "switch the radio on (a key, a slider or the firmware setup)"};
        case 1004:
            return {"the radio" + on + " is blocked and could not be unblocked",
                    "rfkill unblock wifi"};
        case 1005:
            return {"the network name was refused", "give a name of 1 to 32 bytes with --ssid"};
        case 1006:
            return {"the pass phrase was refused",
                    "give 8 to 63 printable ASCII characters with --key"};
        case 1009:
            return {"the access point's interface" + on + " is not among the network connections",
                    kDoctor};
        case 1201:
        case 1203:
            return {"sharing the upstream connection failed (nftables and traffic control)",
                    "check that nftables works (nft list ruleset) and that there is an upstream "
                    "with a default route; " +
                        std::string(kDoctor)};
        case 1401:
            return {"the DHCP server could not start (UDP port 67 is probably in use)",
                    "stop the other DHCP server while the hotspot runs, for example: systemctl "
                    "stop dnsmasq"};
        case 1500:
            return {"the network connections could not be listed", kDoctor};
        case 1502:
            return {"the hotspot address could not be set" + on,
                    "choose another address with --address, for example 192.168.123.1"};
        case 1700:
            return {"the engine was not ready to start", "start it again"};
        case 2:
            if (apFailure.find("hostapd is not installed") != std::string::npos)
                return {"the access point could not start: hostapd is not installed",
                        "apt-get install hostapd"};
            break;
        default:
            break;
    }
    if (!apFailure.empty())
        return {"the access point did not start" + on + detail, kDoctor};
    return {"the start failed with code " + std::to_string(code), kDoctor};
}
