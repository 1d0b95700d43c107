#include "Doctor.h"

#include <arpa/inet.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/linux/ChildProcess.h"
#include "platform/linux/FirewallHole.h"
#include "platform/linux/Netlink.h"
#include "platform/linux/NetworkManagerHandoff.h"
#include "platform/linux/Nl80211.h"
#include "platform/linux/RadioChannels.h"
#include "platform/linux/RadioChooser.h"
#include "platform/linux/Rfkill.h"
#include "platform/linux/WifiHolders.h"
#include "platform/text/Ipv4Text.h"

namespace {

using Level = DoctorFinding::Level;

struct Address {
    int ifindex = 0;
    std::uint32_t ip = 0;  // network byte order
    int prefix = 0;
};

std::string Name(int ifindex) {
    char name[IF_NAMESIZE] = {};
    return if_indextoname(static_cast<unsigned>(ifindex), name) != nullptr
               ? name
               : std::to_string(ifindex);
}

std::vector<Address> Addresses() {
    std::vector<Address> out;
    ifaddrmsg request{};
    request.ifa_family = AF_INET;
    plat::NetlinkMessage dump(RTM_GETADDR, NLM_F_DUMP, &request, sizeof request);
    plat::Netlink netlink;
    netlink.Dump(dump, [&](const nlmsghdr& m) {
        if (m.nlmsg_type != RTM_NEWADDR || m.nlmsg_len < NLMSG_LENGTH(sizeof(ifaddrmsg)))
            return;
        ifaddrmsg a{};
        std::memcpy(&a, NLMSG_DATA(&m), sizeof a);
        Address address;
        address.ifindex = static_cast<int>(a.ifa_index);
        address.prefix = a.ifa_prefixlen;
        bool local = false;
        plat::Netlink::Attributes(
            m, sizeof(ifaddrmsg), [&](std::uint16_t type, const void* data, std::size_t size) {
                if ((type == IFA_LOCAL || (type == IFA_ADDRESS && !local)) && size == 4) {
                    std::memcpy(&address.ip, data, 4);
                    local = local || type == IFA_LOCAL;
                }
            });
        if (address.ip != 0)
            out.push_back(address);
    });
    return out;
}

// The interface and gateway of the IPv4 default route of the main table.
bool DefaultRoute(int* ifindex, std::uint32_t* gateway) {
    rtmsg request{};
    request.rtm_family = AF_INET;
    plat::NetlinkMessage dump(RTM_GETROUTE, NLM_F_DUMP, &request, sizeof request);
    plat::Netlink netlink;
    bool found = false;
    netlink.Dump(dump, [&](const nlmsghdr& m) {
        if (found || m.nlmsg_type != RTM_NEWROUTE || m.nlmsg_len < NLMSG_LENGTH(sizeof(rtmsg)))
            return;
        rtmsg r{};
        std::memcpy(&r, NLMSG_DATA(&m), sizeof r);
        if (r.rtm_dst_len != 0 || r.rtm_table != RT_TABLE_MAIN || r.rtm_type != RTN_UNICAST)
            return;
        int oif = 0;
        std::uint32_t via = 0;
        plat::Netlink::Attributes(m, sizeof(rtmsg),
                                  [&](std::uint16_t type, const void* data, std::size_t size) {
                                      if (type == RTA_OIF && size == 4)
                                          std::memcpy(&oif, data, 4);
                                      else if (type == RTA_GATEWAY && size == 4)
                                          std::memcpy(&via, data, 4);
                                  });
        if (oif != 0) {
            *ifindex = oif;
            *gateway = via;
            found = true;
        }
    });
    return found;
}

std::uint32_t Mask(int prefix) {
    return prefix <= 0 ? 0 : htonl(prefix >= 32 ? 0xFFFFFFFFu : ~((1u << (32 - prefix)) - 1));
}

// Someone else's DHCP server holds UDP port 67 (a test bind, closed at once).
bool DhcpPortTaken() {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(67);
    const bool taken =
        bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0 && errno == EADDRINUSE;
    close(fd);
    return taken;
}

}  // namespace

