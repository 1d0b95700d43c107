#include "LinuxCounters.h"

#include <net/if.h>

#include <cstdio>
#include <string>

#include "LinuxErrors.h"

namespace plat {

DWORD LinuxCounters::Read(DWORD ifIndex, std::uint64_t* inOctets, std::uint64_t* outOctets) {
    char name[IF_NAMESIZE] = {};
    if (if_indextoname(ifIndex, name) == nullptr)
        return kErrorFileNotFound;
    auto read = [&name](const char* counter, std::uint64_t* value) {
        const std::string path = std::string("/sys/class/net/") + name + "/statistics/" + counter;
        std::FILE* f = std::fopen(path.c_str(), "r");
        if (f == nullptr)
            return false;
        unsigned long long v = 0;
        const bool ok = std::fscanf(f, "%llu", &v) == 1;
        std::fclose(f);
        if (ok && value != nullptr)
            *value = v;
        return ok;
    };
    if (!read("rx_bytes", inOctets) || !read("tx_bytes", outOctets))
        return kErrorGenFailure;
    return 0;
}

}  // namespace plat
