// libFuzzer target for the reading of an nf_tables set dump, the counters the
// Linux NAT driver takes from the kernel once a second: any bytes, walked as
// a run of netlink messages at aligned offsets (as a dump arrives), each
// message handed to the element parser.
//
// Checks: every element has a key that lies inside its message; an element
// without a counter has no counts.
#include <linux/netlink.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/linux/NftSetReader.h"

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A receive buffer is aligned for the headers; so is this copy.
    std::vector<std::uint32_t> words(size / 4 + 1, 0);
    std::memcpy(words.data(), data, size);
    const auto* buffer = reinterpret_cast<const std::uint8_t*>(words.data());

    std::vector<plat::NftSetReader::Element> elements;
    for (std::size_t offset = 0; offset + sizeof(nlmsghdr) <= size;) {
        const auto* h = reinterpret_cast<const nlmsghdr*>(buffer + offset);
        if (h->nlmsg_len < sizeof(nlmsghdr) || offset + h->nlmsg_len > size)
            break;
        offset += NLMSG_ALIGN(h->nlmsg_len);
        const std::size_t before = elements.size();
        plat::NftSetReader::ParseMessage(*h, &elements);
        for (std::size_t i = before; i < elements.size(); ++i) {
            const auto& e = elements[i];
            Check(e.key.size() + NLMSG_HDRLEN <= h->nlmsg_len);
            if (!e.hasCounter)
                Check(e.bytes == 0 && e.packets == 0);
        }
    }
    return 0;
}
