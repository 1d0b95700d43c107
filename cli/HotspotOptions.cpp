#include "HotspotOptions.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "HotspotCommand.h"
#include "platform/linux/HostapdConfig.h"
#include "platform/linux/RadioChannels.h"
#include "platform/linux/RadioChooser.h"
#include "platform/text/Ipv4Text.h"
#include "platform/text/TextCodec.h"

namespace {

bool Fail(std::string* error, const std::string& why) {
    *error = why;
    return false;
}

// Valid UTF-8 without control characters.
bool CleanUtf8(const std::string& text) {
    std::wstring wide;
    if (!plat::TextCodec::Utf8ToWide(text, &wide))
        return false;
    for (wchar_t c : wide)
        if (c < 0x20 || c == 0x7F)
            return false;
    return true;
}

}  // namespace

std::string HotspotOptions::Usage() {
    return "Usage:\n"
           "  lumari-hotspot [--ap-interface IF] [--ssid NAME] [--key PASS] [--address A.B.C.D]\n"
           "                 [--dns-relay | --no-dns-relay] [--no-ipv6] [--state-dir DIR]\n"
           "                 [--allow-file F] [--deny-file F]\n"
           "                 [--security wpa2|wpa3|wpa2-wpa3] [--band 2.4|5|auto]\n"
           "                 [--channel N|auto] [--country CC]\n"
           "                 [--one-card[=auto|on|off] | --no-one-card]\n"
           "  lumari-hotspot --doctor [--ap-interface IF] [--one-card | --no-one-card]\n"
           "                          [--state-dir DIR]\n"
           "  lumari-hotspot --qr [--ssid NAME] [--key PASS] [--state-dir DIR]\n"
           "  lumari-hotspot --help\n"
           "\n"
           "Runs the hotspot in the foreground (as root) until it is told to stop: shares the\n"
           "Internet connection of this PC through an access point on IF, hands out addresses\n"
           "with its own DHCP server and reports every device that joins.\n"
           "\n"
           "Options (an option not given keeps the stored setting):\n"
           "  --ap-interface IF  the interface of the access point: a Wi-Fi interface whose\n"
           "                     driver supports AP mode (hostapd runs it), or a wired port\n"
           "                     (clients connect by cable); default: a Wi-Fi interface\n"
           "                     that can run an access point and is not on the upstream's\n"
           "                     card (see --one-card)\n"
           "  --ssid NAME        the network name, 1 to 32 bytes\n"
           "  --key PASS         the WPA2 pass phrase, 8 to 63 printable ASCII characters\n"
           "  --address A.B.C.D  the hotspot's own address; clients get addresses of its /24\n"
           "                     (default 192.168.23.1)\n"
           "  --dns-relay        clients use the hotspot's own DNS relay\n"
           "  --no-dns-relay     clients use the upstream's DNS servers\n"
           "  --no-ipv6          no IPv6 for the clients (by default, when the upstream has\n"
           "                     an IPv6 default route, they get addresses of the hotspot's\n"
           "                     own unique local /64 by router advertisement, and its\n"
           "                     IPv6 traffic is masqueraded)\n"
           "  --security MODE    wpa2, wpa3 (SAE, protected management frames required) or\n"
           "                     wpa2-wpa3 (both kinds of device join); default: wpa2-wpa3\n"
           "                     where the driver offers SAE, else wpa2\n"
           "  --band BAND        2.4, 5 or auto (default auto: 2.4 GHz first)\n"
           "  --channel N        a channel the country allows for an access point, or auto\n"
           "                     (default): channels marked no-IR or radar are never taken\n"
           "  --country CC       the country whose radio rules apply (two letters, e.g. DE);\n"
           "                     without one the world domain leaves 5 GHz closed\n"
           "  --one-card         run the access point on the same Wi-Fi card as the upstream\n"
           "                     connection (a second interface beside its station, on the\n"
           "                     station's channel), even when another card could; by default\n"
           "                     (--one-card=auto) only when no other card can and the card\n"
           "                     allows it\n"
           "  --no-one-card      never run the access point on the upstream's card\n"
           "  --state-dir DIR    where the settings, the client database and Log/ live\n"
           "                     (default: /var/lib/lumari-hotspot as root)\n"
           "  --allow-file F     put the MACs of F (one a line, # comments) on the allow\n"
           "                     list: while it holds any device, only those get in\n"
           "  --deny-file F      put the MACs of F on the deny list: no lease, no traffic\n"
           "                     (both lists are kept in the client database)\n"
           "  --doctor           check what a start needs, print each finding with its fix,\n"
           "                     and change nothing\n"
           "  --qr               print the code a phone scans to join (the stored or given\n"
           "                     name and pass phrase) and start nothing\n"
           "  --help             show this text\n"
           "\n"
           "Events go to standard output, one JSON object per line:\n"
           "  NetworkStarted, NetworkStopped, InternetStateChanged, ClientJoin,\n"
           "  ClientUpdate, ClientLeave, Clients, Error.\n"
           "Commands are read from standard input, one per line:\n"
           "  limit MAC DOWN UP   speed limit in kilobytes per second (0: none)\n"
           "  ban MAC             cut a client off and remember it\n"
           "  unban MAC           let a banned or blocked client in again\n"
           "  block MAC           cut a client off until it is unbanned or the hotspot stops\n"
           "  deny MAC            keep a device out (no lease, no traffic), seen or not\n"
           "  undeny MAC          take a device off the deny list\n"
           "  allow MAC           put a device on the allow list (lifts its deny)\n"
           "  unallow MAC         take a device off the allow list\n"
           "  nick MAC TEXT       give a client a nickname (no TEXT: remove it)\n"
           "  clients             list the clients\n"
           "  stop                stop the hotspot and exit\n"
           "The end of standard input does not stop the hotspot; SIGINT and SIGTERM do.\n"
           "Diagnostics go to standard error; when it is a terminal, the code a phone scans\n"
           "to join is shown there at the start. The exit status is 0 after a clean stop.\n";
}

