// libFuzzer target for the router's reading of received solicitations: any
// bytes, with the hop limit and the kind of source address taken from the
// first byte.
//
// Checks: a valid one is a solicitation of code 0 that came with hop limit
// 255, and a link-layer address is only reported from a specified source.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/linux/RouterAdvert.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const int hopLimit = (data[0] & 1) != 0 ? 255 : data[0];
    const bool unspecified = (data[0] & 2) != 0;
    plat::RouterAdvert::SolicitInfo info;
    const auto result =
        plat::RouterAdvert::ParseSolicitation(data + 1, size - 1, hopLimit, unspecified, &info);
    if (result == plat::RouterAdvert::Solicitation::Valid) {
        if (size - 1 < 8 || data[1] != 133 || data[2] != 0 || hopLimit != 255)
            std::abort();
        if (info.hasSource && unspecified)
            std::abort();
    }
    return 0;
}
