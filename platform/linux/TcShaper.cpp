#include "TcShaper.h"

#include <linux/pkt_sched.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace plat {

namespace {

constexpr std::uint32_t kDirectQueueLength = 1000;
constexpr std::uint32_t kPschedShift = 6;  // the kernel's tick: 64 nanoseconds

tcmsg Tc(int ifIndex, std::uint32_t handle, std::uint32_t parent) {
    tcmsg t{};
    t.tcm_family = AF_UNSPEC;
    t.tcm_ifindex = ifIndex;
    t.tcm_handle = handle;
    t.tcm_parent = parent;
    return t;
}

void AddKind(NetlinkMessage& m) {
    static const char kind[] = "htb";
    m.AddAttribute(TCA_KIND, kind, sizeof kind);
}

// Time to send `bytes` at `rate` bytes per second, in kernel ticks.
std::uint32_t Ticks(std::uint64_t bytes, std::uint64_t rate) {
    const double ns = static_cast<double>(bytes) * 1e9 / static_cast<double>(rate);
    const double ticks = ns / static_cast<double>(1u << kPschedShift);
    return ticks >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(ticks);
}

}  // namespace

int TcShaper::RootHandle(int ifIndex, std::uint32_t* handle) {
    *handle = 0;
    tcmsg t = Tc(0, 0, 0);
    NetlinkMessage m(RTM_GETQDISC, NLM_F_DUMP, &t, sizeof t);
    return m_netlink.Dump(m, [&](const nlmsghdr& h) {
        if (h.nlmsg_type != RTM_NEWQDISC || h.nlmsg_len < NLMSG_LENGTH(sizeof(tcmsg)))
            return;
        tcmsg q;
        std::memcpy(&q, NLMSG_DATA(&h), sizeof q);
        if (q.tcm_ifindex == ifIndex && q.tcm_parent == TC_H_ROOT)
            *handle = q.tcm_handle;
    });
}

bool TcShaper::HasRoot(int ifIndex) {
    std::uint32_t handle = 0;
    return RootHandle(ifIndex, &handle) == 0 && handle == (kMajor << 16);
}

int TcShaper::EnsureRoot(int ifIndex) {
    std::uint32_t handle = 0;
    if (const int e = RootHandle(ifIndex, &handle))
        return e;
    if (handle == (kMajor << 16))
        return 0;
    if (handle != 0)
        return EBUSY;  // someone else shapes this interface
    tcmsg t = Tc(ifIndex, kMajor << 16, TC_H_ROOT);
    NetlinkMessage m(RTM_NEWQDISC, NLM_F_CREATE | NLM_F_EXCL, &t, sizeof t);
    AddKind(m);
    const std::size_t options = m.BeginNested(TCA_OPTIONS);
    tc_htb_glob glob{};
    glob.version = TC_HTB_PROTOVER;
    glob.rate2quantum = 10;
    glob.defcls = 0;  // unclassified traffic goes out directly, unlimited
    m.AddAttribute(TCA_HTB_INIT, &glob, sizeof glob);
    // A bridge has no transmit queue length: give the direct queue its own.
    m.AddAttribute(TCA_HTB_DIRECT_QLEN, &kDirectQueueLength, sizeof kDirectQueueLength);
    m.EndNested(options);
    return m_netlink.Request(m);
}

int TcShaper::SetClass(int ifIndex, std::uint16_t minor, std::uint64_t bytesPerSecond) {
    if (bytesPerSecond == 0 || minor == 0)
        return EINVAL;
    tcmsg t = Tc(ifIndex, ClassId(minor), kMajor << 16);
    NetlinkMessage m(RTM_NEWTCLASS, NLM_F_CREATE, &t, sizeof t);
    AddKind(m);
    const std::size_t options = m.BeginNested(TCA_OPTIONS);
    tc_htb_opt opt{};
    const bool wide = bytesPerSecond >= 0xFFFFFFFFull;
    opt.rate.rate = wide ? 0xFFFFFFFFu : static_cast<std::uint32_t>(bytesPerSecond);
    opt.rate.linklayer = TC_LINKLAYER_ETHERNET;
    opt.ceil = opt.rate;
    // A burst of 4 ms of traffic (one tick at 250 Hz), at least one full frame.
    const std::uint64_t burst = std::max<std::uint64_t>(1600, bytesPerSecond / 250);
    opt.buffer = Ticks(burst, bytesPerSecond);
    opt.cbuffer = opt.buffer;
    opt.quantum =
        static_cast<std::uint32_t>(std::clamp<std::uint64_t>(bytesPerSecond / 10, 1600, 200000));
    m.AddAttribute(TCA_HTB_PARMS, &opt, sizeof opt);
    if (wide) {
        m.AddAttribute(TCA_HTB_RATE64, &bytesPerSecond, sizeof bytesPerSecond);
        m.AddAttribute(TCA_HTB_CEIL64, &bytesPerSecond, sizeof bytesPerSecond);
    }
    m.EndNested(options);
    return m_netlink.Request(m);
}

int TcShaper::DeleteClass(int ifIndex, std::uint16_t minor) {
    tcmsg t = Tc(ifIndex, ClassId(minor), kMajor << 16);
    NetlinkMessage m(RTM_DELTCLASS, 0, &t, sizeof t);
    const int e = m_netlink.Request(m);
    return e == ENOENT ? 0 : e;
}

int TcShaper::RemoveRoot(int ifIndex) {
    if (!HasRoot(ifIndex))
        return 0;
    tcmsg t = Tc(ifIndex, kMajor << 16, TC_H_ROOT);
    NetlinkMessage m(RTM_DELQDISC, 0, &t, sizeof t);
    const int e = m_netlink.Request(m);
    return e == ENOENT || e == ENODEV ? 0 : e;
}

int TcShaper::RemoveAll() {
    std::vector<int> ours;
    tcmsg t = Tc(0, 0, 0);
    NetlinkMessage m(RTM_GETQDISC, NLM_F_DUMP, &t, sizeof t);
    const int e = m_netlink.Dump(m, [&](const nlmsghdr& h) {
        if (h.nlmsg_type != RTM_NEWQDISC || h.nlmsg_len < NLMSG_LENGTH(sizeof(tcmsg)))
            return;
        tcmsg q;
        std::memcpy(&q, NLMSG_DATA(&h), sizeof q);
        if (q.tcm_parent == TC_H_ROOT && q.tcm_handle == (kMajor << 16))
            ours.push_back(q.tcm_ifindex);
    });
    if (e != 0)
        return -e;
    int removed = 0;
    for (int ifIndex : ours) {
        if (const int r = RemoveRoot(ifIndex))
            return -r;
        ++removed;
    }
    return removed;
}

}  // namespace plat