std::vector<DoctorFinding> Doctor::RadioFindings(const plat::WirelessInterface& radio) {
    std::vector<DoctorFinding> f;
    const std::string name = radio.name + (radio.phyName.empty() ? "" : " (" + radio.phyName + ")");
    if (radio.bands.empty())
        f.push_back({Level::Warning, name + " reports no bands or channels",
                     "the access point starts on channel 6 and hostapd judges it"});
    for (const auto& [kind, band] : radio.bands) {
        if (kind != plat::RadioBand::k2GHz && kind != plat::RadioBand::k5GHz)
            continue;
        const std::string label = kind == plat::RadioBand::k5GHz ? "5 GHz" : "2.4 GHz";
        std::string list;
        int noIr = 0;
        int radar = 0;
        for (const plat::RadioChannel& c : band.channels) {
            if (plat::RadioChannels::AllowedForAp(c))
                list += (list.empty() ? "" : " ") + std::to_string(c.number);
            else if (!c.disabled && c.radar)
                ++radar;
            else if (!c.disabled && c.noIr)
                ++noIr;
        }
        std::string modes = band.vht ? "802.11n/ac" : band.ht ? "802.11n" : "802.11a/b/g";
        std::string closed;
        if (noIr != 0)
            closed += std::to_string(noIr) + " no-IR";
        if (radar != 0)
            closed += (closed.empty() ? "" : ", ") + std::to_string(radar) + " radar";
        if (list.empty())
            f.push_back({Level::Warning,
                         name + " " + label + " (" + modes +
                             "): no channel an access point may use" +
                             (closed.empty() ? "" : " (" + closed + ")"),
                         kind == plat::RadioBand::k5GHz
                             ? "set the country with --country, or use --band 2.4"
                             : "set the country with --country"});
        else
            f.push_back({Level::Ok,
                         name + " " + label + " (" + modes + "): access point channels " + list +
                             (closed.empty() ? "" : " (not: " + closed + ")"),
                         ""});
    }
    std::uint32_t channels = 0;
    if (plat::Nl80211::ApBesideStation(radio.combinations, &channels))
        f.push_back({Level::Ok,
                     name + " can run an access point beside its station (on " +
                         (channels == 1 ? std::string("the station's channel")
                                        : std::to_string(channels) + " channels") +
                         "): while this card carries the upstream over Wi-Fi and no other card "
                         "can, the hotspot runs its access point beside the station (one card "
                         "for both)",
                     ""});
    else
        f.push_back({Level::Ok,
                     name + " cannot run an access point beside a station (no interface "
                            "combination allows it): while this card carries the upstream, a "
                            "second card or a wired upstream is needed",
                     ""});
    if (radio.sae)
        f.push_back(
            {Level::Ok, name + " offers WPA3 (SAE): the default security is wpa2-wpa3", ""});
    else
        f.push_back({Level::Ok, name + " does not offer WPA3 (SAE): the security is wpa2", ""});
    return f;
}

DoctorFinding Doctor::OneCardFinding(const plat::RadioChoice& choice, const std::string& domain) {
    const std::string& station = choice.station;
    if (choice.sharedChannels != 1)
        return {Level::Ok,
                "the access point may use another channel than " + station +
                    "'s (its card "
                    "allows " +
                    std::to_string(choice.sharedChannels) + " channels)",
                ""};
    plat::ChannelRequest request;
    request.stationChannel = plat::Nl80211::ChannelOf(choice.radio.frequency);
    request.stationChannelOnly = true;
    request.regulatoryDomain = domain;
    const plat::ChannelChoice c = plat::RadioChannels::Choose(choice.radio.bands, request);
    if (!c.ok)
        return {Level::Failure, station + ": " + c.why, ""};
    return {Level::Ok,
            "the access point will use channel " + std::to_string(c.channel) + ", that of " +
                station + "'s connection, and follows the connection to another channel",
            ""};
}

