// The adapter table on Linux: every interface with its IPv4 addresses and
// default gateway. Each interface is named by the GUID derived from its kernel
// name (GuidText::FromName).
#pragma once

#include <vector>

#include "platform/facility/IpHelper.h"

namespace plat {

class LinuxAdapters {
public:
    DWORD List(std::vector<AdapterInfo>* out);
    // The kernel index of the interface whose name gives `guid`; 0 when none.
    static unsigned IndexOf(const GUID& guid);
};

}  // namespace plat
