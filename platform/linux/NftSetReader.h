// Reads the elements of one nftables set straight from the kernel (an
// nf_tables netlink dump): keys, time left before expiry and counters. The
// NAT driver reads its counting sets this way once a second; a listing through
// libnftables rebuilds the library's cache and prints every element as text,
// which takes several milliseconds for a few hundred clients.
#pragma once

#include <linux/netlink.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Netlink.h"

namespace plat {

class NftSetReader {
public:
    struct Element {
        std::vector<std::uint8_t> key;  // as the kernel keeps it (concatenations padded to 4 bytes)
        std::uint64_t expiresMs = 0;    // 0: no expiry given
        bool hasCounter = false;
        std::uint64_t bytes = 0;
        std::uint64_t packets = 0;
    };

    NftSetReader() : m_netlink(NETLINK_NETFILTER) {}
    // The elements of `set` in the table `table` of `family` (NFPROTO_INET,
    // NFPROTO_NETDEV, ...); 0 or an errno value.
    static constexpr std::uint8_t kInet = 1;
    static constexpr std::uint8_t kNetdev = 5;
    int Read(const std::string& table, const std::string& set, std::vector<Element>* out,
             std::uint8_t family = kInet);
    // The elements one dump message carries, appended to `out`.
    static void ParseMessage(const nlmsghdr& message, std::vector<Element>* out);

private:
    Netlink m_netlink;
};

}  // namespace plat
