// A second interface of type access point on the radio (wiphy) of a Wi-Fi
// station, so that one card carries both the upstream (the station) and the
// hotspot. The station's interface is never touched.
//
// The new interface has an address of its own: the card's, made locally
// administered, the same from run to run so that devices know the network
// again. It is handed to the driver with the request where the driver takes
// one (NL80211_FEATURE_MAC_ON_CREATE); otherwise it is set through rtnetlink
// while the link is still down (two interfaces of one radio that are up with
// the same address are refused by the wireless stack).
//
// A record in the runtime folder, written before the interface is made, names
// it and the process of the run, so that an interface a killed run left
// behind is deleted at the next start; a run still going on in another
// process keeps its own. Each interface (one per card) has its own record, so
// runs on two cards at once do not overwrite each other's; the single record
// of earlier versions ("virtual-interface") is still read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Nl80211.h"
#include "platform/text/MacText.h"

namespace plat {

class Netlink;

class VirtualAp {
public:
    // `genl`: a generic netlink socket (nl80211 requests); it must outlive this object.
    VirtualAp(const std::string& runtimeDir, Netlink& genl);

    // The name of the access point interface on radio `wiphy`.
    static std::string NameFor(std::uint32_t wiphy);
    // The card's address with the locally administered bit set (and the
    // group bit clear); another locally administered one when the card's
    // address already is one.
    static MacAddress DerivedAddress(const MacAddress& card);

    // Makes the access point interface beside `station`. 0, or an errno
    // value with the reason in plain words.
    int Create(const WirelessInterface& station, std::string* why);
    // Deletes the interface Create made; nothing when there is none.
    void Remove();
    // Deletes the interfaces that runs which did not end cleanly left; their
    // names.
    std::vector<std::string> RemoveLeftover();

    const std::string& Name() const { return m_name; }
    std::uint32_t Ifindex() const { return m_ifindex; }
    const MacAddress& Address() const { return m_address; }
    std::string RecordFile() const { return m_record; }

private:
    // The record of the interface named `name`.
    std::string RecordFor(const std::string& name) const;
    // The records in the runtime folder, the earlier versions' single one first.
    std::vector<std::string> Records() const;
    // The process of another run that `record` names and that still goes on; 0: none.
    static int Owner(const std::string& record);
    // The interface `record` names; empty when it names none.
    static std::string NamedIn(const std::string& record);
    // The interface named `name` on `wiphy` with type access point, if any.
    bool FindAp(const std::string& name, std::uint32_t wiphy, std::uint32_t* ifindex);

    std::string m_runtimeDir;
    std::string m_record;
    Netlink& m_genl;
    std::string m_name;
    std::uint32_t m_ifindex = 0;
    MacAddress m_address{};
};

}  // namespace plat
