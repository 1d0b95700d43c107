// The administrative state and hardware address of a network interface of the
// calling thread's namespace.
#pragma once

#include <string>

#include "AccessPoint.h"

namespace plat {

class LinkState {
public:
    // False when there is no such interface.
    static bool Read(const std::string& name, bool* up, MacAddress* mac = nullptr);
    // Sets the link up or down through rtnetlink. 0 or an errno value.
    static int SetUp(int ifindex, bool up);
    // Gives the link another hardware address (while it is down). 0 or an
    // errno value.
    static int SetAddress(int ifindex, const MacAddress& mac);
    // Brings the link up when it is down; `broughtUp` tells whether it was
    // down before this run, or before an earlier run that was killed: the
    // file `record` (written before the link goes up) says so. 0 or an errno value.
    static int EnsureUp(const std::string& name, const std::string& record, bool* broughtUp);
    // Sets down a link that EnsureUp brought up, if it is still the same one,
    // and removes the record.
    static void Restore(const std::string& name, const std::string& record, bool broughtUp);
};

}  // namespace plat
