// Per-client rate limits with tc HTB, through route netlink: one HTB root
// queue of ours on an interface's egress, one class per limited client. Our
// queues carry the handle major 0x4C4D ("LM", the program's initials), so that
// a start can find and remove what a crashed run left behind. Unclassified
// traffic goes out directly, unlimited; a packet picks its class through its
// priority (set by the NAT rules), so no filter is needed.
#pragma once

#include <cstdint>
#include <string>

#include "Netlink.h"

namespace plat {

class TcShaper {
public:
    static constexpr std::uint32_t kMajor = 0x4C4D;
    // The class id of a client's class (major:minor), as the NAT rules name it.
    static std::uint32_t ClassId(std::uint16_t minor) { return (kMajor << 16) | minor; }

    // 0 or an errno value. EBUSY: the interface already has a root queue of
    // someone else's, which we leave alone.
    int EnsureRoot(int ifIndex);
    // Creates or changes a class limited to `bytesPerSecond`.
    int SetClass(int ifIndex, std::uint16_t minor, std::uint64_t bytesPerSecond);
    int DeleteClass(int ifIndex, std::uint16_t minor);
    // Removes our root queue from one interface (with its classes); 0 when
    // there was none.
    int RemoveRoot(int ifIndex);
    // Removes our root queues from every interface; how many were removed, or
    // a negative errno value.
    int RemoveAll();
    // Whether the interface's root queue is ours.
    bool HasRoot(int ifIndex);

private:
    // The root queue's handle of an interface, 0 for the kernel's default.
    int RootHandle(int ifIndex, std::uint32_t* handle);
    Netlink m_netlink;
};

}  // namespace plat
