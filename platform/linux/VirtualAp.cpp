#include "VirtualAp.h"

#include <linux/nl80211.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "HostHandoff.h"
#include "HostapdConfig.h"
#include "LinkState.h"
#include "Netlink.h"

namespace plat {

namespace {

// The one record of earlier versions, and the start of each interface's own.
constexpr const char* kRecord = "virtual-interface";

}  // namespace

VirtualAp::VirtualAp(const std::string& runtimeDir, Netlink& genl)
    : m_runtimeDir(runtimeDir), m_genl(genl) {}

std::string VirtualAp::RecordFor(const std::string& name) const {
    return m_runtimeDir + "/" + kRecord + "-" + name;
}

std::vector<std::string> VirtualAp::Records() const {
    std::vector<std::string> records;
    std::error_code ec;
    const std::string old = m_runtimeDir + "/" + kRecord;
    if (std::filesystem::is_regular_file(old, ec))
        records.push_back(old);
    const std::string prefix = std::string(kRecord) + "-";
    for (const auto& entry : std::filesystem::directory_iterator(m_runtimeDir, ec)) {
        const std::string file = entry.path().filename().string();
        if (file.rfind(prefix, 0) == 0 && entry.is_regular_file(ec))
            records.push_back(entry.path().string());
    }
    return records;
}

std::string VirtualAp::NamedIn(const std::string& record) {
    std::ifstream in(record);
    std::string first;
    std::string name;
    std::getline(in, first);
    std::getline(in, name);
    return HostapdConfig::ValidInterfaceName(name) ? name : std::string();
}

std::string VirtualAp::NameFor(std::uint32_t wiphy) {
    return "lumari-ap" + std::to_string(wiphy % 100000);
}

MacAddress VirtualAp::DerivedAddress(const MacAddress& card) {
    MacAddress mac = card;
    mac[0] = static_cast<std::uint8_t>((mac[0] | 0x02) & ~0x01);
    if (mac == card)  // the card's own address is locally administered already
        mac[0] ^= 0x04;
    return mac;
}

bool VirtualAp::FindAp(const std::string& name, std::uint32_t wiphy, std::uint32_t* ifindex) {
    std::vector<WirelessInterface> all;
    if (Nl80211::Interfaces(m_genl, &all) != 0)
        return false;
    for (const WirelessInterface& w : all) {
        if (w.name == name && w.wiphy == wiphy && w.iftype == NL80211_IFTYPE_AP) {
            *ifindex = w.ifindex;
            return true;
        }
    }
    return false;
}

int VirtualAp::Create(const WirelessInterface& station, std::string* why) {
    const std::string name = NameFor(station.wiphy);
    const std::string card = station.phyName.empty() ? station.name : station.phyName;
    // What a killed run left goes first; a run still going on keeps its own.
    RemoveLeftover();
    std::vector<WirelessInterface> all;
    if (const int e = Nl80211::Interfaces(m_genl, &all)) {
        *why = "the interfaces of " + card + " cannot be read (" + std::strerror(e) + ")";
        return e;
    }
    for (const WirelessInterface& w : all) {
        if (w.name != name)
            continue;
        int owner = Owner(RecordFor(name));
        const std::string old = m_runtimeDir + "/" + kRecord;
        if (owner == 0 && NamedIn(old) == name)
            owner = Owner(old);
        *why = owner != 0 ? name + " is used by another run of the hotspot (process " +
                                std::to_string(owner) + ")"
                          : "an interface named " + name + " is there already";
        return EEXIST;
    }
    {
        // The record first: a run killed right after the creation is still undone.
        m_record = RecordFor(name);
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(m_record).parent_path(), ec);
        std::ofstream out(m_record, std::ios::trunc);
        out << "pid " << getpid() << "\n" << name << "\n" << station.wiphy << "\n";
    }
    MacAddress cardMac = station.mac;
    if (cardMac == MacAddress{})  // not in nl80211's answer: the link's own
        LinkState::Read(station.name, nullptr, &cardMac);
    m_address = DerivedAddress(cardMac);
    WirelessInterface created;
    const MacAddress none{};
    if (const int e = Nl80211::NewApInterface(m_genl, station.wiphy, name,
                                              station.macOnCreate ? m_address : none, &created)) {
        std::error_code ec;
        std::filesystem::remove(m_record, ec);
        *why = "the driver of " + card + " did not make an access point interface beside " +
               station.name + " (" + std::strerror(e) + ")";
        return e;
    }
    m_name = name;
    m_ifindex = created.ifindex;
    if (created.mac != m_address) {
        if (const int e = LinkState::SetAddress(static_cast<int>(created.ifindex), m_address)) {
            *why = "the access point interface " + name +
                   " could not be given an address of its own (" + std::strerror(e) + ")";
            Remove();
            return e;
        }
    }
    return 0;
}

void VirtualAp::Remove() {
    if (m_ifindex != 0)
        Nl80211::DeleteInterface(m_genl, m_ifindex);  // ENODEV: gone already
    m_ifindex = 0;
    m_name.clear();
    std::error_code ec;
    std::filesystem::remove(m_record, ec);
}

int VirtualAp::Owner(const std::string& record) {
    std::ifstream in(record);
    std::string first;
    std::getline(in, first);
    const int owner = first.rfind("pid ", 0) == 0 ? std::atoi(first.c_str() + 4) : 0;
    return owner != getpid() && HostHandoff::ProcessAlive(owner) ? owner : 0;
}

std::vector<std::string> VirtualAp::RemoveLeftover() {
    std::vector<std::string> removed;
    const std::vector<std::string> records = Records();
    // Interfaces a run that still goes on names (in its own record) are its.
    std::vector<std::string> live;
    for (const std::string& record : records)
        if (Owner(record) != 0 || (record == m_record && m_ifindex != 0))
            live.push_back(NamedIn(record));
    for (const std::string& record : records) {
        if (record == m_record && m_ifindex != 0)
            continue;  // this object's own interface
        std::ifstream in(record);
        if (!in || Owner(record) != 0)
            continue;  // that of a run that still goes on
        std::error_code ec;
        if (std::find(live.begin(), live.end(), NamedIn(record)) != live.end()) {
            std::filesystem::remove(record, ec);  // stale: the interface is another run's now
            continue;
        }
        std::string first;
        std::string name;
        std::uint32_t wiphy = 0;
        std::getline(in, first);
        std::getline(in, name);
        in >> wiphy;
        in.close();
        std::uint32_t ifindex = 0;
        const bool there = HostapdConfig::ValidInterfaceName(name) && FindAp(name, wiphy, &ifindex);
        if (there && Nl80211::DeleteInterface(m_genl, ifindex) != 0)
            continue;  // kept, to be tried again at the next start
        std::filesystem::remove(record, ec);
        if (there)
            removed.push_back(name);
    }
    return removed;
}

}  // namespace plat