std::vector<DoctorFinding> Doctor::Check(const Inputs& in) {
    std::vector<DoctorFinding> f;
    auto add = [&](Level level, const std::string& what, const std::string& fix = "") {
        f.push_back(DoctorFinding{level, what, fix});
    };
    const bool root = geteuid() == 0;
    if (root)
        add(Level::Ok, "running as root");
    else
        add(Level::Failure, "not running as root: the hotspot changes interfaces and firewall",
            "run it as root (sudo lumari-hotspot ...)");

    // The access point's interface: the start's own choice.
    const plat::RadioFacts facts = plat::RadioChooser::Gather(in.apInterface, in.sysfs);
    plat::OneCardMode oneCard = plat::OneCardMode::Auto;
    plat::RadioChooser::ParseOneCard(in.oneCard, &oneCard);
    const plat::RadioChoice choice = plat::RadioChooser::Choose(in.apInterface, facts, oneCard);
    const std::string iface = choice.name;
    const bool radio = choice.form == plat::RadioChoice::Form::Radio ||
                       (choice.form == plat::RadioChoice::Form::None && !facts.radios.empty());
    if (choice.form == plat::RadioChoice::Form::None)
        add(Level::Failure, choice.why, choice.fix);
    else
        add(Level::Ok, choice.why);
    if (choice.form == plat::RadioChoice::Form::Radio) {
        // One card for both: the station is not handed over, and the
        // interface of the access point does not exist before the start;
        // what holds the card is judged for the interface to be made.
        if (!choice.oneCard)
            for (const plat::WifiHolder& h : plat::WifiHolders::Find(iface, in.proc))
                add(Level::Failure, h.what, h.fix);
        else
            for (const auto& h : plat::WifiHolders::FindOnCard(choice.station, choice.radio.phyName,
                                                               iface, in.proc))
                add(h.warning ? Level::Warning : Level::Failure, h.holder.what, h.holder.fix);
        for (const DoctorFinding& r : RadioFindings(choice.radio))
            f.push_back(r);
    }

    if (radio && !iface.empty()) {
        const std::string card = choice.oneCard ? choice.station : iface;
        const plat::Rfkill rfkill(in.sysfs);
        bool hard = false;
        bool soft = false;
        for (const auto& s : rfkill.Switches(card)) {
            hard = hard || s.hard;
            soft = soft || s.soft;
        }
        if (hard)
            add(Level::Failure, "the radio of " + card + " is switched off by its hardware switch",
                "switch the radio on (a key, a slider or the firmware setup)");
        else if (soft)
            add(Level::Warning, "the radio of " + card + " is blocked (rfkill)",
                "the start lifts the block; or now: rfkill unblock wifi");
        else
            add(Level::Ok, "the radio of " + card + " is on");

        std::string alpha2;
        if (plat::Nl80211::RegulatoryDomain(&alpha2) == 0) {
            if (alpha2 == "00")
                add(Level::Warning,
                    "no regulatory domain is set (world domain 00): 5 GHz is unavailable until a "
                    "country is set, and 2.4 GHz channels 12 and 13 are closed",
                    "give your country's two letters, for example: lumari-hotspot --country DE");
            else
                add(Level::Ok, "regulatory domain " + alpha2);
        }
        if (choice.oneCard)
            f.push_back(OneCardFinding(choice, alpha2));
    }

    if (radio || iface.empty()) {
        const std::string hostapd = plat::ChildProcess::Find("hostapd");
        if (!hostapd.empty())
            add(Level::Ok, "hostapd is installed (" + hostapd + ")");
        else
            add(Level::Failure, "hostapd is not installed", "apt-get install hostapd");
    }

    plat::FirewallHole nft;
    std::string error;
    std::vector<plat::FirewallHole::Chain> inputs;
    std::vector<plat::FirewallHole::Chain> forwards;
    if (nft.Run("list tables", nullptr, &error) && nft.Chains("input", &inputs, &error) &&
        nft.Chains("forward", &forwards, &error)) {
        add(Level::Ok, "nftables is usable");
    } else {
        add(Level::Failure, "nftables is not usable: " + error,
            root ? "the kernel needs nf_tables (modprobe nf_tables)" : "run it as root");
    }

    // The upstream.
    int upstream = 0;
    std::uint32_t gateway = 0;
    if (!DefaultRoute(&upstream, &gateway)) {
        add(Level::Failure, "there is no upstream connection: no default route",
            "connect this PC to the Internet (a cable, Wi-Fi or a mobile modem) first");
    } else if (!iface.empty() && Name(upstream) == iface) {
        add(Level::Failure,
            "the default route goes through " + iface + ", the access point's own interface",
            "share another connection: give the access point another interface");
    } else {
        add(Level::Ok,
            "upstream: " + Name(upstream) +
                (gateway != 0 ? " (default route via " + plat::Ipv4Text::Format(gateway) + ")"
                              : " (default route)"));
    }

    // The hotspot's subnet.
    std::uint32_t ip = 0;
    if (plat::Ipv4Text::Parse(in.address, &ip)) {
        const std::uint32_t mask = Mask(24);
        std::string clash;
        const int apIndex = iface.empty() ? 0 : static_cast<int>(if_nametoindex(iface.c_str()));
        for (const Address& a : Addresses()) {
            if (a.ifindex == apIndex || (a.ip & htonl(0xFF000000u)) == htonl(0x7F000000u))
                continue;
            const std::uint32_t m = a.prefix < 24 ? Mask(a.prefix) : mask;
            if ((a.ip & m) == (ip & m))
                clash = Name(a.ifindex) + " (" + plat::Ipv4Text::Format(a.ip) + "/" +
                        std::to_string(a.prefix) + ")";
        }
        const std::string subnet = plat::Ipv4Text::Format(ip & mask) + "/24";
        if (clash.empty())
            add(Level::Ok, "the hotspot subnet " + subnet + " is free");
        else
            add(Level::Failure, "the hotspot subnet " + subnet + " is in use on " + clash,
                "choose another hotspot address, for example --address 192.168.123.1");
    }

    if (root && DhcpPortTaken())
        add(Level::Failure, "another program holds UDP port 67 (a DHCP server such as dnsmasq)",
            "stop it while the hotspot runs, for example: systemctl stop dnsmasq");

    // NetworkManager.
    plat::NetworkManagerHandoff nm("/dev/null", in.busAddress);
    if (!nm.Running()) {
        add(Level::Ok, "NetworkManager does not run");
    } else if (!iface.empty()) {
        bool managed = false;
        const int e = nm.Managed(iface, &managed);
        if (e == 0 && managed)
            add(Level::Ok, "NetworkManager manages " + iface + ": the hotspot tells it to leave " +
                               iface + " alone while it runs and gives it back at the stop");
        else if (e == 0 || e == ENODEV)
            add(Level::Ok, "NetworkManager does not manage " + iface);
        else
            add(Level::Warning, std::string("cannot ask NetworkManager: ") + std::strerror(e),
                "check that NetworkManager answers: nmcli device status");
    }

    // Firewalls.
    std::vector<std::string> firewalls;
    if (nft.Firewalls(&firewalls, &error)) {
        const std::string on = iface.empty() ? std::string("the access point's interface") : iface;
        for (const std::string& name : firewalls) {
            const std::string fix =
                name == "firewalld"
                    ? "the hotspot lets DHCP and DNS in while it runs; to let the clients' "
                      "traffic through as well: firewall-cmd --zone=trusted --change-interface=" +
                          on
                    : "the hotspot lets DHCP and DNS in while it runs; to let the clients' "
                      "traffic through as well: ufw allow in on " +
                          on + " && ufw route allow in on " + on;
            add(Level::Warning, name + " is active and would drop DHCP and DNS on " + on, fix);
        }
        for (const auto& c : inputs)
            if (c.policy == "drop")
                add(Level::Warning,
                    "the input chain " + c.family + " " + c.table + " " + c.chain +
                        " drops what it does not accept",
                    "the hotspot lets DHCP and DNS in on " + on + " while it runs");
        for (const auto& c : forwards)
            if (c.policy == "drop")
                add(Level::Warning,
                    "the forward chain " + c.family + " " + c.table + " " + c.chain +
                        " drops what it does not accept: the clients may reach nothing",
                    "let the clients' traffic through, for example: nft insert rule " + c.family +
                        " " + c.table + " " + c.chain + " iifname \"" + on +
                        "\" accept; and the answers: ... ct state established,related accept");
    }
    return f;
}

std::string Doctor::Format(const std::vector<DoctorFinding>& findings) {
    std::string out;
    for (const DoctorFinding& f : findings) {
        out += f.level == Level::Ok ? "[ ok ] " : f.level == Level::Warning ? "[warn] " : "[FAIL] ";
        out += f.what + "\n";
        if (!f.fix.empty())
            out += "       fix: " + f.fix + "\n";
    }
    return out;
}

bool Doctor::AnyFailure(const std::vector<DoctorFinding>& findings) {
    for (const DoctorFinding& f : findings)
        if (f.level == Level::Failure)
            return true;
    return false;
}