std::string HotspotOptions::DefaultStateDir() {
    if (geteuid() == 0)
        return "/var/lib/lumari-hotspot";
    if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && state[0] == '/')
        return std::string(state) + "/lumari-hotspot";
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/')
        return std::string(home) + "/.local/state/lumari-hotspot";
    return "/tmp/lumari-hotspot-" + std::to_string(geteuid());
}

bool HotspotOptions::ValidSsid(const std::string& ssid, std::string* why) {
    if (ssid.empty() || ssid.size() > 32)
        return Fail(why, "the network name must have 1 to 32 bytes");
    if (!CleanUtf8(ssid))
        return Fail(why, "the network name must be UTF-8 text without control characters");
    return true;
}

bool HotspotOptions::ValidKey(const std::string& key, std::string* why) {
    if (key.size() < 8 || key.size() > 63)
        return Fail(why, "the pass phrase must have 8 to 63 characters");
    for (unsigned char c : key)
        if (c < 0x20 || c > 0x7E)
            return Fail(why, "the pass phrase must be printable ASCII characters");
    return true;
}

bool HotspotOptions::ParseChannel(const std::string& text, int* channel) {
    if (text == "auto") {
        *channel = 0;
        return true;
    }
    if (text.empty() || text.size() > 3 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const int n = std::stoi(text);
    if (!((n >= 1 && n <= 14) || (n >= 32 && n <= 177)))
        return false;
    *channel = n;
    return true;
}

bool HotspotOptions::ValidCountry(const std::string& text) {
    return text.size() == 2 && text[0] >= 'A' && text[0] <= 'Z' && text[1] >= 'A' &&
           text[1] <= 'Z' && text != "00";
}

bool HotspotOptions::ValidAddress(const std::string& address, std::string* why) {
    std::uint32_t ip = 0;
    if (!plat::Ipv4Text::Parse(address, &ip))
        return Fail(why, "the address must be four numbers 0 to 255 joined by dots");
    std::uint8_t b[4];
    plat::Ipv4Text::ToBytes(ip, b);
    if (b[0] == 0 || b[0] == 127 || b[0] >= 224 || (b[0] == 169 && b[1] == 254))
        return Fail(why, "the address must be a unicast address outside loopback and link-local");
    if (b[3] == 0 || b[3] == 255)
        return Fail(why, "the address must not be the network or broadcast address of its /24");
    return true;
}

bool HotspotOptions::Parse(const std::vector<std::string>& arguments, HotspotOptions* out,
                           std::string* error) {
    HotspotOptions o;
    bool help = false;
    bool doctor = false;
    bool qr = false;
    std::optional<std::string> stateDir;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::optional<std::string> inlineValue;
        if (name.rfind("--", 0) == 0) {
            const std::size_t eq = name.find('=');
            if (eq != std::string::npos) {
                inlineValue = name.substr(eq + 1);
                name.resize(eq);
            }
        }
        auto value = [&](std::string* v) {
            if (inlineValue) {
                *v = *inlineValue;
                return true;
            }
            if (i + 1 >= arguments.size())
                return Fail(error, name + " needs a value");
            *v = arguments[++i];
            return true;
        };
        auto flag = [&] {
            if (inlineValue)
                return Fail(error, name + " takes no value");
            return true;
        };
        std::string v;
        if (name == "--help" || name == "-h") {
            if (!flag())
                return false;
            help = true;
        } else if (name == "--doctor") {
            if (!flag())
                return false;
            doctor = true;
        } else if (name == "--qr") {
            if (!flag())
                return false;
            qr = true;
        } else if (name == "--no-ipv6") {
            if (!flag())
                return false;
            o.noIpv6 = true;
        } else if (name == "--dns-relay" || name == "--no-dns-relay") {
            if (!flag())
                return false;
            o.dnsRelay = name == "--dns-relay";
        } else if (name == "--ap-interface") {
            if (!value(&v))
                return false;
            if (!plat::HostapdConfig::ValidInterfaceName(v))
                return Fail(error, "--ap-interface: \"" + v + "\" is not an interface name");
            o.apInterface = v;
        } else if (name == "--ssid") {
            std::string why;
            if (!value(&v))
                return false;
            if (!ValidSsid(v, &why))
                return Fail(error, "--ssid: " + why);
            o.ssid = v;
        } else if (name == "--key") {
            std::string why;
            if (!value(&v))
                return false;
            if (!ValidKey(v, &why))
                return Fail(error, "--key: " + why);
            o.key = v;
        } else if (name == "--address") {
            std::string why;
            if (!value(&v))
                return false;
            if (!ValidAddress(v, &why))
                return Fail(error, "--address: " + why);
            o.address = v;
        } else if (name == "--allow-file" || name == "--deny-file") {
            if (!value(&v))
                return false;
            std::error_code ec;
            std::ifstream in(v, std::ios::binary);
            std::stringstream text;
            if (std::filesystem::is_regular_file(v, ec) && in.is_open())
                text << in.rdbuf();
            if (!std::filesystem::is_regular_file(v, ec) || !in.is_open() || in.bad())
                return Fail(error, name + ": cannot read \"" + v + "\"");
            std::string why;
            std::vector<std::wstring> macs;
            if (text.str().size() > 1024 * 1024 ||
                !HotspotCommand::ParseMacList(text.str(), &macs, &why))
                return Fail(error, name + ": " + v + ": " +
                                       (why.empty() ? std::string("longer than 1 MB") : why));
            auto& list = name == "--allow-file" ? o.allow : o.deny;
            list.insert(list.end(), macs.begin(), macs.end());
        } else if (name == "--security") {
            if (!value(&v))
                return false;
            plat::HostapdSettings::Security unused;
            if (!plat::HostapdConfig::ParseSecurity(v, &unused))
                return Fail(error, "--security: \"" + v + "\" is not wpa2, wpa3 or wpa2-wpa3");
            o.security = v;
        } else if (name == "--one-card" || name == "--no-one-card") {
            plat::OneCardMode unused;
            if (name == "--no-one-card" || !inlineValue) {
                if (!flag())
                    return false;
                o.oneCard = name == "--one-card" ? "on" : "off";
            } else if (!plat::RadioChooser::ParseOneCard(*inlineValue, &unused)) {
                return Fail(error, "--one-card: \"" + *inlineValue + "\" is not auto, on or off");
            } else {
                o.oneCard = *inlineValue;
            }
        } else if (name == "--band") {
            if (!value(&v))
                return false;
            if (!plat::RadioChannels::ValidBand(v))
                return Fail(error, "--band: \"" + v + "\" is not 2.4, 5 or auto");
            o.band = v;
        } else if (name == "--channel") {
            if (!value(&v))
                return false;
            int channel = 0;
            if (!ParseChannel(v, &channel))
                return Fail(error, "--channel: \"" + v +
                                       "\" is not a channel number (1-14, "
                                       "32-177) or auto");
            o.channel = channel;
        } else if (name == "--country") {
            if (!value(&v))
                return false;
            if (!ValidCountry(v))
                return Fail(error, "--country: \"" + v + "\" is not two capital letters (e.g. DE)");
            o.country = v;
        } else if (name == "--state-dir") {
            if (!value(&v))
                return false;
            if (v.empty() || v.find('\n') != std::string::npos)
                return Fail(error, "--state-dir needs a folder");
            std::error_code ec;
            const std::filesystem::path absolute = std::filesystem::absolute(v, ec);
            if (ec)
                return Fail(error, "--state-dir: " + ec.message());
            stateDir = absolute.lexically_normal().string();
        } else {
            return Fail(error, "unknown option \"" + arguments[i] + "\" (see --help)");
        }
    }
    if (help) {
        o.mode = Mode::Help;
    } else if (doctor) {
        if (o.ssid || o.key || o.address || o.dnsRelay || !o.allow.empty() || !o.deny.empty() ||
            o.security || o.band || o.channel || o.country)
            return Fail(error,
                        "--doctor takes only --ap-interface, --one-card, --no-one-card and "
                        "--state-dir");
        if (qr)
            return Fail(error, "--doctor and --qr do not go together");
        o.mode = Mode::Doctor;
    } else if (qr) {
        if (o.apInterface || o.address || o.dnsRelay || !o.allow.empty() || !o.deny.empty() ||
            o.band || o.channel || o.country || o.oneCard)
            return Fail(error, "--qr takes only --ssid, --key, --security and --state-dir");
        o.mode = Mode::Qr;
    }
    o.stateDir = stateDir ? *stateDir : DefaultStateDir();
    if (o.stateDir.size() > 1 && o.stateDir.back() == '/')
        o.stateDir.pop_back();
    *out = o;
    return true;
}
